#include "model/RecoveryFile.h"

#include "model/CheckedLines.h"
#include "model/Clock.h"
#include "model/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray kindValue = "recupero";
constexpr int formatVersion = 1;
const char* const recoveryExtension = "rec";

QString damagedText(const QString& name)
{
    return QStringLiteral("Il file di recupero ") + name
           + QString::fromUtf8(" è danneggiato: non vi si legge nessun lavoro.");
}

// The recovery files of the windows of this program (which hold their locks).
QSet<QString>& filesOfThisProgram()
{
    static QSet<QString> files;
    return files;
}

} // namespace

QString recoveryFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
               .filePath(QStringLiteral("recupero"))
           + QLatin1Char('/');
}

QByteArray recoveryBytes(const RecoveredWork& work)
{
    QByteArray out = checkedLine({{"salienta", QString::fromLatin1(kindValue)},
                                  {"versione", QString::number(formatVersion)},
                                  {"tipo", work.kind},
                                  {"data", work.saved.toString(Qt::ISODateWithMs)},
                                  {"nome", work.name},
                                  {"compito", work.task},
                                  {"corrente", QString::number(work.currentSentence)},
                                  {"righe", QString::number(work.lines.size())}});
    for (const QString& line : work.lines)
        out += checkedLine({{"r", line}});
    out += checkedLine({{"fine", QString::number(fnv1a(out), 16)}});
    return out;
}

RecoveredWork readRecoveryFile(const QString& path)
{
    RecoveredWork work;
    work.path = path;
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        work.damage = QStringLiteral("Il file di recupero ") + name + QStringLiteral(" non si può leggere.");
        return work;
    }
    const QByteArray bytes = file.readAll();
    qsizetype at = 0;
    const auto nextLine = [&](QByteArray& line) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return false;
        line = bytes.mid(at, end - at);
        at = end + 1;
        return true;
    };
    QByteArray line;
    CheckedFields fields;
    bool ok = nextLine(line) && readCheckedLine(line, fields)
              && fieldValue(fields, "salienta") == QLatin1String(kindValue)
              && fieldValue(fields, "versione") == QString::number(formatVersion);
    int count = -1;
    if (ok) {
        work.kind = fieldValue(fields, "tipo");
        work.saved = QDateTime::fromString(fieldValue(fields, "data"), Qt::ISODateWithMs);
        work.name = fieldValue(fields, "nome");
        work.task = fieldValue(fields, "compito");
        work.currentSentence = intField(fields, "corrente", 0, ok);
        count = intField(fields, "righe", -1, ok);
        ok = ok && count >= 0 && work.saved.isValid()
             && (work.kind == recoveryExercise || work.kind == recoveryText);
    }
    if (!ok) {
        work.damage = damagedText(name);
        return work;
    }
    work.readable = true;
    for (int i = 0; i < count; ++i) {
        if (!nextLine(line) || !readCheckedLine(line, fields) || fields.size() != 1
            || fields.first().first != "r") {
            work.damage = QString::fromUtf8("Il file di recupero è danneggiato: si possono "
                                            "recuperare solo %1 righe delle %2 del lavoro.")
                              .arg(i)
                              .arg(count);
            return work;
        }
        work.lines << fields.first().second;
    }
    const QByteArray before = bytes.left(at);
    if (!nextLine(line) || !readCheckedLine(line, fields)
        || fieldValue(fields, "fine") != QString::number(fnv1a(before), 16) || at != bytes.size())
        work.damage = QString::fromUtf8("Il file di recupero è danneggiato alla fine: il lavoro "
                                        "recuperato potrebbe non essere completo.");
    return work;
}

QList<RecoveredWork> abandonedWork(const QString& folder, const QString& kind)
{
    QList<RecoveredWork> found;
    const QDir dir(folder);
    const QStringList files = dir.entryList(
        {kind + QStringLiteral("-*.") + QLatin1String(recoveryExtension)}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QString path = QFileInfo(dir.filePath(name)).absoluteFilePath();
        if (filesOfThisProgram().contains(path))
            continue;
        const FileLock lock(path, false);
        if (!lock.held())
            continue;    // its window is open in another copy of the program
        RecoveredWork work = readRecoveryFile(path);
        if (work.readable && work.kind != kind)
            continue;
        found << work;
    }
    std::stable_sort(found.begin(), found.end(), [](const RecoveredWork& a, const RecoveredWork& b) {
        return a.readable && (!b.readable || a.saved > b.saved);
    });
    return found;
}

bool removeRecoveryFile(const QString& path)
{
    if (filesOfThisProgram().contains(QFileInfo(path).absoluteFilePath()))
        return false;
    const FileLock lock(path, false);
    if (!lock.held())
        return false;
    removeLeftovers(path);
    return QFile::remove(path) || !QFileInfo::exists(path);
}

// ---------------------------------------------------------------------------

struct RecoveryFile::Writer {
    QString path;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<RecoveredWork> pending;
    bool busy = false;
    bool stop = false;
    bool failure = false;
    int written = 0;
    std::thread thread;

    void run()
    {
        // Below the window's thread: on a machine whose other core is busy,
        // a long write never takes the time of a key.
        const auto self = static_cast<id_t>(::gettid());
        errno = 0;
        const int nice = ::getpriority(PRIO_PROCESS, self);
        if (errno == 0)
            ::setpriority(PRIO_PROCESS, self, std::min(nice + 10, 19));
        std::unique_lock<std::mutex> guard(mutex);
        for (;;) {
            changed.wait(guard, [this] { return stop || pending.has_value(); });
            if (!pending) {
                if (stop)
                    return;
                continue;
            }
            RecoveredWork work = std::move(*pending);
            pending.reset();
            busy = true;
            guard.unlock();
            const bool ok = replaceFileContents(path, recoveryBytes(work));
            guard.lock();
            busy = false;
            if (ok)
                ++written;
            else
                failure = true;
            changed.notify_all();
        }
    }

    void waitIdle(std::unique_lock<std::mutex>& guard)
    {
        changed.wait(guard, [this] { return !busy && !pending.has_value(); });
    }
};

RecoveryFile::RecoveryFile(const QString& folder, const QString& kind)
    : writer(std::make_unique<Writer>()), kindName(kind)
{
    QDir().mkpath(folder);
    const QString stamp = msClock().dateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        writer->path = QFileInfo(QDir(folder).filePath(
                                     kind + QLatin1Char('-') + stamp + QLatin1Char('-')
                                     + QString::number(QRandomGenerator::system()->generate(), 16)
                                     + QLatin1Char('.') + QLatin1String(recoveryExtension)))
                           .absoluteFilePath();
        if (!QFileInfo::exists(writer->path))
            break;
    }
    lock = std::make_unique<FileLock>(writer->path, false);
    filesOfThisProgram().insert(writer->path);
    writer->thread = std::thread([w = writer.get()] { w->run(); });
}

RecoveryFile::~RecoveryFile()
{
    {
        std::unique_lock<std::mutex> guard(writer->mutex);
        writer->waitIdle(guard);
        writer->stop = true;
        writer->changed.notify_all();
    }
    writer->thread.join();
    filesOfThisProgram().remove(writer->path);
}

void RecoveryFile::mirror(RecoveredWork work)
{
    work.kind = kindName;
    work.saved = msClock().dateTime();
    std::lock_guard<std::mutex> guard(writer->mutex);
    writer->pending = std::move(work);
    writer->changed.notify_all();
}

bool RecoveryFile::mirrorNow(RecoveredWork work)
{
    int before = 0;
    {
        std::unique_lock<std::mutex> guard(writer->mutex);
        writer->waitIdle(guard);
        before = writer->written;
    }
    mirror(std::move(work));
    std::unique_lock<std::mutex> guard(writer->mutex);
    writer->waitIdle(guard);
    return writer->written > before;
}

void RecoveryFile::discard()
{
    std::unique_lock<std::mutex> guard(writer->mutex);
    writer->pending.reset();
    writer->waitIdle(guard);
    removeLeftovers(writer->path);
    QFile::remove(writer->path);
}

void RecoveryFile::waitForWriter()
{
    std::unique_lock<std::mutex> guard(writer->mutex);
    writer->waitIdle(guard);
}

QString RecoveryFile::path() const
{
    return writer->path;
}

int RecoveryFile::mirrorsWritten() const
{
    std::lock_guard<std::mutex> guard(writer->mutex);
    return writer->written;
}

bool RecoveryFile::takeFailure()
{
    std::lock_guard<std::mutex> guard(writer->mutex);
    const bool failed = writer->failure;
    writer->failure = false;
    return failed;
}
