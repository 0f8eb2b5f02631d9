// Unsaved work across crashes. A teacher in a process of its own
// (tests/helpers/prepahelper) changes an exercise in the real preparation
// window, or a text in the real text editor, and the process is killed with
// SIGKILL inside a write of its recovery file or as it is about to make a
// change. The next window then offers the work, and Sì brings back exactly
// the last state the helper saw written, or, killed inside a write, the one
// it was writing: never another, never a damaged file.
//
// More kills by hand: SALIENTA_RECOVERY_KILLS=<kills> (200 by default).

#include "authoring/Uedit.h"
#include "authoring/Uprepara.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

namespace {

// What the helper printed: the digest of each state it made, and the last
// state it saw written.
struct Run {
    std::map<int, QString> states;
    int written = -1;
    long points = -1;
    bool killed = false;
    int last() const { return states.empty() ? -1 : states.rbegin()->first; }
    // The digests a window may offer after this run ("" for none).
    QStringList offerable() const
    {
        QStringList digests;
        if (written >= 0)
            digests << states.at(written);
        else
            digests << QString();
        if (last() > written)
            digests << states.at(last());
        return digests;
    }
};

} // namespace

class TestCrashRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedPreparationOffersTheLastWrittenExercise();
    void killedEditorOffersTheLastWrittenText();
    void workOfAWindowStillOpenIsNotOffered();

private:
    // The processes are killed, the machine is not: a folder in memory keeps
    // the hundreds of runs short.
    QTemporaryDir dir{QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                          ? QStringLiteral("/dev/shm/salienta-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/salienta-XXXXXX")};
    AppContext context;
    QProcessEnvironment environment;

    QStringList helperArgs(const char* mode, quint32 seed, int changes) const;
    Run launch(const QStringList& args, const QProcessEnvironment& env);
    // What a new window of `mode` offers, taken up: its digest, "" for none.
    QString offeredDigest(bool editor);
    void killAndCheck(const char* mode, const QList<quint32>& seeds, int changes, int kills);
};

void TestCrashRecovery::initTestCase()
{
    QVERIFY(dir.isValid());
    context = testsupport::makeContext(QStringLiteral(SALIENTA_ASSETS_DIR), dir.path() + QStringLiteral("/dati"));
    context.recoveryFolder = dir.path() + QStringLiteral("/utente/recupero/");
    QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("esercizi")));
    QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("testi")));
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

QStringList TestCrashRecovery::helperArgs(const char* mode, quint32 seed, int changes) const
{
    return {QLatin1String(mode), context.programFolder, context.dataRoot, context.recoveryFolder,
            QString::number(seed), QString::number(changes)};
}

Run TestCrashRecovery::launch(const QStringList& args, const QProcessEnvironment& env)
{
    Run run;
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PREPAHELPER_PATH), args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(10000);
        return run;
    }
    run.killed = process.exitStatus() == QProcess::CrashExit;
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList words = line.split(QLatin1Char(' '));
        if (words.size() == 3 && words.at(0) == QLatin1String("state"))
            run.states[words.at(1).toInt()] = words.at(2);
        else if (words.size() == 2 && words.at(0) == QLatin1String("written"))
            run.written = words.at(1).toInt();
        else if (words.size() == 2 && words.at(0) == QLatin1String("points"))
            run.points = words.at(1).toLong();
    }
    return run;
}

QString TestCrashRecovery::offeredDigest(bool editor)
{
    ScriptedDialogs script;
    script.answer(YesButton);
    QString digest;
    if (editor) {
        TeditForm window(context, nullptr);
        if (window.offerRecoveredWork()) {
            [&] { QVERIFY(window.modified); }();
            digest = testsupport::workDigest(window.textPath, QString(), 0,
                                             window.MemoEdit->plainText().split(QLatin1Char('\n')));
        }
    } else {
        Tprepara window(context);
        if (window.offerRecoveredWork()) {
            [&] { QVERIFY(window.modified); }();
            const Tprepara::ExerciseState state = window.exerciseState();
            digest = testsupport::workDigest(state.name, state.task, state.current, state.lines);
        }
    }
    // Only the question, and nothing said of a damaged file.
    if (!digest.isEmpty()) {
        [&] {
            QCOMPARE(script.messages().size(), 1);
            QVERIFY(script.messages().constFirst().startsWith(QString::fromUtf8("È stato trovato un lavoro non salvato del ")));
            QVERIFY(script.messages().constFirst().endsWith(
                editor ? QString::fromUtf8("(«nuovo testo»). Vuoi recuperarlo ?")
                       : QString::fromUtf8("(«nuovo esercizio»). Vuoi recuperarlo ?")));
        }();
    }
    script.clear();
    // The window taken up keeps the work in a file of its own: gone with it.
    QDir(context.recoveryFolder).removeRecursively();
    return digest;
}

void TestCrashRecovery::killAndCheck(const char* mode, const QList<quint32>& seeds, int changes, int kills)
{
    const bool editor = qstrcmp(mode, "editor") == 0;
    QRandomGenerator random(20261208);
    int done = 0;
    int insideWrite = 0;
    for (qsizetype s = 0; s < seeds.size(); ++s) {
        // A whole run first: its points, and its last state offered.
        const Run whole = launch(helperArgs(mode, seeds.at(s), changes), environment);
        QVERIFY(!whole.killed);
        QCOMPARE(whole.written, changes);
        QVERIFY(whole.points > changes);
        QCOMPARE(offeredDigest(editor), whole.states.at(changes));

        const int share = (kills - done) / int(seeds.size() - s);
        for (int k = 0; k < share; ++k, ++done) {
            QProcessEnvironment env = environment;
            // Mostly inside the file-system calls of a write; sometimes
            // between two changes.
            if (k % 5 == 4)
                env.insert(QStringLiteral("PREPAHELPER_KILL_CHANGE"), QString::number(1 + random.bounded(changes)));
            else
                env.insert(QStringLiteral("PREPAHELPER_KILL_AT"), QString::number(1 + random.bounded(qint64(whole.points))));
            const Run run = launch(helperArgs(mode, seeds.at(s), changes), env);
            QVERIFY2(run.killed, qPrintable(QStringLiteral("kill %1 of seed %2").arg(k).arg(seeds.at(s))));
            // The same changes as the whole run, as far as they went.
            for (const auto& [n, digest] : run.states)
                QCOMPARE(digest, whole.states.at(n));
            if (run.last() > run.written)
                ++insideWrite;
            const QString offered = offeredDigest(editor);
            QVERIFY2(run.offerable().contains(offered),
                     qPrintable(QStringLiteral("seed %1, kill %2: written %3, last %4, offered %5")
                                    .arg(seeds.at(s)).arg(k).arg(run.written).arg(run.last()).arg(offered)));
        }
    }
    QCOMPARE(done, kills);
    // Most kills fell inside a write.
    QVERIFY(insideWrite > kills / 2);
    qInfo("%s: %d kills, %d inside a write", mode, done, insideWrite);
}

void TestCrashRecovery::killedPreparationOffersTheLastWrittenExercise()
{
    bool ok = false;
    const int kills = qEnvironmentVariableIntValue("SALIENTA_RECOVERY_KILLS", &ok);
    killAndCheck("exercise", {11, 23, 37, 41}, 24, ok ? kills : 200);
}

void TestCrashRecovery::killedEditorOffersTheLastWrittenText()
{
    killAndCheck("editor", {5, 9}, 16, 30);
}

// A window open in another copy of the program holds its file: its work is
// not offered while it lives, and is once that copy has gone.
void TestCrashRecovery::workOfAWindowStillOpenIsNotOffered()
{
    QProcess process;
    QProcessEnvironment env = environment;
    env.insert(QStringLiteral("PREPAHELPER_HOLD"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PREPAHELPER_PATH), helperArgs("exercise", 7, 6));
    QByteArray out;
    while (!out.contains("holding") && process.waitForReadyRead(30000))
        out += process.readAllStandardOutput();
    QVERIFY(out.contains("holding"));
    {
        ScriptedDialogs script;   // any question would fail here
        Tprepara window(context);
        QVERIFY(!window.offerRecoveredWork());
        QVERIFY(script.asked().isEmpty());
    }
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(30000));
    out += process.readAllStandardOutput();
    const QString last = QString::fromUtf8(out).split(QLatin1Char('\n')).filter(QStringLiteral("state 6 ")).value(0);
    QVERIFY(!last.isEmpty());
    QCOMPARE(offeredDigest(false), last.section(QLatin1Char(' '), 2));
}

QTEST_MAIN(TestCrashRecovery)
#include "tst_crashrecovery.moc"
