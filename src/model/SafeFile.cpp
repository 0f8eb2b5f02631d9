#include "model/SafeFile.h"

#include "model/DialogService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock older than this whose holder cannot be checked (a process of
// another computer) is taken for one left by a crash. The longest change,
// the rewrite of a large archive on a slow network folder, takes seconds.
constexpr int staleLockMs = 30000;
// A lock file without whole contents (its maker died between creating and
// writing it) older than this is left over.
constexpr qint64 unreadableLockMs = 1500;
int patienceMs = 3000;

struct HeldLock {
    std::unique_ptr<QLockFile> file;
    int depth = 0;
};

std::map<QString, HeldLock>& heldLocks()
{
    static std::map<QString, HeldLock> locks;
    return locks;
}

void clearUnreadableLock(const QString& lockPath)
{
    const QFileInfo info(lockPath);
    if (!info.isFile())
        return;
    QLockFile probe(lockPath);
    qint64 pid = 0;
    QString host;
    QString app;
    // A lock file is written in one go, its last line ended: one cut short
    // (its maker killed while writing it) might pass for another computer's.
    QFile file(lockPath);
    const bool whole = file.open(QIODevice::ReadOnly) && file.read(4096).endsWith('\n');
    if (whole && probe.getLockInfo(&pid, &host, &app))
        return;
    const qint64 age = qAbs(info.lastModified().msecsTo(QDateTime::currentDateTime()));
    if (age > unreadableLockMs)
        probe.removeStaleLockFile();
}

QByteArray encodedPath(const QString& path)
{
    return QFile::encodeName(path);
}

bool writeAll(int fd, const char* p, qint64 n, qint64 offset)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, size_t(n), offset);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0)
            return false;
        p += w;
        n -= w;
        offset += w;
    }
    return true;
}

bool readAt(int fd, char* p, qint64 n, qint64 offset)
{
    while (n > 0) {
        const ssize_t r = ::pread(fd, p, size_t(n), offset);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= r;
        offset += r;
    }
    return true;
}

// FNV-1a: the same on every computer, so a journal written on one is checked
// on another.
quint64 fingerprint(const char* p, qint64 n)
{
    quint64 h = 14695981039346656037ULL;
    for (qint64 i = 0; i < n; ++i) {
        h ^= uchar(p[i]);
        h *= 1099511628211ULL;
    }
    return h;
}

constexpr qint64 tailLength = 16;

// What a journal records: the size before the append, the appended length
// and fingerprint (an append found whole is kept), and the last bytes before
// the append (a file that no longer ends with them is not the one the journal
// was written for, and is left alone).
struct Journal {
    qint64 size = 0;
    qint64 length = 0;
    quint64 print = 0;
    QByteArray tail;
};

QByteArray journalText(const Journal& j)
{
    return QByteArray::number(j.size) + ' ' + QByteArray::number(j.length) + ' '
           + QByteArray::number(j.print, 16) + ' ' + (j.tail.isEmpty() ? QByteArray("-") : j.tail.toHex())
           + " fine\n";
}

// A journal is whole (it ends with "fine") or it was never used: the append
// starts only once the journal is on the disk.
bool readJournal(const QString& filePath, Journal& j)
{
    QFile file(journalPath(filePath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> parts = file.read(4096).trimmed().split(' ');
    if (parts.size() != 5 || parts[4] != "fine")
        return false;
    bool ok1 = false;
    bool ok2 = false;
    bool ok3 = false;
    j.size = parts[0].toLongLong(&ok1);
    j.length = parts[1].toLongLong(&ok2);
    j.print = parts[2].toULongLong(&ok3, 16);
    j.tail = parts[3] == "-" ? QByteArray() : QByteArray::fromHex(parts[3]);
    return ok1 && ok2 && ok3 && j.size >= 0 && j.length > 0
           && j.tail.size() == qMin(tailLength, j.size);
}

// The size to cut `data` (the file's first `have` bytes, `at` pointing to
// them) back to, or -1 to keep it as it is.
qint64 cutPoint(const Journal& j, qint64 have, const char* at)
{
    if (have <= j.size)
        return -1;    // nothing of the append is there
    if (QByteArray(at + j.size - j.tail.size(), j.tail.size()) != j.tail)
        return -1;    // not the file the journal was written for
    if (have > j.size + j.length)
        return -1;    // written on since (by a copy that keeps no journal): kept
    if (have == j.size + j.length && fingerprint(at + j.size, j.length) == j.print)
        return -1;    // the append is whole
    return j.size;
}

} // namespace

FileLock::FileLock(const QString& filePath, bool wait)
    : key(QFileInfo(filePath + QStringLiteral(".lock")).absoluteFilePath())
{
    auto& locks = heldLocks();
    const auto found = locks.find(key);
    if (found != locks.end()) {
        ++found->second.depth;
        state = State::Held;
        return;
    }
    if (!QFileInfo(QFileInfo(key).absolutePath()).isDir())
        return;    // no folder: whatever is tried there fails by itself
    auto lock = std::make_unique<QLockFile>(key);
    lock->setStaleLockTime(staleLockMs);
    QElapsedTimer waited;
    waited.start();
    int pause = 2;
    for (;;) {
        clearUnreadableLock(key);
        if (lock->tryLock(0)) {
            locks[key] = HeldLock{std::move(lock), 1};
            state = State::Held;
            return;
        }
        if (lock->error() != QLockFile::LockFailedError || !wait)
            return;    // no lock can be made here (a read-only folder), or not waited for
        if (waited.elapsed() < patienceMs) {
            QThread::msleep(ulong(pause));
            pause = std::min(pause * 2, 50);
            continue;
        }
        const QString name = QFileInfo(filePath).fileName();
        const DialogButton answer = askQuestion(
            QStringLiteral("Attenzione!"),
            QStringLiteral("Il file ") + name
                + QString::fromUtf8(" è in uso su un altro computer o in un'altra copia del "
                                    "programma.\nRiprovare?"),
            YesButton | NoAnswerButton, DialogIcon::Warning);
        if (answer != YesButton) {
            state = State::Refused;
            return;
        }
        waited.restart();
    }
}

FileLock::~FileLock()
{
    if (state != State::Held)
        return;
    auto& locks = heldLocks();
    const auto found = locks.find(key);
    if (found != locks.end() && --found->second.depth == 0) {
        found->second.file->unlock();
        locks.erase(found);
    }
}

void FileLock::setPatienceForTests(int milliseconds)
{
    patienceMs = milliseconds;
}

QString journalPath(const QString& filePath)
{
    return filePath + QStringLiteral(".jrn");
}

bool recoverAppend(const QString& filePath)
{
    const QString path = journalPath(filePath);
    if (!QFileInfo::exists(path))
        return true;
    Journal j;
    if (readJournal(filePath, j)) {
        const int fd = ::open(encodedPath(filePath).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT)
            return false;
        if (fd >= 0) {
            struct stat st {};
            bool ok = ::fstat(fd, &st) == 0;
            if (ok && st.st_size > j.size) {
                // Only the journal's tail and the appended part are read.
                const qint64 from = j.size - j.tail.size();
                QByteArray part(st.st_size - from, Qt::Uninitialized);
                ok = readAt(fd, part.data(), part.size(), from);
                if (ok) {
                    Journal shifted = j;
                    shifted.size = j.tail.size();
                    const qint64 cut = cutPoint(shifted, part.size(), part.constData());
                    if (cut >= 0)
                        ok = ::ftruncate(fd, j.size) == 0 && syncDescriptor(fd);
                }
            }
            ::close(fd);
            if (!ok)
                return false;
        }
    }
    QFile::remove(path);
    return true;
}

bool trimToJournal(const QString& filePath, QByteArray& bytes)
{
    Journal j;
    if (!QFileInfo::exists(journalPath(filePath)) || !readJournal(filePath, j))
        return false;
    const qint64 cut = cutPoint(j, bytes.size(), bytes.constData());
    if (cut >= 0)
        bytes.truncate(cut);
    return true;
}

bool appendJournalled(const QString& filePath, int fd, qint64 size, const QByteArray& bytes)
{
    Journal j;
    j.size = size;
    j.length = bytes.size();
    j.print = fingerprint(bytes.constData(), bytes.size());
    j.tail.resize(qMin(tailLength, size));
    if (!readAt(fd, j.tail.data(), j.tail.size(), size - j.tail.size()))
        return false;
    const QByteArray path = encodedPath(journalPath(filePath));
    const int jfd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (jfd < 0)
        return false;
    const QByteArray text = journalText(j);
    const bool journalled = writeAll(jfd, text.constData(), text.size(), 0) && syncDescriptor(jfd);
    ::close(jfd);
    if (!journalled) {
        ::unlink(path.constData());
        return false;
    }
    if (!writeAll(fd, bytes.constData(), bytes.size(), size) || !syncDescriptor(fd)) {
        // Cut back at once; should even that fail, the journal stays and the
        // next opening of the file does it.
        if (::ftruncate(fd, size) == 0 && syncDescriptor(fd))
            ::unlink(path.constData());
        return false;
    }
    ::unlink(path.constData());
    return true;
}

QString temporaryPathFor(const QString& filePath, const char* stem, const char* extension)
{
    return filePath + QLatin1Char('.') + QLatin1String(stem) + QLatin1Char('-')
           + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('.')
           + QLatin1String(extension);
}

void removeLeftovers(const QString& filePath)
{
    const QFileInfo info(filePath);
    const QString prefix = info.fileName() + QLatin1Char('.');
    const QDir dir = info.absoluteDir();
    const QStringList names =
        dir.entryList({prefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!name.startsWith(prefix))
            continue;    // the mask read a character of the name as a wildcard
        // Besides the temporary files, the ".rmlock" files with which a
        // process takes over a lock left by one that died: the lock is held
        // now, so none of them is in use.
        const QStringView rest = QStringView(name).mid(prefix.size());
        if ((rest.startsWith(u"xprtwqsz-") && rest.endsWith(u".tch"))
            || (rest.startsWith(u"pqwxzswt-") && rest.endsWith(u".xxx"))
            || rest.startsWith(u"lock.rmlock"))
            QFile::remove(dir.filePath(name));
    }
}

bool replaceFileContents(const QString& filePath, const QByteArray& bytes)
{
    QString target = filePath;
    const QFileInfo info(filePath);
    if (info.isSymLink())
        target = info.symLinkTarget();
    if (QFileInfo(target).isDir() || isReadOnlyFile(target))
        return false;
    removeLeftovers(target);
    const QByteArray temp = encodedPath(temporaryPathFor(target, "xprtwqsz", "tch"));
    ::unlink(temp.constData());
    struct stat old {};
    const bool hadFile = ::stat(encodedPath(target).constData(), &old) == 0;
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = !hadFile || ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes.constData(), bytes.size(), 0) && syncDescriptor(fd);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), encodedPath(target).constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    syncFolderOf(target);
    return true;
}

bool isReadOnlyFile(const QString& filePath)
{
    struct stat st {};
    const QByteArray path = encodedPath(filePath);
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.constData(), W_OK) != 0;
}

bool syncDescriptor(int fd)
{
    return ::fsync(fd) == 0;
}

void syncFolderOf(const QString& filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    const int fd = ::open(encodedPath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
