#pragma once

#include <QFlags>
#include <QString>

class QFont;
class QPrinter;

// Every message box, question, file, font and print dialog of the program is
// asked through the one service installed here. The desktop program installs
// the widget service (shell/WidgetDialogService); the tests install a scripted
// one that answers from a queue and records what was asked.

enum class DialogIcon { None, Information, Warning, Error, Question };

enum DialogButton : int {
    NoButton = 0,
    OkButton = 0x1,
    YesButton = 0x2,
    NoAnswerButton = 0x4,
    CancelButton = 0x8,
};
Q_DECLARE_FLAGS(DialogButtons, DialogButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(DialogButtons)

class DialogService
{
public:
    virtual ~DialogService();

    // A message box: caption, text, the buttons offered and the icon.
    // Returns the button pressed; closing the box counts as Cancel when it is
    // offered, otherwise as No, otherwise as OK.
    virtual DialogButton ask(const QString& caption, const QString& text, DialogButtons buttons,
                             DialogIcon icon) = 0;
    // File dialogs: an empty string means the user cancelled. The save dialog
    // does not ask about an existing file: the caller asks through this service.
    virtual QString openFileName(const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    // Font dialog opened on `font`, offering sizes up to `maxPointSize`: true
    // and the chosen font in `font`, false when cancelled.
    virtual bool chooseFont(QFont& font, const QString& caption, int maxPointSize) = 0;
    // Print dialog: true when the user confirmed; `printer` then holds the choices.
    virtual bool setupPrinter(QPrinter& printer, const QString& caption) = 0;
};

// The installed service. Without one, questions are answered with their
// safest button (Cancel, else No, else OK) and reported on the error stream.
DialogService& dialogs();
// Installs `service` (not owned) and returns the one it replaces.
DialogService* setDialogService(DialogService* service);

// The program's caption for plain messages.
QString applicationCaption();

// Plain message with an OK button, as the program shows its errors.
void showMessage(const QString& text);
// Message with a caption and an icon, OK button.
void showMessage(const QString& caption, const QString& text, DialogIcon icon);
// Question with the given buttons; returns the button pressed.
DialogButton askQuestion(const QString& caption, const QString& text, DialogButtons buttons,
                         DialogIcon icon);
