#include "model/DialogService.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

class TestDialogService : public QObject
{
    Q_OBJECT

private slots:
    void scriptedAnswersAreUsedInOrderAndRecorded();
    void plainMessagesNeedNoAnswer();
    void installingRestoresThePreviousService();
    void onlyTheServiceOpensStandardDialogs();
};

void TestDialogService::scriptedAnswersAreUsedInOrderAndRecorded()
{
    ScriptedDialogs script;
    script.answer(NoAnswerButton);
    script.answer(YesButton);
    QCOMPARE(askQuestion(QStringLiteral("Conferma"), QStringLiteral("Uno ?"),
                         YesButton | NoAnswerButton, DialogIcon::Question),
             NoAnswerButton);
    QCOMPARE(askQuestion(QStringLiteral("Attenzione!"), QStringLiteral("Due ?"),
                         YesButton | NoAnswerButton | CancelButton, DialogIcon::Warning),
             YesButton);
    QCOMPARE(script.asked().size(), 2);
    QCOMPARE(script.asked().at(0).caption, QStringLiteral("Conferma"));
    QCOMPARE(script.asked().at(0).icon, DialogIcon::Question);
    QCOMPARE(script.asked().at(1).buttons, YesButton | NoAnswerButton | CancelButton);
    QCOMPARE(script.pendingAnswers(), 0);
}

void TestDialogService::plainMessagesNeedNoAnswer()
{
    ScriptedDialogs script;
    showMessage(QStringLiteral("Errore di lettura del file risult"));
    QCOMPARE(script.messages(), QStringList{QStringLiteral("Errore di lettura del file risult")});
    QCOMPARE(script.last().caption, applicationCaption());
    QCOMPARE(script.last().buttons, DialogButtons(OkButton));
}

void TestDialogService::installingRestoresThePreviousService()
{
    DialogService* before = &dialogs();
    {
        ScriptedDialogs outer;
        QCOMPARE(&dialogs(), static_cast<DialogService*>(&outer));
        {
            ScriptedDialogs inner;
            QCOMPARE(&dialogs(), static_cast<DialogService*>(&inner));
        }
        QCOMPARE(&dialogs(), static_cast<DialogService*>(&outer));
    }
    QCOMPARE(&dialogs(), before);
}

// Every standard dialog must go through the service, so that tests can answer
// it: no source file but the widget service may name Qt's dialog classes.
void TestDialogService::onlyTheServiceOpensStandardDialogs()
{
    const QString srcDir = QStringLiteral(SALIENTA_SOURCE_DIR "/src");
    const QRegularExpression forbidden(
        QStringLiteral("\\b(QMessageBox|QFileDialog|QFontDialog|QPrintDialog|QInputDialog)\\b"));
    QStringList offenders;
    int scanned = 0;
    QDirIterator it(srcDir, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        ++scanned;
        if (path.endsWith(QLatin1String("shell/WidgetDialogService.cpp")))
            continue;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        if (forbidden.match(text).hasMatch())
            offenders << QDir(srcDir).relativeFilePath(path);
    }
    QVERIFY(scanned > 3);
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1String(", "))));
}

QTEST_MAIN(TestDialogService)
#include "tst_dialogservice.moc"
