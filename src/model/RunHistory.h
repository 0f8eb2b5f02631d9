#pragma once

#include "model/Funzioni.h"
#include "model/ResultsFile.h"
#include "model/Uevidenz.h"

#include <QLatin1String>
#include <QString>
#include <QStringView>
#include <QVector>
#include <array>

// The reading of a stored run's sections and history, the same for the
// decoded lines of the results window and for the file's bytes read by the
// summaries of many runs at once (a pupil's progress).

// The section a line of bytes opens, read as runSectionOf reads a line of text.
RunSection runSectionOf(QLatin1String line);

// One line of "[storia]". A step: sentence, answer code, message, time. A
// reset ("-1" first): first and last sentence reset.
struct HistoryEntry {
    bool step = true;
    bool numbersOk = false;     // step: the sentence is a number; reset: both bounds are
    int sentence = 0;
    ImportanceLevel level = daDeterminare;   // daDeterminare for a code other than "0", "1", "2"
    qint64 first = 0;           // reset: the range
    qint64 last = 0;
    qint64 timeMs = -1;         // step: the answer's time, -1 when none or not a time
};

// The first four fields of a history line as a tokenizer at "|" cuts them
// (empty fields skipped), each without spaces around it; missing ones empty.
// Returns how many there are.
int historyFields(QStringView line, std::array<QStringView, 4>& fields);
int historyFields(QLatin1String line, std::array<QLatin1String, 4>& fields);
HistoryEntry historyEntry(QStringView first, QStringView second, QStringView third,
                          QStringView fourth);
HistoryEntry historyEntry(QLatin1String first, QLatin1String second, QLatin1String third,
                          QLatin1String fourth);

// The level of a history answer code ("0", "1", "2"); daDeterminare for any other text.
ImportanceLevel levelOfAnswerCode(QStringView code);
// The time an answer took, in milliseconds, from a history line's fourth
// field; -1 when there is none or it is not a time (not a whole number of
// milliseconds, negative, or longer than a day).
qint64 answerTimeMs(QStringView field);

// The levels of `sentences` sentences after the step `item` (0-based; -2 or
// the number of steps: the final state): every sentence starts "non
// importante", then steps and resets apply in order up to that step. Entries
// naming sentences that do not exist, or levels outside the three codes,
// change nothing.
QVector<ImportanceLevel> replayEntries(const QVector<HistoryEntry>& entries, int sentences, int item);

// The mean error per sentence of the final state (0 with no sentences):
// |given - expected| summed over the sentences where both are decided, over
// all sentences. `expected` holds the tags of "[testo]"; when its last tag
// line ends the text, that sentence reads "non importante" on both sides, as
// the text model reads it.
double finalMeanError(QVector<ImportanceLevel> expected, bool lastTagEndsText,
                      const QVector<HistoryEntry>& entries);

// The times of a run's answers: the total and, for each level given
// (nonImportante, importante, moltoImportante), their sum and number.
struct AnswerTimes {
    int steps = 0;             // step records
    int timed = 0;             // steps with a time
    qint64 total = 0;          // sum of the times there are
    std::array<qint64, 3> levelTotal{};
    std::array<int, 3> levelCount{};

    // The total, -1 unless every step has a time.
    qint64 knownTotal() const { return steps > 0 && timed == steps ? total : -1; }
    // The mean time of the answers given `level` (1..3), -1 without any.
    qint64 levelMean(int level) const;
    // The mean time per answer, -1 without any time.
    qint64 mean() const { return timed > 0 ? total / timed : -1; }
};
AnswerTimes answerTimesOf(const QVector<HistoryEntry>& entries);

// The history of a stored run read as entries, and the times of its answers.
QVector<HistoryEntry> historyEntries(const StoredRun& run);
AnswerTimes answerTimes(const StoredRun& run);

// What a pupil's progress needs of one stored run, read from its bytes.
struct RunSummary {
    QString exerciseName;   // "NOME ESERCIZIO=" of "[informazioni]"
    QString date;           // "DATA=" of "[informazioni]"
    double meanError = 0;
    AnswerTimes times;
};
RunSummary summariseRun(const BlockBytes& block);
