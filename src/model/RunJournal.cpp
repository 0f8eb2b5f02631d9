#include "model/RunJournal.h"

#include "model/CheckedLines.h"
#include "model/DialogService.h"
#include "model/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

const char* const journalExtension = "prova";
const QByteArray kindValue = "prova in corso";
constexpr int formatVersion = 1;
// The lock of a journal is refreshed this often, well within the time after
// which another computer takes a lock for one left by a crash.
constexpr int freshnessMs = 10000;

QSet<QString>& pathsWrittenHere()
{
    static QSet<QString> paths;
    return paths;
}

QString absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QByteArray headerBytes(const RunJournalStart& s)
{
    QByteArray out = checkedLine({{"salienta", QString::fromLatin1(kindValue)},
                                  {"versione", QString::number(formatVersion)}});
    CheckedFields fields{
        {"inizio", s.started.toString(Qt::ISODateWithMs)},
        {"alunno", s.pupilName},
        {"profilo", s.profile},
        {"esercizio", s.exerciseName},
        {"compito", s.exerciseTask},
        {"visualizzazione", QString::number(s.displayMode)},
        {"feedback", QString::number(s.feedbackMode)},
        {"tempo", QString::number(s.maxSentenceTime)},
        {"soglia", QString::number(s.feedbackThreshold, 'g', 17)},
        {"azzera", flag(s.resetAnswersOnFeedback)},
        {"sintesi", flag(s.useSpeech)},
        {"scansione", flag(s.scanningAccess)},
        {"dispositivo", QString::number(s.accessDevice)},
        {"porta", s.serialPort},
        {"font", s.font},
        {"righe", QString::number(s.exerciseText.size())},
    };
    for (const QString& line : s.pupilInfo)
        fields.append({"info", line});
    out += checkedLine(fields);
    for (const QString& line : s.exerciseText)
        out += checkedLine({{"t", line}});
    out += checkedLine({{"intestazione", QString::number(fnv1a(out), 16)}});
    return out;
}

QByteArray recordBytes(int number, const RunJournalState& s, qsizetype fromEntry)
{
    CheckedFields fields{
        {"n", QString::number(number)},
        {"corrente", QString::number(s.currentSentence)},
        {"mostrata", QString::number(s.shownSentence)},
        {"prima", flag(s.firstPartCheck)},
        {"seconda", flag(s.secondPartCheck)},
        {"salto", flag(s.jumpPending)},
        {"da", QString::number(s.jumpFrom)},
        {"dopo", QString::number(s.jumpDelay)},
        {"errore", QString::number(s.lastStepError)},
        {"estrazioni", QString::number(s.randomDraws)},
        {"tempo", QString::number(s.timeUsedMs)},
        {"fine", flag(s.ended)},
        {"font", s.font},
    };
    const qsizetype entries =
        std::min({s.historyFirst.size(), s.historySecond.size(), s.historyThird.size()});
    // Each entry with its answer's time (empty for a reset).
    for (qsizetype i = fromEntry; i < entries; ++i)
        fields.append({"s", s.historyFirst.at(i) + QLatin1Char('|') + s.historySecond.at(i)
                                + QLatin1Char('|') + s.historyThird.at(i) + QLatin1Char('|')
                                + s.historyTime.value(i)});
    return checkedLine(fields);
}

bool readStart(const CheckedFields& f, RunJournalStart& s, int& textLines)
{
    bool ok = true;
    s.started = QDateTime::fromString(fieldValue(f, "inizio"), Qt::ISODateWithMs);
    s.pupilName = fieldValue(f, "alunno");
    s.pupilInfo = fieldValues(f, "info");
    s.profile = fieldValue(f, "profilo");
    s.exerciseName = fieldValue(f, "esercizio");
    s.exerciseTask = fieldValue(f, "compito");
    s.displayMode = intField(f, "visualizzazione", -1, ok);
    s.feedbackMode = intField(f, "feedback", -1, ok);
    s.maxSentenceTime = intField(f, "tempo", 7, ok);
    bool read = false;
    s.feedbackThreshold = fieldValue(f, "soglia").toDouble(&read);
    ok = ok && read;
    s.resetAnswersOnFeedback = intField(f, "azzera", 0, ok) != 0;
    s.useSpeech = intField(f, "sintesi", 0, ok) != 0;
    s.scanningAccess = intField(f, "scansione", 0, ok) != 0;
    s.accessDevice = intField(f, "dispositivo", 0, ok);
    s.serialPort = fieldValue(f, "porta");
    s.font = fieldValue(f, "font");
    textLines = intField(f, "righe", -1, ok);
    return ok && s.started.isValid() && !s.pupilName.isEmpty() && !s.exerciseName.isEmpty()
           && s.displayMode >= 0 && s.displayMode <= 1 && s.feedbackMode >= 0
           && s.feedbackMode <= 2 && s.accessDevice >= 0 && s.accessDevice <= 5 && textLines >= 0;
}

bool readRecord(const CheckedFields& f, int number, RunJournalState& s)
{
    bool ok = true;
    if (intField(f, "n", -1, ok) != number)
        return false;
    RunJournalState next = s;
    next.currentSentence = intField(f, "corrente", 0, ok);
    next.shownSentence = intField(f, "mostrata", 0, ok);
    next.firstPartCheck = intField(f, "prima", 1, ok) != 0;
    next.secondPartCheck = intField(f, "seconda", 1, ok) != 0;
    next.jumpPending = intField(f, "salto", 0, ok) != 0;
    next.jumpFrom = intField(f, "da", -1, ok);
    next.jumpDelay = intField(f, "dopo", INT_MAX, ok);
    next.lastStepError = intField(f, "errore", 0, ok);
    next.randomDraws = intField(f, "estrazioni", 0, ok);
    next.timeUsedMs = longField(f, "tempo", 0, ok);
    next.ended = intField(f, "fine", 0, ok) != 0;
    next.font = fieldValue(f, "font", s.font);
    const QStringList entries = fieldValues(f, "s");
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(QLatin1Char('|'));
        if (parts.size() != 3 && parts.size() != 4)
            return false;
        next.historyFirst << parts.at(0);
        next.historySecond << parts.at(1);
        next.historyThird << parts.at(2);
        next.historyTime << parts.value(3);
    }
    if (!ok)
        return false;
    s = next;
    return true;
}

QString lostAnswersText(int kept)
{
    if (kept == 0)
        return QString::fromUtf8("Il file della prova è danneggiato: nessuna delle risposte date "
                                 "si può recuperare.");
    if (kept == 1)
        return QString::fromUtf8("Il file della prova è danneggiato: si può recuperare solo la "
                                 "prima risposta data; le altre sono andate perse.");
    return QString::fromUtf8("Il file della prova è danneggiato: si possono recuperare solo le "
                             "prime %1 risposte date; le altre sono andate perse.")
        .arg(kept);
}

} // namespace

int InterruptedRun::answers() const
{
    return int(std::count_if(state.historyFirst.cbegin(), state.historyFirst.cend(),
                             [](const QString& first) { return first != QLatin1String("-1"); }));
}

QString runJournalFolder(const QString& dataRoot)
{
    return QDir(dataRoot).filePath(QStringLiteral("risult/in-corso")) + QLatin1Char('/');
}

InterruptedRun readRunJournal(const QString& path)
{
    InterruptedRun run;
    run.path = path;
    recoverAppend(path);
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    QByteArray bytes;
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || !file.isOpen()) {
        run.damage = QStringLiteral("Il file ") + name + QStringLiteral(" non si può leggere.");
        return run;
    }

    // The start: kind, fields, text lines and the line that closes it.
    qsizetype at = 0;
    const auto nextLine = [&](QByteArray& line) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return false;
        line = bytes.mid(at, end - at);
        at = end + 1;
        return true;
    };
    const QString unreadable =
        QStringLiteral("Il file ") + name + QString::fromUtf8(" è danneggiato: non vi si legge nessuna prova.");
    QByteArray line;
    CheckedFields fields;
    int textLines = 0;
    if (!nextLine(line) || !readCheckedLine(line, fields) || fieldValue(fields, "salienta") != QLatin1String(kindValue)
        || fieldValue(fields, "versione") != QString::number(formatVersion) || !nextLine(line)
        || !readCheckedLine(line, fields) || !readStart(fields, run.start, textLines)) {
        run.damage = unreadable;
        return run;
    }
    run.start.exerciseText.reserve(textLines);
    for (int i = 0; i < textLines; ++i) {
        if (!nextLine(line) || !readCheckedLine(line, fields) || fields.size() != 1
            || fields.first().first != "t") {
            run.damage = unreadable;
            return run;
        }
        run.start.exerciseText << fields.first().second;
    }
    const QByteArray headerPart = bytes.left(at);
    if (!nextLine(line) || !readCheckedLine(line, fields)
        || fieldValue(fields, "intestazione") != QString::number(fnv1a(headerPart), 16)) {
        run.damage = unreadable;
        return run;
    }
    run.readable = true;
    run.state.font = run.start.font;
    run.wholeBytes = at;

    // The records, as far as they are whole and in order.
    while (at < bytes.size()) {
        if (!nextLine(line) || !readCheckedLine(line, fields)
            || !readRecord(fields, run.records + 1, run.state)) {
            run.damage = lostAnswersText(run.answers());
            break;
        }
        ++run.records;
        run.wholeBytes = at;
    }
    return run;
}

QList<InterruptedRun> interruptedRuns(const QString& folder)
{
    QList<InterruptedRun> runs;
    const QDir dir(folder);
    // Every journal named by a file of the folder: the journal itself, or
    // what a writer that died left of it (its lock, a temporary file, the
    // append journal) when it died before the journal was first written.
    const QString suffix = QLatin1Char('.') + QLatin1String(journalExtension);
    QStringList names;
    const QStringList files = dir.entryList({QStringLiteral("*") + suffix + QStringLiteral("*")},
                                            QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& file : files) {
        const qsizetype at = file.indexOf(suffix);
        const QString name = file.left(at + suffix.size());
        if (at > 0 && !names.contains(name))
            names << name;
    }
    for (const QString& name : std::as_const(names)) {
        const QString path = absolute(dir.filePath(name));
        if (RunJournal::writtenHere(path))
            continue;
        const FileLock lock(path, false);
        if (!lock.held())
            continue;    // written by a window now, here or on another computer
        removeLeftovers(path);
        if (!QFileInfo::exists(path)) {
            QFile::remove(journalPath(path));
            continue;
        }
        InterruptedRun run = readRunJournal(path);
        if (run.readable && run.records == 0 && run.damage.isEmpty()) {
            // Stopped before the first answer: nothing to go on with.
            QFile::remove(path);
            QFile::remove(journalPath(path));
            continue;
        }
        runs << run;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const InterruptedRun& a, const InterruptedRun& b) {
        return a.readable && (!b.readable || a.start.started < b.start.started);
    });
    return runs;
}

bool removeRunJournal(const QString& path)
{
    if (RunJournal::writtenHere(path))
        return false;
    const FileLock lock(path, false);
    if (!lock.held())
        return false;
    QFile::remove(journalPath(path));
    removeLeftovers(path);
    const bool removed = !QFileInfo::exists(path) || QFile::remove(path);
    if (removed)
        syncFolderOf(path);
    return removed;
}

// ---------------------------------------------------------------------------

struct RunJournal::Writer {
    // Set before the thread starts, then the thread's own.
    QString file;
    QByteArray header;
    qsizetype historyWritten = 0;    // history entries already in the file
    int nextNumber = 1;              // number of the next record
    bool rewrite = true;             // the next write replaces the whole file
    std::function<void()> failedNow; // tells the window's thread

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<RunJournalState> pending;
    bool headerPending = false;
    bool busy = false;
    bool stop = false;
    bool failure = false;
    int written = 0;
    std::thread thread;

    bool writeWhole(const QByteArray& recordBytes)
    {
        QFile::remove(journalPath(file));
        return replaceFileContents(file, header + recordBytes);
    }

    bool append(const QByteArray& recordBytes)
    {
        if (QFileInfo::exists(journalPath(file)) && !recoverAppend(file))
            return false;
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st {};
        bool ok = ::fstat(fd, &st) == 0;
        ok = ok && appendJournalled(file, fd, st.st_size, recordBytes);
        ok = (::close(fd) == 0) && ok;
        return ok;
    }

    bool write(const RunJournalState& state)
    {
        const bool ok = rewrite ? writeWhole(recordBytes(1, state, 0))
                                : append(recordBytes(nextNumber, state, historyWritten));
        if (!ok) {
            // Whatever the failed write left is replaced by the next one.
            rewrite = true;
            return false;
        }
        historyWritten = std::min({state.historyFirst.size(), state.historySecond.size(),
                                   state.historyThird.size()});
        nextNumber = rewrite ? 2 : nextNumber + 1;
        rewrite = false;
        return true;
    }

    void run()
    {
        std::unique_lock<std::mutex> guard(mutex);
        for (;;) {
            changed.wait(guard, [this] { return stop || pending.has_value() || headerPending; });
            if (!pending && !headerPending)
                return;
            std::optional<RunJournalState> state = std::move(pending);
            pending.reset();
            const bool headerOnly = !state && headerPending;
            headerPending = false;
            busy = true;
            guard.unlock();
            bool ok = true;
            if (state) {
                ok = write(*state);
            } else if (headerOnly) {
                ok = writeWhole(QByteArray());
                rewrite = !ok;
            }
            guard.lock();
            busy = false;
            if (ok && state)
                ++written;
            if (!ok) {
                failure = true;
                if (failedNow)
                    failedNow();
            }
            changed.notify_all();
        }
    }

    void waitIdle(std::unique_lock<std::mutex>& guard)
    {
        changed.wait(guard, [this] { return !busy && !pending && !headerPending; });
    }
};

RunJournal::RunJournal() : writer(std::make_unique<Writer>()) {}

RunJournal::RunJournal(const QString& folder, const RunJournalStart& start)
    : writer(std::make_unique<Writer>())
{
    QDir().mkpath(folder);
    // A name of its own: the start, and a number that no other computer picks.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            start.started.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('-')
            + QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0')
            + QLatin1Char('.') + QLatin1String(journalExtension);
        writer->file = absolute(QDir(folder).filePath(name));
        if (!QFileInfo::exists(writer->file))
            break;
    }
    lock = std::make_unique<FileLock>(writer->file, false);
    writer->header = headerBytes(start);
    writer->headerPending = true;
    begin();
}

std::unique_ptr<RunJournal> RunJournal::takeOver(const QString& path, InterruptedRun& read)
{
    const QString file = absolute(path);
    if (writtenHere(file))
        return nullptr;
    auto lock = std::make_unique<FileLock>(file, false);
    if (!lock->held())
        return nullptr;
    read = readRunJournal(file);
    if (!read.readable)
        return nullptr;
    std::unique_ptr<RunJournal> journal(new RunJournal);
    Writer& w = *journal->writer;
    w.file = file;
    w.header = headerBytes(read.start);
    // A file that is whole goes on by appends; one with a damaged end is
    // written again, without it, at the next record.
    w.rewrite = QFileInfo(file).size() != read.wholeBytes;
    w.historyWritten = w.rewrite ? 0 : read.state.historyFirst.size();
    w.nextNumber = w.rewrite ? 1 : read.records + 1;
    journal->lock = std::move(lock);
    journal->begin();
    return journal;
}

void RunJournal::begin()
{
    pathsWrittenHere().insert(writer->file);
    freshness = std::make_unique<QTimer>();
    freshness->setInterval(freshnessMs);
    QTimer* context = freshness.get();
    const QString lockFile = writer->file + QStringLiteral(".lock");
    const bool held = lock && lock->held();
    const auto refresh = [lockFile, held] {
        if (held)
            ::utime(QFile::encodeName(lockFile).constData(), nullptr);
    };
    QObject::connect(context, &QTimer::timeout, context, refresh);
    freshness->start();
    // A failure is told on the window's thread, once.
    writer->failedNow = [this, context] {
        QMetaObject::invokeMethod(context, [this] { report(); }, Qt::QueuedConnection);
    };
    writer->thread = std::thread([w = writer.get()] { w->run(); });
}

RunJournal::~RunJournal()
{
    {
        std::unique_lock<std::mutex> guard(writer->mutex);
        writer->waitIdle(guard);
        writer->stop = true;
        writer->changed.notify_all();
    }
    if (writer->thread.joinable())
        writer->thread.join();
    pathsWrittenHere().remove(writer->file);
}

bool RunJournal::writtenHere(const QString& path)
{
    return pathsWrittenHere().contains(absolute(path));
}

void RunJournal::record(const RunJournalState& state)
{
    if (lock && !lock->ok())
        return;
    std::lock_guard<std::mutex> guard(writer->mutex);
    writer->pending = state;
    writer->changed.notify_all();
}

void RunJournal::waitForWriter()
{
    std::unique_lock<std::mutex> guard(writer->mutex);
    writer->waitIdle(guard);
}

QString RunJournal::path() const
{
    return writer->file;
}

bool RunJournal::failed() const
{
    std::lock_guard<std::mutex> guard(writer->mutex);
    return writer->failure;
}

int RunJournal::recordsWritten() const
{
    std::lock_guard<std::mutex> guard(writer->mutex);
    return writer->written;
}

void RunJournal::remove()
{
    if (freshness)
        freshness->stop();
    {
        std::unique_lock<std::mutex> guard(writer->mutex);
        writer->pending.reset();
        writer->headerPending = false;
        writer->waitIdle(guard);
        writer->rewrite = true;
    }
    const QString file = writer->file;
    QFile::remove(journalPath(file));
    removeLeftovers(file);
    if (QFile::remove(file) || !QFileInfo::exists(file))
        syncFolderOf(file);
    lock.reset();
    pathsWrittenHere().remove(file);
}

void RunJournal::report()
{
    if (reported)
        return;
    reported = true;
    showMessage(QStringLiteral("Attenzione!"),
                QString::fromUtf8("Non si può scrivere il file della prova in corso (")
                    + QFileInfo(writer->file).fileName()
                    + QString::fromUtf8("). La prova continua, ma se il programma si interrompe "
                                        "le risposte date da ora non si potranno riprendere."),
                DialogIcon::Warning);
}
