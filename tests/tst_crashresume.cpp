// Runs in progress across crashes. A pupil in a process of its own
// (tests/helpers/runhelper) works through the real run window with two
// switches; the process is killed with SIGKILL inside the writing of the
// run's journal, as it is about to give an answer, or while a feedback
// question is on screen, and started again, which offers the run; the
// resumed run is killed again, and so on, until a start is let run to the
// end. After every kill the journal must hold a beginning of the history of
// the same run not interrupted (same fake clock and random seed), and at the
// end the results file must hold that run byte for byte, and nothing else.
//
// More kills by hand: SALIENTA_RUN_KILLS=<kills> (at least 200 by default),
// with QTEST_FUNCTION_TIMEOUT raised.

#include "model/ResultsFile.h"
#include "model/RunJournal.h"
#include "model/SafeFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

int envInt(const char* variable, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(variable, &ok);
    return ok ? value : fallback;
}

// A run of the helper: its printed lines and how it ended.
struct Started {
    QStringList lines;
    bool killed = false;
    int exitCode = 0;
    long value(const QString& name) const
    {
        for (const QString& line : lines) {
            if (line.startsWith(name + QLatin1Char(' ')))
                return line.mid(name.size() + 1).toLong();
        }
        return -1;
    }
};

// How a run is set up: display, feedback, reset, seed.
struct Config {
    int display;
    int feedback;
    int reset;
    int seed;
};

QStringList historyOf(const QByteArray& archive)
{
    const QStringList lines = QString::fromLatin1(archive).split(QStringLiteral("\r\n"));
    const qsizetype at = lines.indexOf(QStringLiteral("[storia]"));
    QStringList history = at < 0 ? QStringList() : lines.mid(at + 1);
    history.removeAll(QString());
    return history;
}

} // namespace

class TestCrashResume : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedRunsResumeToTheSameStoredRun();

private:
    // The processes are killed, the machine is not: a folder in memory, where
    // a flush to the disk costs nothing, keeps the hundreds of runs short.
    QTemporaryDir dir{QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                          ? QStringLiteral("/dev/shm/salienta-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/salienta-XXXXXX")};
    QString root() const { return dir.path() + QStringLiteral("/dati"); }
    QString journals() const { return runJournalFolder(root()); }
    QString archive() const { return root() + QStringLiteral("/risult/risult.sal"); }
    bool resetRoot();
    Started launch(const QStringList& args, const QProcessEnvironment& env);
};

void TestCrashResume::initTestCase()
{
    QVERIFY(dir.isValid());
}

bool TestCrashResume::resetRoot()
{
    QDir(root()).removeRecursively();
    if (!QDir().mkpath(root() + QStringLiteral("/esercizi")) || !QDir().mkpath(root() + QStringLiteral("/risult")))
        return false;
    // Twelve sentences of every level.
    const char* const levels[] = {"nonImportante", "importante",      "moltoImportante", "nonImportante",
                                  "importante",    "nonImportante",   "moltoImportante", "nonImportante",
                                  "importante",    "nonImportante",   "nonImportante",   "moltoImportante"};
    QByteArray exercise = "[compito]\r\nSottolinea le frasi importanti.\r\n[testo]\r\n";
    int n = 0;
    for (const char* level : levels)
        exercise += QByteArray("~") + level + "~\r\nFrase numero " + QByteArray::number(++n)
                    + " del racconto di prova.\r\n";
    return writeBytes(root() + QStringLiteral("/esercizi/PROVA.S01"), exercise)
           && writeBytes(root() + QStringLiteral("/esercizi/LONGNAME.LST"), "PROVA.S01=Prova\r\n");
}

Started TestCrashResume::launch(const QStringList& args, const QProcessEnvironment& env)
{
    Started started;
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(RUNHELPER_PATH), args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(10000);
        // What it did before it stopped moving, and what it was asked to do.
        started.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        started.lines << QStringLiteral("timeout: ") + args.join(u' ');
        for (const char* kill : {"RUNHELPER_KILL_ANSWER", "RUNHELPER_KILL_FEEDBACK", "RUNHELPER_KILL_AT"})
            if (env.contains(QLatin1String(kill)))
                started.lines << QLatin1String(kill) + u'=' + env.value(QLatin1String(kill));
        started.exitCode = -1;
        return started;
    }
    started.killed = process.exitStatus() == QProcess::CrashExit;
    started.exitCode = process.exitCode();
    started.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return started;
}

void TestCrashResume::killedRunsResumeToTheSameStoredRun()
{
    const QList<Config> configs{{1, 2, 1, 7}, {1, 1, 1, 3}, {0, 1, 1, 5}, {1, 2, 0, 11}};
    const int wanted = envInt("SALIENTA_RUN_KILLS", 200);
    const int perConfig = (wanted + int(configs.size()) - 1) / int(configs.size());
    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QRandomGenerator random(20240305);

    int kills = 0;
    int insideWrite = 0;
    int tornAppends = 0;
    int offered = 0;
    int chains = 0;
    for (const Config& c : configs) {
        const QStringList freshArgs{QStringLiteral("fresh"), root(), QString::number(c.display),
                                    QString::number(c.feedback), QString::number(c.reset),
                                    QString::number(c.seed)};
        const QStringList resumeArgs{QStringLiteral("resume"), root(), QString::number(c.seed)};

        // The run not interrupted.
        QVERIFY(resetRoot());
        const Started whole = launch(freshArgs, base);
        QVERIFY2(!whole.killed && whole.exitCode == 0, qPrintable(whole.lines.join(u'\n')));
        const QByteArray reference = readBytes(archive());
        const QStringList referenceHistory = historyOf(reference);
        const long points = whole.value(QStringLiteral("points"));
        const long answers = whole.value(QStringLiteral("answers"));
        QVERIFY2(reference.startsWith("[identificatore=GIULIA^05/03/2024 10:20:30]\r\n"), reference.left(80).constData());
        QVERIFY(points > 20 && answers > 10 && referenceHistory.size() >= answers);
        QCOMPARE(QDir(journals()).entryList(QDir::Files | QDir::Hidden), QStringList());

        int configKills = 0;
        while (configKills < perConfig) {
            ++chains;
            QVERIFY(resetRoot());
            bool fresh = true;
            // A few kills in a row, then a start that is let finish.
            const int inChain = 1 + int(random.bounded(5));
            for (int k = 0; k <= inChain; ++k) {
                QProcessEnvironment env = base;
                const bool last = k == inChain;
                if (!last) {
                    switch (random.bounded(4)) {
                    case 0:
                        env.insert(QStringLiteral("RUNHELPER_KILL_ANSWER"),
                                   QString::number(1 + random.bounded(int(answers))));
                        break;
                    case 1:
                        env.insert(QStringLiteral("RUNHELPER_KILL_FEEDBACK"),
                                   QString::number(1 + random.bounded(3)));
                        break;
                    default:
                        env.insert(QStringLiteral("RUNHELPER_KILL_AT"),
                                   QString::number(1 + random.bounded(int(points))));
                        break;
                    }
                }
                const Started run = launch(fresh ? freshArgs : resumeArgs, env);
                QVERIFY2(run.exitCode != -1, qPrintable(QStringLiteral("the helper hung: ") + run.lines.join(u'\n')));
                if (!fresh) {
                    QVERIFY2(run.lines.contains(QStringLiteral("offered"))
                                 || run.lines.contains(QStringLiteral("nothing offered")),
                             qPrintable(run.lines.join(u'\n')));
                    if (run.lines.contains(QStringLiteral("offered")))
                        ++offered;
                }
                if (!run.killed) {
                    QVERIFY2(run.exitCode == 0, qPrintable(run.lines.join(u'\n')));
                    break;    // the run came to its end
                }
                ++kills;
                ++configKills;
                if (env.contains(QStringLiteral("RUNHELPER_KILL_AT")))
                    ++insideWrite;

                // What the kill left: at most one journal, whose history is
                // a beginning of the run not interrupted.
                const QStringList left =
                    QDir(journals()).entryList({QStringLiteral("*.prova")}, QDir::Files);
                QVERIFY(left.size() <= 1);
                fresh = true;
                if (left.isEmpty()) {
                    // Killed before the journal was made (nothing stored yet),
                    // or while it was being removed after the run was stored
                    // whole (nothing is left to do).
                    const QByteArray stored =
                        QFileInfo::exists(archive()) ? readBytes(archive()) : QByteArray();
                    QVERIFY(stored.isEmpty() || stored == reference);
                    if (!stored.isEmpty()) {
                        // The next start sweeps what the writer left and offers nothing.
                        QVERIFY(interruptedRuns(journals()).isEmpty());
                        break;
                    }
                    continue;
                }
                const QString path = QDir(journals()).filePath(left.first());
                if (QFileInfo::exists(journalPath(path)))
                    ++tornAppends;
                InterruptedRun read;
                {
                    const FileLock lock(path, false);
                    QVERIFY(lock.held());
                    read = readRunJournal(path);
                }
                QVERIFY2(read.readable && read.damage.isEmpty(), qPrintable(read.damage));
                QStringList history;
                for (qsizetype i = 0; i < read.state.historyFirst.size(); ++i)
                    history << historyLine(read.state.historyFirst.at(i), read.state.historySecond.at(i),
                                           read.state.historyThird.at(i), read.state.historyTime.value(i));
                QCOMPARE(history, referenceHistory.mid(0, history.size()));
                const QByteArray stored = QFileInfo::exists(archive()) ? readBytes(archive()) : QByteArray();
                // Stored only once the run was over; then it is the run whole.
                QVERIFY(stored.isEmpty() || (read.state.ended && stored == reference));
                fresh = read.records == 0;
            }
            // The run stored is the one not interrupted, byte for byte, and
            // nothing else is left.
            QCOMPARE(readBytes(archive()), reference);
            QCOMPARE(QDir(journals()).entryList(QDir::Files | QDir::Hidden).join(u' '), QString());
            QCOMPARE(QDir(root() + QStringLiteral("/risult")).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral("risult.sal")});
        }
    }
    qInfo("%d kills in %d runs (%d inside the journal's writing, %d of them leaving an append "
          "cut short); the run was offered at %d starts",
          kills, chains, insideWrite, tornAppends, offered);
    QVERIFY(kills >= wanted);
}

QTEST_MAIN(TestCrashResume)
#include "tst_crashresume.moc"
