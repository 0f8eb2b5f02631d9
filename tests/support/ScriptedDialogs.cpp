#include "support/ScriptedDialogs.h"

#include <QPrinter>
#include <QtTest>

ScriptedDialogs::ScriptedDialogs()
{
    previous = setDialogService(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogService(previous);
}

void ScriptedDialogs::answer(DialogButton button)
{
    buttonAnswers.enqueue(button);
}

void ScriptedDialogs::answerFile(const QString& path)
{
    fileAnswers.enqueue(path);
}

void ScriptedDialogs::answerFont(const QFont& font)
{
    fontAnswers.enqueue(font);
}

void ScriptedDialogs::cancelFont()
{
    fontAnswers.enqueue(std::nullopt);
}

void ScriptedDialogs::answerPrinter(std::function<void(QPrinter&)> setup)
{
    printerAnswers.enqueue(setup ? std::move(setup) : [](QPrinter&) {});
}

void ScriptedDialogs::cancelPrinter()
{
    printerAnswers.enqueue(nullptr);
}

AskedDialog ScriptedDialogs::last() const
{
    return askedDialogs.isEmpty() ? AskedDialog{} : askedDialogs.last();
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const AskedDialog& dialog : askedDialogs) {
        if (dialog.kind == QLatin1String("message"))
            texts << dialog.text;
    }
    return texts;
}

int ScriptedDialogs::pendingAnswers() const
{
    return int(buttonAnswers.size() + fileAnswers.size() + fontAnswers.size()
               + printerAnswers.size());
}

void ScriptedDialogs::clear()
{
    askedDialogs.clear();
    buttonAnswers.clear();
    fileAnswers.clear();
    fontAnswers.clear();
    printerAnswers.clear();
}

void ScriptedDialogs::unexpected(const AskedDialog& dialog)
{
    const QString what = QStringLiteral("Unexpected %1 dialog \"%2\": %3")
                             .arg(dialog.kind, dialog.caption, dialog.text);
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

DialogButton ScriptedDialogs::ask(const QString& caption, const QString& text,
                                  DialogButtons buttons, DialogIcon icon)
{
    const AskedDialog dialog{QStringLiteral("message"), caption, text, buttons, icon};
    askedDialogs << dialog;
    const bool plainMessage = buttons == OkButton || buttons == NoButton;
    if (buttonAnswers.isEmpty()) {
        if (plainMessage)
            return OkButton;
        unexpected(dialog);
        if (buttons.testFlag(CancelButton))
            return CancelButton;
        return buttons.testFlag(NoAnswerButton) ? NoAnswerButton : OkButton;
    }
    const DialogButton answer = buttonAnswers.dequeue();
    if (!buttons.testFlag(answer) && !(plainMessage && answer == OkButton)) {
        QTest::qFail(qPrintable(QStringLiteral("Queued answer %1 is not a button of \"%2\"")
                                    .arg(int(answer))
                                    .arg(text)),
                     __FILE__, __LINE__);
    }
    return answer;
}

QString ScriptedDialogs::openFileName(const QString& caption, const QString& folder,
                                      const QString& filter)
{
    const AskedDialog dialog{QStringLiteral("open"), caption, folder + QLatin1Char('|') + filter,
                             {}, DialogIcon::None};
    askedDialogs << dialog;
    if (fileAnswers.isEmpty()) {
        unexpected(dialog);
        return {};
    }
    return fileAnswers.dequeue();
}

QString ScriptedDialogs::saveFileName(const QString& caption, const QString& folder,
                                      const QString& filter)
{
    const AskedDialog dialog{QStringLiteral("save"), caption, folder + QLatin1Char('|') + filter,
                             {}, DialogIcon::None};
    askedDialogs << dialog;
    if (fileAnswers.isEmpty()) {
        unexpected(dialog);
        return {};
    }
    return fileAnswers.dequeue();
}

bool ScriptedDialogs::chooseFont(QFont& font, const QString& caption, int)
{
    const AskedDialog dialog{QStringLiteral("font"), caption, font.family(), {}, DialogIcon::None};
    askedDialogs << dialog;
    if (fontAnswers.isEmpty()) {
        unexpected(dialog);
        return false;
    }
    const std::optional<QFont> chosen = fontAnswers.dequeue();
    if (!chosen)
        return false;
    font = *chosen;
    return true;
}

bool ScriptedDialogs::setupPrinter(QPrinter& printer, const QString& caption)
{
    const AskedDialog dialog{QStringLiteral("print"), caption, {}, {}, DialogIcon::None};
    askedDialogs << dialog;
    if (printerAnswers.isEmpty()) {
        unexpected(dialog);
        return false;
    }
    const std::function<void(QPrinter&)> setup = printerAnswers.dequeue();
    if (!setup)
        return false;
    setup(printer);
    return true;
}
