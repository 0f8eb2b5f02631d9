#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <climits>
#include <memory>

class FileLock;
class QTimer;

// The journal of a run in progress: one file per run in the folder
// "risult/in-corso/" of the data root, so that a run cut short by a crash, a
// power cut or a closed laptop can go on where it stopped. It holds what the
// run started with (written when the run starts) and, after every answer, a
// record of the history entries added since the last record and of where the
// run stands. Records are appended under the append journal of
// model/SafeFile.h and flushed to the disk, so the file always ends with a
// whole record; every line carries a checksum (model/CheckedLines.h), so a
// file damaged otherwise is read as far as it is whole.
//
// The run window that writes a journal holds its lock (model/SafeFile.h)
// from the first write to the removal, and keeps the lock fresh, so a copy
// of the program on another computer of the lab never takes it for the
// journal of an interrupted run: one window writes one journal.

// What a run started with.
struct RunJournalStart {
    QDateTime started;              // local date and time of the start
    QString pupilName;              // upper case
    QStringList pupilInfo;
    // The pupil's profile (its file's contents, in base64); empty for a
    // journal written before profiles, read as the defaults.
    QString profile;
    QString exerciseName;           // long name
    // The exercise as read when the run started: its "[testo]" lines with the
    // teacher's levels and its task (lines joined by CR LF). A run resumes on
    // this text, and is offered only for deletion or storing when the
    // exercise file no longer holds it.
    QStringList exerciseText;
    QString exerciseTask;
    int displayMode = 0;            // DisplayMode
    int feedbackMode = 0;           // FeedbackMode
    // The general options in force.
    int maxSentenceTime = 7;
    double feedbackThreshold = 0.4;
    bool resetAnswersOnFeedback = false;
    bool useSpeech = false;
    // The pupil's access: scanning with the device (AccessDevice) and, for a
    // serial device, the port's device path.
    bool scanningAccess = false;
    int accessDevice = 0;
    QString serialPort;
    QString font;                   // the text font (QFont::toString)
};

// Where a run stands after an answer.
struct RunJournalState {
    // The whole history so far (the parallel lists of TesercizioSvolto).
    QStringList historyFirst;
    QStringList historySecond;
    QStringList historyThird;
    QStringList historyTime;
    int currentSentence = 0;        // whole text: the framed sentence
    int shownSentence = 0;          // one sentence at a time: the sentence on screen
    bool firstPartCheck = true;
    bool secondPartCheck = true;
    bool jumpPending = false;
    int jumpFrom = -1;
    int jumpDelay = INT_MAX;
    int lastStepError = 0;
    int randomDraws = 0;            // random numbers the run has drawn
    qint64 timeUsedMs = 0;          // time spent in the run
    // The run reached its end: what is left is the judgement and the save.
    bool ended = false;
    QString font;                   // the text font now
};

// A journal read back.
struct InterruptedRun {
    QString path;
    // The start could be read: the run can be offered. When false, the file
    // can only be deleted.
    bool readable = false;
    RunJournalStart start;
    RunJournalState state;          // after the last record that could be read
    int records = 0;                // whole records read
    qint64 wholeBytes = 0;          // bytes of the start and of the whole records
    // What could not be read back, said plainly in Italian; empty when the
    // file is whole.
    QString damage;
    // Answers given (step entries of the history).
    int answers() const;
};

// The folder of the journals under a data root ("risult/in-corso/").
QString runJournalFolder(const QString& dataRoot);

// Reads a journal. The caller holds its lock; an append cut short by a crash
// is cut back first.
InterruptedRun readRunJournal(const QString& path);

// The journals of the folder whose runs are not being written by anyone (their
// lock can be had), oldest start first. Journals without any answer (the
// program stopped before the first one) are removed on the way.
QList<InterruptedRun> interruptedRuns(const QString& folder);

// Deletes a journal under its lock; false when it is in use or cannot be deleted.
bool removeRunJournal(const QString& path);

// The journal of one run, written by its run window. The writing is done on
// a thread of its own, in order, so that an answer never waits for the disk:
// each record is on the disk a few milliseconds after its answer. A record
// asked for while another is being written waits; of several waiting, only
// the newest is written (it carries every history entry not yet written).
class RunJournal
{
public:
    // The journal of a new run in `folder` (created when missing), under a
    // name of its own; the start is written at once.
    RunJournal(const QString& folder, const RunJournalStart& start);
    // Takes over the journal of an interrupted run, to go on writing it. Null
    // when another window (here or on another computer) is writing it;
    // `read` receives the run as read under the lock.
    static std::unique_ptr<RunJournal> takeOver(const QString& path, InterruptedRun& read);
    // Waits for the writing under way; the file stays.
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Records where the run stands after an answer. A write that fails is
    // reported once (the run goes on); the next record tries again, with
    // every entry not yet written.
    void record(const RunJournalState& state);
    // The run was stored or given up: the file goes.
    void remove();
    // Waits until every record asked for is on the disk (or failed).
    void waitForWriter();

    QString path() const;
    // A write has failed.
    bool failed() const;
    // Records written since the start or the takeover.
    int recordsWritten() const;

    // The journals being written by this program, which are never offered
    // as interrupted.
    static bool writtenHere(const QString& path);

private:
    struct Writer;
    RunJournal();
    void begin();
    void report();

    std::unique_ptr<Writer> writer;
    std::unique_ptr<FileLock> lock;
    std::unique_ptr<QTimer> freshness;
    bool reported = false;
};
