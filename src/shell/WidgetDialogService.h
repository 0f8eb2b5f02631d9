#pragma once

#include "model/DialogService.h"

// The real dialogs of the desktop program: Qt message boxes with Italian
// button texts, and Qt's file, font and print dialogs.
class WidgetDialogService final : public DialogService
{
public:
    DialogButton ask(const QString& caption, const QString& text, DialogButtons buttons,
                     DialogIcon icon) override;
    QString openFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    bool chooseFont(QFont& font, const QString& caption, int maxPointSize) override;
    bool setupPrinter(QPrinter& printer, const QString& caption) override;
};
