#include "shell/WidgetDialogService.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

QWidget* dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::Icon toQtIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Error:
        return QMessageBox::Critical;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

DialogButton WidgetDialogService::ask(const QString& caption, const QString& text,
                                      DialogButtons buttons, DialogIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::NoButton, dialogParent());
    struct Choice {
        DialogButton answer;
        QMessageBox::StandardButton qtButton;
        const char* label;
    };
    const Choice choices[] = {
        {YesButton, QMessageBox::Yes, "&Sì"},
        {NoAnswerButton, QMessageBox::No, "&No"},
        {OkButton, QMessageBox::Ok, "OK"},
        {CancelButton, QMessageBox::Cancel, "Annulla"},
    };
    for (const Choice& choice : choices) {
        if (buttons.testFlag(choice.answer))
            box.addButton(choice.qtButton)->setText(QString::fromUtf8(choice.label));
    }
    if (buttons == NoButton)
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    for (const Choice& choice : choices) {
        if (pressed && box.standardButton(pressed) == choice.qtButton)
            return choice.answer;
    }
    // Closed without a button: the safest answer offered.
    if (buttons.testFlag(CancelButton))
        return CancelButton;
    if (buttons.testFlag(NoAnswerButton))
        return NoAnswerButton;
    return OkButton;
}

QString WidgetDialogService::openFileName(const QString& caption, const QString& folder,
                                          const QString& filter)
{
    return QFileDialog::getOpenFileName(dialogParent(), caption, folder, filter);
}

QString WidgetDialogService::saveFileName(const QString& caption, const QString& folder,
                                          const QString& filter)
{
    // The caller asks before an existing file is replaced, through this service.
    return QFileDialog::getSaveFileName(dialogParent(), caption, folder, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool WidgetDialogService::chooseFont(QFont& font, const QString& caption)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, dialogParent(), caption);
    if (ok)
        font = chosen;
    return ok;
}

bool WidgetDialogService::setupPrinter(QPrinter& printer, const QString& caption)
{
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(caption);
    return dialog.exec() == QDialog::Accepted;
}
