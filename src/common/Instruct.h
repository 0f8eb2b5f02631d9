#pragma once

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;

// A small read-only window that shows one of the instruction texts of the
// program folder `programFolder` (ending with "/"). The caller sets the
// caption, calls showText and shows it modally.
class Tistruzioni : public QDialog
{
    Q_OBJECT
public:
    explicit Tistruzioni(const QString& programFolder, QWidget* parent = nullptr);

    // Fills the text from the file of that name in the program folder, or
    // with "Testo non disponibile" when there is no such file.
    void showText(const QString& fileName);

    QFrame* Panel1;
    QPlainTextEdit* memo1;
    QFrame* PanelBottom;
    QPushButton* CancelBtn;

protected:
    // The window sees keys before its controls. The text takes no focus, so
    // the arrow and page keys scroll it from wherever the focus is: a reader
    // without a mouse can read it all.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool scrollByKey(int key);

    QString programFolder;
};

// Creates the window with `caption`, shows `fileName` of `programFolder` in
// it, modally.
void showInstructions(QWidget* parent, const QString& programFolder, const QString& caption,
                      const QString& fileName);
