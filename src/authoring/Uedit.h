#pragma once

#include "model/DialogService.h"
#include "model/PlainText.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QStringList>

class QMenu;
class QMenuBar;
class Tprepara;
class Trecupero;
struct AppContext;

// The message that refuses a text holding "~", "[" or "]".
QString reservedCharsMessage();
// The question before unsaved work is left: Yes (save), No or Cancel.
DialogButton askWhetherToSave(const QString& text);

// A menu item named `name` (its object name) added to `menu`.
QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption);

// A text area that keeps out, as it is typed, pasted or dropped, what could
// not be stored: characters its file cannot hold (windows-1252 for a part of
// an exercise, the text's own encoding in the editor), and, when asked, the
// reserved characters "~", "[", "]" and text beyond a length (counted as
// stored, a line break as CR LF). A typed character that cannot be stored is
// refused with a message; in a paste or a drop such characters are replaced
// by their nearest equivalents and one message lists them. Reserved
// characters and too long a text refuse the insertion, with a message.
class TmemoControllato : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TmemoControllato(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

    bool refuseReserved = false;
    int maxLength = -1;   // -1: no limit
    // The file the text goes to: characters it cannot hold are kept out.
    // None: a part of an exercise (windows-1252).
    const PlainText* storage = nullptr;

    // The text, lines joined by '\n', non-breaking spaces kept (Qt's own
    // toPlainText turns them into plain spaces).
    QString plainText() const;
    // True when the typed `inserted` may replace the current selection.
    bool accepts(const QString& inserted);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool canHold(const QString& s) const;
    QString storedWhere() const;
    bool acceptsReservedAndLength(const QString& inserted);
};

// The plain-text editor of the texts folder, opened from the preparation
// window. A text it converts into an exercise goes to that window.
class TeditForm : public QDialog
{
    Q_OBJECT
public:
    // The texts are those of the context's data root.
    TeditForm(const AppContext& context, Tprepara* preparation, QWidget* parent = nullptr);
    // A text neither saved nor given up stays in its recovery file.
    ~TeditForm() override;

    bool confirmDiscard();
    // Offers the unsaved texts left by editors that are gone (a crash); the
    // one taken up comes back modified, under its file's name if it had one.
    // True when one did.
    bool offerRecoveredWork();
    // The mirror of the unsaved text in the user's recovery folder.
    Trecupero* recovery() const { return mirror; }
    // The lines of the text, as they are written (a final line break ends the
    // last line and adds none).
    QStringList memoLines() const;

    QString textPath;
    bool modified = false;
    // The text as read from its file (or a new one): its encoding, line ends
    // and bytes, kept when it is saved.
    PlainText textFile;

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
    void setText(const QString& text);
    void setCaptionFor(const QString& path, const QString& document = QString());
    // Asks for a file to save into (and whether to replace an existing one);
    // empty when the user gives up.
    QString askSavePath(const QString& start);
    bool saveTo(const QString& path);
    // Where the save dialog starts: the text's own file, or the texts folder
    // (with the name of the document the text was read from).
    QString saveStart() const;

    Tprepara* preparation;
    QString textsFolder;
    bool filling = false;
    QString documentPath;   // the document a new text was read from
    Trecupero* mirror = nullptr;

};
