#include "model/DialogService.h"

#include <QFont>
#include <cstdio>

DialogService::~DialogService() = default;

namespace {

DialogButton safestAnswer(DialogButtons buttons)
{
    if (buttons.testFlag(CancelButton))
        return CancelButton;
    if (buttons.testFlag(NoAnswerButton))
        return NoAnswerButton;
    return OkButton;
}

// Used when nothing else is installed (a program without a user interface):
// nothing is shown, every question gets its safest answer.
class UnattendedDialogs final : public DialogService
{
public:
    DialogButton ask(const QString& caption, const QString& text, DialogButtons buttons,
                     DialogIcon) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return safestAnswer(buttons);
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }
};

UnattendedDialogs unattended;
DialogService* installed = nullptr;

} // namespace

DialogService& dialogs()
{
    return installed ? *installed : unattended;
}

DialogService* setDialogService(DialogService* service)
{
    DialogService* previous = installed;
    installed = service;
    return previous;
}

QString applicationCaption()
{
    return QStringLiteral("Salienta");
}

void showMessage(const QString& text)
{
    dialogs().ask(applicationCaption(), text, OkButton, DialogIcon::None);
}

void showMessage(const QString& caption, const QString& text, DialogIcon icon)
{
    dialogs().ask(caption, text, OkButton, icon);
}

DialogButton askQuestion(const QString& caption, const QString& text, DialogButtons buttons,
                         DialogIcon icon)
{
    return dialogs().ask(caption, text, buttons, icon);
}
