// The data files across crashes, full disks, failed flushes and several
// copies of the program on one folder. Processes of tests/helpers/datahelper
// are killed at every file-system call of an operation and at random
// instants, and run side by side.
//
// Longer runs by hand: SALIENTA_CRASH_KILLS=<timed kills per operation>,
// SALIENTA_CRASH_MB=<size of the large append>, SALIENTA_WORKERS=<processes>,
// SALIENTA_WORKER_MS=<milliseconds each>, with QTEST_FUNCTION_TIMEOUT raised.

#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/SafeFile.h"
#include "model/Uevidenz.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using testsupport::readBytes;
using testsupport::writeBytes;

// Flushes of this test program fail with EIO while `failingSyncs` counts
// down to them: the n-th flush from now fails when failingSyncs == n.
namespace {
int failingSyncs = 0;
}

extern "C" int fsync(int fd)
{
    static const auto realFsync = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    if (failingSyncs > 0 && --failingSyncs == 0) {
        errno = EIO;
        return -1;
    }
    return realFsync(fd);
}

namespace {

const QString key = QStringLiteral("identificatore");
const QString name = QStringLiteral("risult");
const QString ext = QStringLiteral("sal");

int envInt(const char* variable, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(variable, &ok);
    return ok ? value : fallback;
}

QByteArray runBytes(const QString& id, int lines)
{
    QByteArray out = "[identificatore=" + id.toLatin1() + "]\r\n[informazioni]\r\n[storia]\r\n";
    for (int i = 0; i < lines; ++i)
        out += QByteArray::number(i) + "|1|riga della prova " + id.toLatin1() + "\r\n";
    return out;
}

// The files of a folder other than those named.
QStringList strayFiles(const QString& folder, const QStringList& expected)
{
    QStringList stray;
    const QStringList all = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& file : all) {
        if (!expected.contains(file))
            stray << file;
    }
    return stray;
}

struct Outcome {
    int kills = 0;
    int old = 0;
    int fresh = 0;
    int other = 0;
};

} // namespace

class TestDataSafety : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readOnlyArchiveIsRefusedBeforeAnythingChanges();
    void failedFlushIsAFailedSave();
    void killedAtEveryPointLeavesTheOldOrTheNewArchive();
    void fullDiskKeepsTheOldFileOrWritesTheNew();
    void lockOfAKilledProcessIsTakenOverAndABusyOneAsks();
    void severalProcessesKeepEverySave();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString folder() const { return dir->path(); }
    QString file() const { return QDir(dir->path()).filePath("risult.sal"); }
    QString mounted;

    Outcome crashRuns(const QString& op, const QString& id, qint64 bytes, const QByteArray& old,
                      int timedKills);
    QProcess* startHelper(const QStringList& args, const QProcessEnvironment& env = {});
};

void TestDataSafety::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestDataSafety::cleanup()
{
    failingSyncs = 0;
    if (!mounted.isEmpty())
        ::umount2(QFile::encodeName(mounted).constData(), MNT_DETACH);
    mounted.clear();
}

QProcess* TestDataSafety::startHelper(const QStringList& args, const QProcessEnvironment& env)
{
    auto* process = new QProcess(this);
    if (!env.isEmpty())
        process->setProcessEnvironment(env);
    process->start(QStringLiteral(DATAHELPER_PATH), args);
    return process;
}

void TestDataSafety::readOnlyArchiveIsRefusedBeforeAnythingChanges()
{
    ScriptedDialogs script;
    Tparametri p;
    p.mode = fromExercise;
    p.source = QStringList{"~importante~", "Il gatto dorme."};
    Tevidenziatore model(p);
    TesercizioSvolto run;
    run.pupilName = "MARIO";
    run.runName = "PRIMA";
    run.exerciseName = "Gatto";
    QVERIFY(model.writeRun(folder(), name, ext, run));
    run.pupilName = "ANNA";
    QVERIFY(model.writeRun(folder(), name, ext, run));

    // A replacement is one rewrite: MARIO's run moves to the end, once.
    script.answer(YesButton);
    run.pupilName = "MARIO";
    run.pupilInfo = QStringList{"seconda volta"};
    QVERIFY(model.writeRun(folder(), name, ext, run));
    const QByteArray after = readBytes(file());
    QCOMPARE(after.count("[identificatore=MARIO^PRIMA]"), 1);
    QVERIFY(after.startsWith("[identificatore=ANNA^PRIMA]"));
    QVERIFY(after.indexOf("seconda volta") > after.indexOf("[identificatore=MARIO^PRIMA]"));
    QCOMPARE(strayFiles(folder(), {"risult.sal"}), QStringList());

    // The user keeps the old run: not the file's fault.
    bool fileFailed = true;
    script.answer(NoAnswerButton);
    QVERIFY(!model.writeRun(folder(), name, ext, run, &fileFailed));
    QVERIFY(!fileFailed);

    // Read-only: no question, nothing changes, each refusal said.
    QVERIFY(::chmod(QFile::encodeName(file()).constData(), 0444) == 0);
    script.clear();
    QVERIFY(!model.writeRun(folder(), name, ext, run, &fileFailed));
    QVERIFY(fileFailed);
    run.runName = "NUOVA";
    QVERIFY(!model.writeRun(folder(), name, ext, run));
    QVERIFY(!removeBlock(key, "ANNA^PRIMA", folder(), name, ext));
    QCOMPARE(readBytes(file()), after);
    QCOMPARE(script.messages(),
             (QStringList{QString::fromUtf8("Il risultato non è stato salvato: il file risult è di sola lettura."),
                          QString::fromUtf8("Il file risult è di sola lettura: non è stato modificato."),
                          QString::fromUtf8("Il file risult è di sola lettura: non è stato modificato.")}));

    // A read-only exercise is not replaced either.
    const QString exercise = QDir(folder()).filePath("GATTO.S01");
    QVERIFY(writeBytes(exercise, "[compito]\r\n"));
    QVERIFY(::chmod(QFile::encodeName(exercise).constData(), 0444) == 0);
    script.clear();
    QVERIFY(!model.saveExercise(folder(), "GATTO.S01"));
    QCOMPARE(readBytes(exercise), QByteArray("[compito]\r\n"));
    QCOMPARE(script.messages().size(), 1);
}

void TestDataSafety::failedFlushIsAFailedSave()
{
    ScriptedDialogs script;
    const QByteArray old = runBytes("A^1", 3) + runBytes("B^2", 3);
    QVERIFY(writeBytes(file(), old));
    const QString text = QDir(folder()).filePath("testo.txt");
    QVERIFY(writeBytes(text, "vecchio\r\n"));
    Tparametri p;
    p.mode = fromExercise;
    p.source = QStringList{"~importante~", "Il gatto dorme."};
    Tevidenziatore model(p);
    QVERIFY(model.saveExercise(folder(), "GATTO.S01"));
    const QByteArray exercise = readBytes(QDir(folder()).filePath("GATTO.S01"));
    const QStringList kept{"risult.sal", "testo.txt", "GATTO.S01"};

    // Each flush of each save fails in turn (the journal's and the data's for
    // an append): the save says so and the old file stays as it was.
    for (int n = 1; n <= 2; ++n) {
        failingSyncs = n;
        QVERIFY(!appendLines({"[identificatore=C^3]", "riga"}, folder(), name, ext));
        QCOMPARE(readBytes(file()), old);
    }
    failingSyncs = 1;
    QVERIFY(!replaceBlock(key, "A^1", {"[identificatore=A^1]", "nuova"}, folder(), name, ext));
    QCOMPARE(readBytes(file()), old);
    failingSyncs = 1;
    QVERIFY(!removeBlock(key, "A^1", folder(), name, ext));
    failingSyncs = 1;
    QVERIFY(!saveText({"nuovo"}, text));
    failingSyncs = 1;
    model.compito = "Nuovo compito";
    QVERIFY(!model.saveExercise(folder(), "GATTO.S01"));
    failingSyncs = 1;
    QCOMPARE(fileNameFor(folder(), "Il gatto"), QString());
    failingSyncs = 0;

    QCOMPARE(readBytes(file()), old);
    QCOMPARE(readBytes(text), QByteArray("vecchio\r\n"));
    QCOMPARE(readBytes(QDir(folder()).filePath("GATTO.S01")), exercise);
    QVERIFY(!QFileInfo::exists(QDir(folder()).filePath("LONGNAME.LST")));
    QCOMPARE(strayFiles(folder(), kept), QStringList());
    QCOMPARE(script.messages(),
             (QStringList{"Errore nella scrittura del file risult",
                          "Errore nella scrittura del file risult", "Errore nelle operazioni sui file",
                          "Errore nelle operazioni sui file",
                          QString::fromUtf8("Errore nella scrittura del file GATTO.S01: l'esercizio "
                                            "non è stato salvato."),
                          "Errore nella scrittura del file LONGNAME.LST"}));
    // The next saves succeed.
    QVERIFY(appendLines({"[identificatore=C^3]", "riga"}, folder(), name, ext));
    QVERIFY(saveText({"nuovo"}, text));
    QCOMPARE(fileNameFor(folder(), "Il gatto"), QStringLiteral("ILGATTO.S01"));
}

// Kills a helper doing `op` at every point of its file-system calls, then at
// `timedKills` random instants of the operation. After each kill the archive,
// once opened, must be the old one or the new one, and the next change must
// succeed and leave no other file.
Outcome TestDataSafety::crashRuns(const QString& op, const QString& id, qint64 bytes,
                                  const QByteArray& old, int timedKills)
{
    Outcome outcome;
    const QStringList args{op, folder(), id, QString::number(bytes)};
    auto reset = [&] {
        for (const QString& f : QDir(folder()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(QDir(folder()).filePath(f));
        return writeBytes(file(), old);
    };

    // The operation done whole: the new archive and the number of points.
    if (!reset())
        return outcome;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DATAHELPER_COUNT", "1");
    QProcess* whole = startHelper(args, env);
    whole->waitForFinished(60000);
    const QByteArray out = whole->readAllStandardOutput();
    const qint64 wholeNs = out.mid(out.indexOf("nanoseconds ") + 12).split('\n').first().toLongLong();
    const int points = out.mid(out.indexOf("points ") + 7).trimmed().toInt();
    const QByteArray fresh = readBytes(file());
    if (whole->exitCode() != 0 || points < 10 || wholeNs <= 0 || fresh.size() <= old.size() / 2) {
        qWarning() << "whole operation failed" << whole->readAllStandardError() << out;
        outcome.other = -1;
        return outcome;
    }

    const auto check = [&](int k) {
        ++outcome.kills;
        const QByteArray lockBytes = readBytes(file() + ".lock");
        ScriptedDialogs script;
        QStringList values;
        listValues(values, key, folder(), name, ext);    // opening cuts back
        const QByteArray now = readBytes(file());
        if (now == old)
            ++outcome.old;
        else if (now == fresh)
            ++outcome.fresh;
        else
            ++outcome.other;
        // The next change succeeds and clears away what the crash left.
        const bool next = removeBlock(key, QStringLiteral("NESSUNO^MAI"), folder(), name, ext);
        const QStringList stray = strayFiles(folder(), {"risult.sal"});
        if (!next || !stray.isEmpty() || !script.messages().isEmpty()) {
            qWarning() << op << "after kill" << k << ":" << next << stray << script.messages() << lockBytes;
            ++outcome.other;
        }
    };

    for (int k = 1; k <= points; ++k) {
        if (!reset())
            return outcome;
        env.remove("DATAHELPER_COUNT");
        env.insert("DATAHELPER_KILL_AT", QString::number(k));
        QProcess* p = startHelper(args, env);
        p->waitForFinished(60000);
        check(k);
        delete p;
    }
    env.remove("DATAHELPER_KILL_AT");
    for (int i = 0; i < timedKills; ++i) {
        if (!reset())
            return outcome;
        QProcess* p = startHelper(args, env);
        if (p->waitForStarted(10000)) {
            while (!p->canReadLine() && p->waitForReadyRead(10000)) {
            }
            const qint64 delayUs = QRandomGenerator::global()->bounded(qint64(wholeNs / 1000 + 1));
            ::usleep(useconds_t(delayUs));
            ::kill(pid_t(p->processId()), SIGKILL);
            p->waitForFinished(60000);
        }
        check(-1);
        delete p;
    }
    return outcome;
}

void TestDataSafety::killedAtEveryPointLeavesTheOldOrTheNewArchive()
{
    QByteArray old;
    for (int i = 0; i < 40; ++i)
        old += runBytes(QStringLiteral("ALUNNO%1^PROVA").arg(i), 60);
    const int timed = envInt("SALIENTA_CRASH_KILLS", 6);
    const qint64 large = qint64(envInt("SALIENTA_CRASH_MB", 1)) << 20;
    struct Case {
        const char* op;
        QString id;
        qint64 bytes;
    };
    const QList<Case> cases{{"append", "NUOVO^RUN", 3500},
                            {"append", "GRANDE^RUN", large},
                            {"replace", "ALUNNO7^PROVA", 3500}};
    for (const Case& c : cases) {
        const Outcome o = crashRuns(c.op, c.id, c.bytes, old, timed);
        qInfo("%s of %lld bytes: %d kills, %d old, %d new, %d other", c.op,
              static_cast<long long>(c.bytes), o.kills, o.old, o.fresh, o.other);
        QCOMPARE(o.other, 0);
        QVERIFY(o.kills > 10 + timed);
        QVERIFY(o.old > 0 && o.fresh > 0);
    }
}

void TestDataSafety::fullDiskKeepsTheOldFileOrWritesTheNew()
{
    mounted = QDir(folder()).filePath("piccolo");
    QVERIFY(QDir().mkpath(mounted));
    if (::mount("tmpfs", QFile::encodeName(mounted).constData(), "tmpfs", 0, "size=256k") != 0) {
        mounted.clear();
        QSKIP("a small file system cannot be mounted here (needs root)");
    }
    const QString data = mounted;
    const QString archive = QDir(data).filePath("risult.sal");
    const QString filler = QDir(data).filePath("riempimento");
    QByteArray old;
    for (int i = 0; i < 12; ++i)
        old += runBytes(QStringLiteral("ALUNNO%1^PROVA").arg(i), 30);
    Tparametri p;
    p.mode = fromExercise;
    p.source = QStringList{"~importante~", QString(3000, u'x')};
    Tevidenziatore model(p);

    struct Path {
        const char* what;
        QString file;
        std::function<bool()> save;
    };
    const QStringList newRun{"[identificatore=NUOVO^RUN]", "riga nuova"};
    const QList<Path> paths{
        {"append", archive, [&] { return appendLines(newRun, data, name, ext); }},
        {"replace", archive, [&] { return replaceBlock(key, "ALUNNO3^PROVA", newRun, data, name, ext); }},
        {"remove", archive, [&] { return removeBlock(key, "ALUNNO3^PROVA", data, name, ext); }},
        {"text", QDir(data).filePath("testo.txt"), [&] { return saveText({QString(9000, u'y')}, QDir(data).filePath("testo.txt")); }},
        {"exercise", QDir(data).filePath("GATTO.S01"), [&] { return model.saveExercise(data, "GATTO.S01"); }},
        {"name table", QDir(data).filePath("LONGNAME.LST"), [&] { return !fileNameFor(data, QString(200, u'g')).isEmpty(); }},
    };
    int saved = 0;
    int refused = 0;
    for (const Path& path : paths) {
        const int refusedBefore = refused;
        for (int freePages = 0; freePages <= 12; ++freePages) {
            ScriptedDialogs script;
            for (const QString& f : QDir(data).entryList(QDir::Files | QDir::Hidden))
                QFile::remove(QDir(data).filePath(f));
            QVERIFY(writeBytes(archive, old));
            QVERIFY(writeBytes(QDir(data).filePath("testo.txt"), QByteArray(5000, 'v')));
            QVERIFY(writeBytes(QDir(data).filePath("GATTO.S01"), QByteArray(5000, 'e')));
            QVERIFY(writeBytes(QDir(data).filePath("LONGNAME.LST"), QByteArray(4000, 'n') + "\r\n"));
            const QByteArray before = readBytes(path.file);
            // Fill the disk, then give back `freePages` pages.
            {
                QFile fill(filler);
                QVERIFY(fill.open(QIODevice::WriteOnly));
                const QByteArray chunk(4096, 'f');
                while (fill.write(chunk) == chunk.size() && fill.flush()) {
                }
                fill.close();
                fill.resize(std::max<qint64>(0, fill.size() - 4096 * freePages));
            }
            const bool ok = path.save();
            const QByteArray after = readBytes(path.file);
            if (ok) {
                ++saved;
                QVERIFY2(after != before && script.messages().isEmpty(), path.what);
            } else {
                ++refused;
                QVERIFY2(after == before, path.what);
                // The plain-text writer leaves the message to its caller.
                QVERIFY2(script.messages().size() == (path.file.endsWith("testo.txt") ? 0 : 1),
                         path.what);
            }
            QFile::remove(filler);
            QCOMPARE(strayFiles(data, {"risult.sal", "testo.txt", "GATTO.S01", "LONGNAME.LST"}),
                     QStringList());
            // With room again the save goes through.
            if (!ok)
                QVERIFY2(path.save(), path.what);
        }
        qInfo("full disk, %s: refused with the old file kept at %d of 13 fill points, saved at "
              "the others", path.what, refused - refusedBefore);
    }
    qInfo("full disk: %d fill points saved, %d refused with the old file kept", saved, refused);
    QVERIFY(saved > 0 && refused > 0);
}

void TestDataSafety::lockOfAKilledProcessIsTakenOverAndABusyOneAsks()
{
    const QByteArray old = runBytes("A^1", 2);
    QVERIFY(writeBytes(file(), old));
    FileLock::setPatienceForTests(300);
    const auto restore = qScopeGuard([] { FileLock::setPatienceForTests(3000); });

    // An append killed halfway through its write: half a run and the journal.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (int k = 1; k < 40 && !QFileInfo::exists(journalPath(file())); ++k) {
        QVERIFY(writeBytes(file(), old));
        env.insert("DATAHELPER_KILL_AT", QString::number(k));
        QProcess* p = startHelper({"append", folder(), "MEZZO^RUN", "20000"}, env);
        QVERIFY(p->waitForFinished(10000));
        if (QFileInfo(file()).size() <= old.size())
            QFile::remove(journalPath(file()));
    }
    QVERIFY(QFileInfo::exists(journalPath(file())));
    const QByteArray torn = readBytes(file());
    QVERIFY(torn.size() > old.size() && torn.startsWith(old));

    QProcess* holder = startHelper({"hold", folder()});
    QVERIFY(holder->waitForReadyRead(10000));
    // A reader does not wait for the lock: it reads without the half run,
    // and changes nothing.
    {
        ScriptedDialogs script;
        QStringList values;
        listValues(values, key, folder(), name, ext);
        QCOMPARE(values, QStringList{"A^1"});
        QCOMPARE(readBytes(file()), torn);
    }

    // Busy: asked after a short wait; No gives up and writes nothing.
    {
        ScriptedDialogs script;
        script.answer(NoAnswerButton);
        QVERIFY(!appendLines({"[identificatore=B^2]"}, folder(), name, ext));
        QCOMPARE(readBytes(file()), torn);
        QCOMPARE(script.asked().size(), 2);
        QVERIFY(script.asked().at(0).text.startsWith(QString::fromUtf8("Il file risult.sal è in uso")));
        QCOMPARE(script.asked().at(0).buttons, YesButton | NoAnswerButton);
        QCOMPARE(script.messages().at(1),
                 QString::fromUtf8("Il file risult è in uso altrove: non è stato modificato."));
    }
    // The holder dies: its lock is taken over without a question, and the
    // half run is cut away before the append.
    ::kill(pid_t(holder->processId()), SIGKILL);
    QVERIFY(holder->waitForFinished(10000));
    QVERIFY(QFileInfo::exists(file() + ".lock"));
    {
        ScriptedDialogs script;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(appendLines({"[identificatore=B^2]"}, folder(), name, ext));
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY(script.asked().isEmpty());
        QCOMPARE(readBytes(file()), old + "[identificatore=B^2]\r\n");
        QVERIFY(!QFileInfo::exists(journalPath(file())));
    }
    // A lock file left empty by a process that died while making it.
    QVERIFY(writeBytes(file() + ".lock", QByteArray()));
    struct utimbuf longAgo {100000, 100000};
    QCOMPARE(::utime(QFile::encodeName(file() + ".lock").constData(), &longAgo), 0);
    {
        ScriptedDialogs script;
        QVERIFY(removeBlock(key, "A^1", folder(), name, ext));
        QVERIFY(script.asked().isEmpty());
    }
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=B^2]\r\n"));
    QCOMPARE(strayFiles(folder(), {"risult.sal"}), QStringList());
}

void TestDataSafety::severalProcessesKeepEverySave()
{
    const int workers = envInt("SALIENTA_WORKERS", 3);
    const int ms = envInt("SALIENTA_WORKER_MS", 2500);
    QVERIFY(QDir(folder()).mkpath("risult") && QDir(folder()).mkpath("esercizi"));
    // Each process writes what it did to a file of its own, so that none
    // waits on a full pipe.
    QList<QProcess*> processes;
    for (int w = 0; w < workers; ++w) {
        auto* p = new QProcess(this);
        p->setStandardOutputFile(QDir(folder()).filePath(QStringLiteral("P%1.log").arg(w)));
        p->start(QStringLiteral(DATAHELPER_PATH),
                 {"worker", folder(), QStringLiteral("P%1").arg(w), QString::number(ms)});
        processes << p;
    }
    QMap<QString, QString> runs;         // id -> version that must be stored
    QMap<QString, QString> exercises;    // long name -> version
    QMap<QString, QString> files;        // long name -> file
    int changes = 0;
    int questions = 0;
    for (int w = 0; w < workers; ++w) {
        QProcess* p = processes.at(w);
        QVERIFY(p->waitForFinished(ms + 120000));
        QCOMPARE(p->exitCode(), 0);
        const QList<QByteArray> lines =
            readBytes(QDir(folder()).filePath(QStringLiteral("P%1.log").arg(w))).split('\n');
        for (const QByteArray& raw : lines) {
            const QStringList f = QString::fromLatin1(raw).split(u' ');
            if (f.size() < 2)
                continue;
            if (f[0] == "A" || f[0] == "P")
                runs[f[1]] = f[2];
            else if (f[0] == "R")
                runs.remove(f[1]);
            else if (f[0] == "E")
                exercises[f.mid(3).join(u' ')] = f[2], files[f.mid(3).join(u' ')] = f[1];
            else if (f[0] == "D")
                exercises.remove(f.mid(2).join(u' ')), files.remove(f.mid(2).join(u' '));
            if (f[0] == "Q") {
                questions += f[1].toInt();
                QCOMPARE(f[2], QStringLiteral("0"));    // no change failed
            } else {
                ++changes;
            }
        }
    }
    const QString results = QDir(folder()).filePath("risult");
    const QString exFolder = QDir(folder()).filePath("esercizi");
    ScriptedDialogs script;
    QStringList values;
    listValues(values, key, results, name, ext);
    QCOMPARE(values.size(), runs.size());
    for (auto it = runs.cbegin(); it != runs.cend(); ++it) {
        QCOMPARE(values.count(it.key()), 1);
        QStringList block;
        readBlock(block, key, it.key(), false, results, name, ext);
        QVERIFY2(block.contains("VERSIONE=" + it.value()), qPrintable(it.key()));
    }
    const QStringList table = splitLines(testsupport::fromCp1252(readBytes(QDir(exFolder).filePath("LONGNAME.LST"))));
    QCOMPARE(table.size(), exercises.size());
    for (auto it = exercises.cbegin(); it != exercises.cend(); ++it) {
        QVERIFY(table.contains(files[it.key()] + u'=' + it.key()));
        QStringList text;
        QString task;
        QVERIFY(readExercise(QDir(exFolder).filePath(files[it.key()]), text, task));
        QCOMPARE(task, "VERSIONE " + it.value());
    }
    QStringList expected = files.values();
    expected << "LONGNAME.LST";
    QCOMPARE(strayFiles(exFolder, expected), QStringList());
    QCOMPARE(strayFiles(results, {"risult.sal"}), QStringList());
    qInfo("%d processes for %d ms: %d changes reported done, %lld runs and %lld exercises kept, "
          "%d lock questions",
          workers, ms, changes, static_cast<long long>(runs.size()),
          static_cast<long long>(exercises.size()), questions);
    QVERIFY(changes > workers * 20);
}

QTEST_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
