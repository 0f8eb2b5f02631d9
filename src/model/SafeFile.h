#pragma once

#include <QByteArray>
#include <QString>

// Data files shared by several copies of the program (two computers of a
// school on one network folder, or the program started twice).
//
// FileLock: every read-modify-write of a data file holds the file's lock,
// "<file>.lock" beside it (QLockFile; a lock left by a process that died is
// taken over). Locks are counted per process: an operation that holds one may
// call others that take the same lock. A lock that cannot be had within a few
// seconds asks "Il file ... è in uso ... Riprovare?" (Sì / No) through the
// dialog service; No gives up, and the caller writes nothing.
//
// Append journal: before bytes are appended to a file, "<file>.jrn" records
// its size (written and flushed to the disk first); it goes once the append is
// on the disk. Whoever opens the file under its lock and finds a journal cuts
// the file back to that size, so an append is either whole or not there.
//
// Temporary files of a file are named after it and after the process
// ("<file>.xprtwqsz-<pid>.tch"); left over by a process that died, they are
// removed by the next change of the same file.

class FileLock
{
public:
    // Takes the lock of `filePath`, asking when it stays busy; with `wait`
    // false it is only tried once (held() tells whether it was had).
    explicit FileLock(const QString& filePath, bool wait = true);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // False when the user gave up on a busy lock: nothing may be changed.
    // True when held, and also where no lock can be made (a folder nobody may
    // write to, or one that does not exist): the operation then fails or
    // succeeds on its own.
    bool ok() const { return state != State::Refused; }
    bool held() const { return state == State::Held; }

    // Seconds waited before asking (tests shorten it).
    static void setPatienceForTests(int milliseconds);

private:
    enum class State { Held, Unavailable, Refused };
    QString key;
    State state = State::Unavailable;
};

// Path of the append journal of `filePath`.
QString journalPath(const QString& filePath);

// With the file's lock held: when a journal is there, cuts the file back to
// the size it records (when the file still starts as it did then) and
// removes the journal. False when the file could not be cut back (the
// journal stays).
bool recoverAppend(const QString& filePath);

// For a reader without the lock: when a journal is there and `bytes` (the
// file as read) hold an append that is not complete, they are cut back to the
// size the journal records. True when a journal was there.
bool trimToJournal(const QString& filePath, QByteArray& bytes);

// Appends `bytes` at the end of the open file (descriptor `fd`, current size
// `size`) under the journal: journal written and flushed, bytes written and
// flushed, journal removed. On failure the file is cut back to `size` and
// false returned.
bool appendJournalled(const QString& filePath, int fd, qint64 size, const QByteArray& bytes);

// A temporary name beside `filePath` for this process: "<file>.<stem>-<pid>.<ext>".
QString temporaryPathFor(const QString& filePath, const char* stem, const char* extension);
// With the file's lock held: removes the temporary files of `filePath` left
// by processes that died (every rewrite of the file does it first).
void removeLeftovers(const QString& filePath);

// Writes `bytes` to a temporary file beside `filePath`, flushes it to the
// disk and renames it over `filePath` (a link is followed to its target).
// False, and the old file untouched, when any step fails (a full disk, a
// failed flush) or the file is read-only. The caller holds the lock.
bool replaceFileContents(const QString& filePath, const QByteArray& bytes);

// True when the file is there and marked read-only (no write permission bit,
// or not writable by this user): a change is then refused before anything
// is done.
bool isReadOnlyFile(const QString& filePath);

// Flushes a file or a folder to the disk.
bool syncDescriptor(int fd);
void syncFolderOf(const QString& filePath);
