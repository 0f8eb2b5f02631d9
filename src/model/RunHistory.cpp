#include "model/RunHistory.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>

namespace {

// The first `c` in `text` from `from` on, -1 when there is none (bytes are
// searched with memchr).
qsizetype indexOfChar(QStringView text, char c, qsizetype from = 0)
{
    return text.indexOf(QLatin1Char(c), from);
}

qsizetype indexOfChar(QLatin1String text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    const void* hit = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return hit ? qsizetype(static_cast<const char*>(hit) - text.data()) : -1;
}

template <typename View>
View withoutSpaces(View text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

template <typename View>
RunSection sectionOf(View line)
{
    const qsizetype open = indexOfChar(line, '[');
    const qsizetype close = indexOfChar(line, ']');
    if (open < 0 || close < 0 || close < open)
        return RunSection::None;
    const View word = withoutSpaces(line.mid(open + 1, close - open - 1));
    if (word == QLatin1String("informazioni"))
        return RunSection::Informazioni;
    if (word == QLatin1String("testo"))
        return RunSection::Testo;
    if (word == QLatin1String("storia"))
        return RunSection::Storia;
    return RunSection::None;
}

template <typename View>
int fieldsOf(View line, std::array<View, 4>& fields)
{
    int field = 0;
    qsizetype from = 0;
    while (field < 4 && from <= line.size()) {
        qsizetype at = indexOfChar(line, '|', from);
        if (at < 0)
            at = line.size();
        if (at > from)
            fields[field++] = withoutSpaces(line.mid(from, at - from));
        from = at + 1;
    }
    const int found = field;
    for (; field < 4; ++field)
        fields[field] = View();
    return found;
}

QString asString(QStringView text)
{
    return text.toString();
}

QString asString(QLatin1String text)
{
    return QString(text);
}

// A whole number as the text conversions read it: digits with an optional
// minus read here, anything else by QString's own conversion.
template <typename View>
bool numberOf(View text, qint64& value, bool asInt)
{
    const qsizetype size = text.size();
    const bool negative = size > 0 && text.at(0) == QLatin1Char('-');
    const qsizetype digits = size - (negative ? 1 : 0);
    bool plain = digits > 0 && digits <= 9;
    for (qsizetype i = negative ? 1 : 0; plain && i < size; ++i)
        plain = text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
    if (plain) {
        qint64 n = 0;
        for (qsizetype i = negative ? 1 : 0; i < size; ++i)
            n = n * 10 + (text.at(i).unicode() - '0');
        value = negative ? -n : n;
        return true;
    }
    bool ok = false;
    const QString copy = asString(text);
    value = asInt ? qint64(copy.toInt(&ok)) : copy.toLongLong(&ok);
    return ok;
}

template <typename View>
ImportanceLevel codeLevel(View code)
{
    if (code.size() != 1)
        return daDeterminare;
    switch (code.at(0).unicode()) {
    case '0':
        return nonImportante;
    case '1':
        return importante;
    case '2':
        return moltoImportante;
    default:
        return daDeterminare;
    }
}

template <typename View>
qint64 timeOf(View field)
{
    constexpr qint64 aDay = 24LL * 60 * 60 * 1000;
    if (field.isEmpty() || field.size() > 12)
        return -1;
    qint64 ms = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        ms = ms * 10 + (c.unicode() - '0');
    }
    return ms <= aDay ? ms : -1;
}

template <typename View>
HistoryEntry entryOf(View first, View second, View third, View fourth)
{
    HistoryEntry entry;
    entry.step = !(first == QLatin1String("-1"));
    if (entry.step) {
        qint64 sentence = 0;
        entry.numbersOk = numberOf(first, sentence, true);
        entry.sentence = int(sentence);
        entry.level = codeLevel(second);
        entry.timeMs = timeOf(fourth);
    } else {
        const bool firstOk = numberOf(second, entry.first, false);
        const bool lastOk = numberOf(third, entry.last, false);
        entry.numbersOk = firstOk && lastOk;
    }
    return entry;
}

} // namespace

RunSection runSectionOf(QLatin1String line)
{
    return sectionOf(line);
}

int historyFields(QStringView line, std::array<QStringView, 4>& fields)
{
    return fieldsOf(line, fields);
}

int historyFields(QLatin1String line, std::array<QLatin1String, 4>& fields)
{
    return fieldsOf(line, fields);
}

HistoryEntry historyEntry(QStringView first, QStringView second, QStringView third,
                          QStringView fourth)
{
    return entryOf(first, second, third, fourth);
}

HistoryEntry historyEntry(QLatin1String first, QLatin1String second, QLatin1String third,
                          QLatin1String fourth)
{
    return entryOf(first, second, third, fourth);
}

ImportanceLevel levelOfAnswerCode(QStringView code)
{
    return codeLevel(code);
}

qint64 answerTimeMs(QStringView field)
{
    return timeOf(field);
}

QVector<ImportanceLevel> replayEntries(const QVector<HistoryEntry>& entries, int sentences, int item)
{
    QVector<ImportanceLevel> levels(std::max(0, sentences), nonImportante);
    const int steps = int(std::count_if(entries.cbegin(), entries.cend(),
                                        [](const HistoryEntry& e) { return e.step; }));
    if (item == -2 || item >= steps)
        item = steps - 1;
    int applied = 0;
    for (int i = 0; i < entries.size() && applied <= item; ++i) {
        const HistoryEntry& entry = entries.at(i);
        if (entry.step) {
            if (entry.numbersOk && entry.level != daDeterminare && entry.sentence >= 0
                && entry.sentence < sentences)
                levels[entry.sentence] = entry.level;
            ++applied;
            continue;
        }
        if (!entry.numbersOk)
            continue;
        const qint64 from = std::max<qint64>(0, entry.first);
        const qint64 to = std::min<qint64>(sentences - 1, entry.last);
        for (qint64 n = from; n <= to; ++n)
            levels[int(n)] = nonImportante;
    }
    return levels;
}

double finalMeanError(QVector<ImportanceLevel> expected, bool lastTagEndsText,
                      const QVector<HistoryEntry>& entries)
{
    const int sentences = int(expected.size());
    if (sentences == 0)
        return 0.0;
    QVector<ImportanceLevel> given = replayEntries(entries, sentences, -2);
    if (lastTagEndsText)
        expected.last() = given.last() = nonImportante;
    int errors = 0;
    for (int i = 0; i < sentences; ++i) {
        if (expected.at(i) != daDeterminare && given.at(i) != daDeterminare)
            errors += std::abs(int(given.at(i)) - int(expected.at(i)));
    }
    return double(errors) / sentences;
}

qint64 AnswerTimes::levelMean(int level) const
{
    if (level < 1 || level > 3 || levelCount[level - 1] == 0)
        return -1;
    return levelTotal[level - 1] / levelCount[level - 1];
}

AnswerTimes answerTimesOf(const QVector<HistoryEntry>& entries)
{
    AnswerTimes times;
    for (const HistoryEntry& entry : entries) {
        if (!entry.step)
            continue;
        ++times.steps;
        if (entry.timeMs < 0)
            continue;
        ++times.timed;
        times.total += entry.timeMs;
        if (entry.level != daDeterminare) {
            times.levelTotal[entry.level - 1] += entry.timeMs;
            ++times.levelCount[entry.level - 1];
        }
    }
    return times;
}

QVector<HistoryEntry> historyEntries(const StoredRun& run)
{
    QVector<HistoryEntry> entries;
    entries.reserve(run.historyFirst.size());
    for (int i = 0; i < run.historyFirst.size(); ++i)
        entries << historyEntry(QStringView(run.historyFirst.at(i)), run.historySecond.value(i),
                                run.historyThird.value(i), run.historyTime.value(i));
    return entries;
}

AnswerTimes answerTimes(const StoredRun& run)
{
    return answerTimesOf(historyEntries(run));
}

RunSummary summariseRun(const BlockBytes& block)
{
    static const QLatin1String exerciseKey("NOME ESERCIZIO=");
    static const QLatin1String dateKey("DATA=");
    RunSummary summary;
    bool exerciseFound = false;
    bool dateFound = false;
    RunSection section = RunSection::None;
    QVector<ImportanceLevel> expected;
    bool lastTagEndsText = false;
    QVector<HistoryEntry> entries;
    std::array<QLatin1String, 4> fields;
    forEachBlockLine(block, [&](QByteArrayView bytes) {
        const QLatin1String line(bytes.data(), bytes.size());
        if (indexOfChar(line, ']') >= 0) {
            const RunSection opened = runSectionOf(line);
            if (opened != RunSection::None) {
                section = opened;
                return;
            }
        }
        switch (section) {
        case RunSection::Informazioni:
            if (!exerciseFound && line.startsWith(exerciseKey)) {
                exerciseFound = true;
                const QLatin1String value = withoutSpaces(line.mid(exerciseKey.size()));
                summary.exerciseName = decodeCp1252(value.data(), value.size());
            } else if (!dateFound && line.startsWith(dateKey)) {
                dateFound = true;
                const QLatin1String value = withoutSpaces(line.mid(dateKey.size()));
                summary.date = decodeCp1252(value.data(), value.size());
            }
            break;
        case RunSection::Testo:
            lastTagEndsText = indexOfChar(line, '~') >= 0;
            if (lastTagEndsText)
                expected << Tevidenziatore::parseTag(decodeCp1252(line.data(), line.size()));
            break;
        case RunSection::Storia:
            historyFields(line, fields);
            entries << historyEntry(fields[0], fields[1], fields[2], fields[3]);
            break;
        case RunSection::None:
            break;
        }
    });
    summary.meanError = finalMeanError(expected, lastTagEndsText, entries);
    summary.times = answerTimesOf(entries);
    return summary;
}
