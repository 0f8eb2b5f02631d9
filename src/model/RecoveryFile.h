#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class FileLock;

// Recovery of unsaved work. While the preparation window holds a changed
// exercise, or the text editor a changed text, the work is mirrored (at most
// a couple of seconds after each change) to a recovery file of the user's own
// (never the shared data folders), so that a crash loses nothing; the file
// goes when the work is saved or given up. Each window writes a file of its
// own and holds its lock while it lives, so the work of a window still open
// (another copy of the program) is never offered.
//
// A recovery file is replaced whole at every mirror (model/SafeFile.h), and
// every line of it carries a checksum (model/CheckedLines.h): one damaged
// otherwise is read as far as it is whole.

// What a recovery file holds.
struct RecoveredWork {
    QString kind;                   // recoveryExercise or recoveryText
    QDateTime saved;                // local date and time of the mirror
    // The exercise's long name or the text's path; empty for new work.
    QString name;
    QString task;                   // an exercise's task (CR LF between lines)
    int currentSentence = 0;        // an exercise's current sentence
    QStringList lines;              // an exercise's marked lines, or a text's lines

    // Read back:
    QString path;
    bool readable = false;          // something can be offered
    // What could not be read back, said plainly; empty when the file is whole.
    QString damage;
};

inline const QString recoveryExercise = QStringLiteral("esercizio");
inline const QString recoveryText = QStringLiteral("testo");

// The user's own folder of recovery files: "recupero/" in the program's data
// location (QStandardPaths::AppDataLocation).
QString recoveryFolder();

QByteArray recoveryBytes(const RecoveredWork& work);
RecoveredWork readRecoveryFile(const QString& path);

// The recovery files of `kind` in `folder` whose windows are gone, newest first.
QList<RecoveredWork> abandonedWork(const QString& folder, const QString& kind);
// Deletes a recovery file that no window holds.
bool removeRecoveryFile(const QString& path);

// The recovery file of one window. The mirror is written on a thread of its
// own, so that the window never waits for the disk; a newer mirror asked for
// while one is being written replaces the one waiting.
class RecoveryFile
{
public:
    RecoveryFile(const QString& folder, const QString& kind);
    // Waits for a write under way; the file stays (the window lost nothing
    // only if it was saved or discarded before).
    ~RecoveryFile();
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    // Mirrors `work` (kind and time are filled in here).
    void mirror(RecoveredWork work);
    // The same, written before returning; false when the write failed.
    bool mirrorNow(RecoveredWork work);
    // The work was saved or given up: waits for the writer, removes the file.
    void discard();
    // Waits until every mirror asked for is on the disk (or failed).
    void waitForWriter();

    QString path() const;
    // Mirrors written to the disk so far.
    int mirrorsWritten() const;
    // A mirror could not be written (not yet said to the user); clears the note.
    bool takeFailure();

private:
    struct Writer;
    std::unique_ptr<Writer> writer;
    std::unique_ptr<FileLock> lock;
    QString kindName;
};
