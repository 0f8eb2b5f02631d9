// A separate process for the data-safety tests: it changes the files of a data
// folder through the model functions, so that a test can kill it at any
// instant, or run several at once on one folder.
//
//   datahelper append  <folder> <id> <bytes>   appends a run of about <bytes>
//   datahelper replace <folder> <id> <bytes>   replaces the run <id> (one rewrite)
//   datahelper hold    <folder>                takes the archive's lock and waits
//   datahelper profile <data root> <pupil>     prints how the pupil's profile
//       reads (missing, read, damaged) and its values in words
//   datahelper saveprofile <data root> <pupil> <step ms>   saves a profile
//   datahelper holdprofile <data root> <pupil> takes the profile's lock and waits
//   datahelper worker  <folder> <tag> <ms>     appends, removes and replaces
//       runs and saves and deletes exercises for <ms> milliseconds, printing
//       each change it was told was made
//
// The file system calls of the model (write, pwrite, fsync, fdatasync,
// ftruncate, rename, link, unlink) pass through this program. With
// DATAHELPER_KILL_AT=k the process kills itself at the k-th point of the
// operation: before a call, halfway through a write (half the bytes written,
// as when the kernel stops a write at a page boundary), or after a call. With
// DATAHELPER_COUNT set it prints how many points the operation had and how
// long it took.

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/PupilProfile.h"
#include "model/SafeFile.h"
#include "model/Uevidenz.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool armed = false;
long killAt = 0;
long points = 0;

void point()
{
    if (!armed)
        return;
    if (++points == killAt)
        ::raise(SIGKILL);
}

template <class F>
F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

ssize_t interceptWrite(const char* name, int fd, const void* buf, size_t n, off_t offset,
                       bool positioned)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    using PWrite = ssize_t (*)(int, const void*, size_t, off_t);
    static const Write realWrite = real<Write>("write");
    static const PWrite realPwrite = real<PWrite>(name);
    const auto call = [&](size_t count) {
        return positioned ? realPwrite(fd, buf, count, offset) : realWrite(fd, buf, count);
    };
    point();
    if (armed && n > 1) {
        if (points + 1 == killAt) {
            call(n / 2);
            ::raise(SIGKILL);
        }
        ++points;    // the halfway point, passed whole
    }
    const ssize_t result = call(n);
    point();
    return result;
}

template <class F, class... A>
auto around(F f, A... args)
{
    point();
    const auto result = f(args...);
    point();
    return result;
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n)
{
    return interceptWrite("pwrite", fd, buf, n, 0, false);
}
ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset)
{
    return interceptWrite("pwrite", fd, buf, n, offset, true);
}
ssize_t pwrite64(int fd, const void* buf, size_t n, off_t offset)
{
    return interceptWrite("pwrite64", fd, buf, n, offset, true);
}
int fsync(int fd)
{
    static const auto f = real<int (*)(int)>("fsync");
    return around(f, fd);
}
int fdatasync(int fd)
{
    static const auto f = real<int (*)(int)>("fdatasync");
    return around(f, fd);
}
int ftruncate(int fd, off_t length)
{
    static const auto f = real<int (*)(int, off_t)>("ftruncate");
    return around(f, fd, length);
}
int ftruncate64(int fd, off_t length)
{
    static const auto f = real<int (*)(int, off_t)>("ftruncate64");
    return around(f, fd, length);
}
int rename(const char* from, const char* to)
{
    static const auto f = real<int (*)(const char*, const char*)>("rename");
    return around(f, from, to);
}
int link(const char* from, const char* to)
{
    static const auto f = real<int (*)(const char*, const char*)>("link");
    return around(f, from, to);
}
int unlink(const char* path)
{
    static const auto f = real<int (*)(const char*)>("unlink");
    return around(f, path);
}

} // extern "C"

namespace {

// Answers every question with Yes (replace the run, try the lock again) and
// notes the lock questions.
class YesDialogs final : public DialogService
{
public:
    int lockQuestions = 0;
    QStringList messages;
    DialogButton ask(const QString&, const QString& text, DialogButtons buttons, DialogIcon) override
    {
        if (text.contains(QStringLiteral("in uso")))
            ++lockQuestions;
        if (buttons & YesButton)
            return YesButton;
        messages << text;
        return OkButton;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }
};

const QString key = QStringLiteral("identificatore");
const QString name = QStringLiteral("risult");
const QString ext = QStringLiteral("sal");

// A run block of about `bytes` bytes whose lines all name `id` and `version`.
QStringList runLines(const QString& id, const QString& version, qint64 bytes)
{
    QStringList lines{QStringLiteral("[identificatore=%1]").arg(id), QStringLiteral("[informazioni]"),
                      QStringLiteral("VERSIONE=%1").arg(version), QStringLiteral("[storia]")};
    for (qint64 size = 0, i = 0; size < bytes; ++i) {
        lines << QStringLiteral("%1|%2|riga di %3 versione %4").arg(i).arg(i % 3).arg(id, version);
        size += lines.constLast().size() + 2;
    }
    return lines;
}

int usage()
{
    std::fprintf(stderr, "usage: datahelper append|replace|hold|worker <folder> ...\n");
    return 2;
}

// One process of the concurrency test: changes of its own runs and exercises
// among those of the other processes, each printed once it was reported done.
int worker(const QString& folder, const QString& tag, qint64 ms)
{
    YesDialogs dialogs;
    setDialogService(&dialogs);
    const QString results = QDir(folder).filePath(QStringLiteral("risult"));
    const QString exercises = QDir(folder).filePath(QStringLiteral("esercizi"));
    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    QStringList runs;         // own runs in the archive
    QStringList saved;        // own exercises, file "=" long name
    int nextRun = 0;
    int nextExercise = 0;
    int version = 0;
    int failures = 0;
    QElapsedTimer timer;
    timer.start();
    const auto say = [](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    while (timer.elapsed() < ms) {
        const int choice = int(random.bounded(10));
        ++version;
        if (choice < 3 || runs.isEmpty()) {
            const QString id = tag + QStringLiteral("^R") + QString::number(nextRun++);
            if (appendLines(runLines(id, QString::number(version), 600), results, name, ext)) {
                runs << id;
                say(QStringLiteral("A %1 %2").arg(id).arg(version));
            } else {
                ++failures;
            }
        } else if (choice < 5) {
            const QString id = runs.takeAt(random.bounded(int(runs.size())));
            if (removeBlock(key, id, results, name, ext))
                say(QStringLiteral("R %1").arg(id));
            else
                ++failures;
        } else if (choice < 7) {
            // A run saved again under its name, answering Yes to the question.
            const QString id = runs.at(random.bounded(int(runs.size())));
            Tparametri p;
            p.mode = fromExercise;
            p.source = QStringList{QStringLiteral("~importante~"), QStringLiteral("Una frase.")};
            Tevidenziatore model(p);
            TesercizioSvolto run;
            run.pupilName = id.section(QLatin1Char('^'), 0, 0);
            run.runName = id.section(QLatin1Char('^'), 1);
            run.pupilInfo = QStringList{QStringLiteral("VERSIONE=%1").arg(version)};
            run.exerciseName = QStringLiteral("Prova");
            if (model.writeRun(results, name, ext, run))
                say(QStringLiteral("P %1 %2").arg(id).arg(version));
            else
                ++failures;
        } else if (choice < 9 || saved.isEmpty()) {
            const QString longName = QStringLiteral("Esercizio %1 %2").arg(tag).arg(nextExercise++);
            const QString file = fileNameFor(exercises, longName);
            Tparametri p;
            p.mode = fromExercise;
            p.source = QStringList{QStringLiteral("~importante~"), longName};
            p.compito = QStringLiteral("VERSIONE %1").arg(version);
            Tevidenziatore model(p);
            if (!file.isEmpty() && model.saveExercise(exercises, file)) {
                saved << file + QLatin1Char('=') + longName;
                say(QStringLiteral("E %1 %2 %3").arg(file).arg(version).arg(longName));
            } else {
                ++failures;
            }
        } else {
            const QString entry = saved.takeAt(random.bounded(int(saved.size())));
            const QString file = entry.section(QLatin1Char('='), 0, 0);
            if (deleteExercise(exercises, file))
                say(QStringLiteral("D %1 %2").arg(file, entry.section(QLatin1Char('='), 1)));
            else
                ++failures;
        }
    }
    say(QStringLiteral("Q %1 %2").arg(dialogs.lockQuestions).arg(failures));
    for (const QString& m : std::as_const(dialogs.messages))
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return usage();
    const QString command = args.at(1);
    const QString folder = args.at(2);
    killAt = std::atol(qgetenv("DATAHELPER_KILL_AT").constData());
    const bool counting = qEnvironmentVariableIsSet("DATAHELPER_COUNT");
    YesDialogs dialogs;
    setDialogService(&dialogs);

    bool ok = false;
    if ((command == QLatin1String("append") || command == QLatin1String("replace")) && args.size() == 5) {
        const QString id = args.at(3);
        const QStringList lines = runLines(id, QStringLiteral("nuova"), args.at(4).toLongLong());
        std::printf("go\n");
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        armed = true;
        ok = command == QLatin1String("append") ? appendLines(lines, folder, name, ext)
                                                : replaceBlock(key, id, lines, folder, name, ext);
        armed = false;
        if (counting)
            std::printf("nanoseconds %lld\n", static_cast<long long>(timer.nsecsElapsed()));
    } else if (command == QLatin1String("hold")) {
        const FileLock lock(sectionFilePath(folder, name, ext));
        std::printf("held\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    } else if (command == QLatin1String("profile") && args.size() == 4) {
        PupilProfile profile;
        const ProfileRead how = readPupilProfile(folder, args.at(3), profile);
        std::printf("%s\n", how == ProfileRead::read      ? "read"
                            : how == ProfileRead::missing ? "missing"
                                                          : "damaged");
        // The values in force with the run window's font and the general options' defaults.
        if (profile.fontFamily.isEmpty()) {
            profile.fontFamily = QStringLiteral("Times New Roman");
            profile.fontSize = 16;
        }
        profile.useSpeech = profile.useSpeech.value_or(false);
        profile.maxSentenceTime = profile.maxSentenceTime.value_or(7);
        std::printf("%s\n", profileInWords(profile).toUtf8().constData());
        ok = true;
    } else if (command == QLatin1String("saveprofile") && args.size() == 5) {
        PupilProfile profile;
        profile.scan.stepMs = args.at(4).toInt();
        ok = savePupilProfile(folder, args.at(3), profile);
        std::printf("%s\n", ok ? "saved" : "not saved");
    } else if (command == QLatin1String("holdprofile") && args.size() == 4) {
        QDir().mkpath(profileFolder(folder));
        const FileLock lock(profilePath(folder, args.at(3)));
        std::printf("held\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    } else if (command == QLatin1String("worker") && args.size() == 5) {
        return worker(folder, args.at(3), args.at(4).toLongLong());
    } else {
        return usage();
    }
    if (counting)
        std::printf("points %ld\n", points);
    for (const QString& m : std::as_const(dialogs.messages))
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return ok ? 0 : 1;
}
