#pragma once

#include "model/DialogService.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QStringList>

class QMenu;
class QMenuBar;
class Tprepara;
struct AppContext;

// The message that refuses a text holding "~", "[" or "]".
QString reservedCharsMessage();
// The question before unsaved work is left: Yes (save), No or Cancel.
DialogButton askWhetherToSave(const QString& text);

// A menu item named `name` (its object name) added to `menu`.
QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption);

// A text area that refuses, as it is typed, pasted or dropped, what could not
// be stored: characters outside windows-1252, and, when asked, the reserved
// characters "~", "[", "]" and text beyond a length (counted as stored, a line
// break as CR LF). The refusal is told in a message and the text stays as it was.
class TmemoControllato : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TmemoControllato(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

    bool refuseReserved = false;
    int maxLength = -1;   // -1: no limit

    // True when `inserted` may replace the current selection.
    bool accepts(const QString& inserted);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};

// The plain-text editor of the texts folder, opened from the preparation
// window. A text it converts into an exercise goes to that window.
class TeditForm : public QDialog
{
    Q_OBJECT
public:
    // The texts are those of the context's data root.
    TeditForm(const AppContext& context, Tprepara* preparation, QWidget* parent = nullptr);

    bool confirmDiscard();
    // The lines of the text, as they are written (a final line break ends the
    // last line and adds none).
    QStringList memoLines() const;

    QString textPath;
    bool modified = false;

    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* Nuovo1;
    QAction* Apri1;
    QAction* Salva1;
    QAction* Salvaconnome1;
    QAction* Elimina1;
    QAction* convertiinesercizio1;
    QAction* Esci1;
    TmemoControllato* MemoEdit;

    void MemoEditChange();
    void File1Click();
    void Nuovo1Click();
    void Apri1Click();
    void Salva1Click();
    void Salvaconnome1Click();
    void Elimina1Click();
    void convertiinesercizio1Click();
    void Esci1Click() { close(); }

public slots:
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setLines(const QStringList& lines);
    void setCaptionFor(const QString& path);
    // Asks for a file to save into (and whether to replace an existing one);
    // empty when the user gives up.
    QString askSavePath(const QString& start);
    bool saveTo(const QString& path);

    Tprepara* preparation;
    QString textsFolder;
    bool filling = false;
};
