#pragma once

#include "model/DialogService.h"

#include <QFont>
#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

class QPrinter;

// One dialog that the program asked for.
struct AskedDialog {
    QString kind;      // "message", "open", "save", "font", "print"
    QString caption;
    QString text;      // message text, or the folder of a file dialog
    DialogButtons buttons;
    DialogIcon icon = DialogIcon::None;
};

// A dialog service for tests. It installs itself on construction and puts the
// previous service back on destruction. Questions are answered from a queue;
// a plain message with only an OK button needs no answer. Anything asked that
// has no queued answer fails the running test at once and gets the safest
// answer, so a test never blocks on a dialog.
class ScriptedDialogs final : public DialogService
{
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void answer(DialogButton button);
    void answerFile(const QString& path);          // empty: the user cancels
    void answerFont(const QFont& font);
    void cancelFont();
    // The print dialog is accepted after `setup` has filled the printer.
    void answerPrinter(std::function<void(QPrinter&)> setup);
    void cancelPrinter();

    const QList<AskedDialog>& asked() const { return askedDialogs; }
    AskedDialog last() const;
    // Texts of every message box asked, in order.
    QStringList messages() const;
    // Answers queued but never used.
    int pendingAnswers() const;
    void clear();

    DialogButton ask(const QString& caption, const QString& text, DialogButtons buttons,
                     DialogIcon icon) override;
    QString openFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    bool chooseFont(QFont& font, const QString& caption, int maxPointSize) override;
    bool setupPrinter(QPrinter& printer, const QString& caption) override;

private:
    void unexpected(const AskedDialog& dialog);

    DialogService* previous = nullptr;
    QList<AskedDialog> askedDialogs;
    QQueue<DialogButton> buttonAnswers;
    QQueue<QString> fileAnswers;
    QQueue<std::optional<QFont>> fontAnswers;
    QQueue<std::function<void(QPrinter&)>> printerAnswers;
};
