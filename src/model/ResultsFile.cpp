#include "model/ResultsFile.h"

#include "model/Funzioni.h"
#include "model/Token.h"

#include <QHash>

namespace {

const QString resetMark = QStringLiteral("-1");

} // namespace

QString resultsFolderIn(const QString& dataRoot)
{
    if (dataRoot.isEmpty() || dataRoot.endsWith(QLatin1Char('/')))
        return dataRoot + resultsName;
    return dataRoot + QLatin1Char('/') + resultsName;
}

// ---------------------------------------------------------------------------
// Identifiers

RunIdentifier::RunIdentifier(const QString& pupil, const QString& runName)
    : value(trimSpaces(pupil) + QLatin1Char('^') + trimSpaces(runName))
{
}

RunIdentifier RunIdentifier::fromStored(const QString& stored)
{
    RunIdentifier id;
    id.value = stored;
    return id;
}

QString RunIdentifier::storedName(const QString& typed)
{
    return trimSpaces(typed).toUpper();
}

QString RunIdentifier::pupil() const
{
    const qsizetype caret = value.indexOf(QLatin1Char('^'));
    return trimSpaces(caret < 0 ? value : value.left(caret));
}

QString RunIdentifier::runName() const
{
    const qsizetype caret = value.indexOf(QLatin1Char('^'));
    return caret < 0 ? QString() : trimSpaces(value.mid(caret + 1));
}

// ---------------------------------------------------------------------------
// Lines of a block

QString runHeaderLine(const RunIdentifier& id)
{
    return QLatin1Char('[') + resultsKey + QLatin1Char('=') + id.text() + QLatin1Char(']');
}

QString runSectionLine(RunSection section)
{
    switch (section) {
    case RunSection::Informazioni:
        return QStringLiteral("[informazioni]");
    case RunSection::Testo:
        return QStringLiteral("[testo]");
    case RunSection::Storia:
        return QStringLiteral("[storia]");
    case RunSection::None:
        break;
    }
    return QString();
}

QString historyLine(const QString& first, const QString& second, const QString& third,
                    const QString& time)
{
    QString line = first + QLatin1Char('|') + second + QLatin1Char('|') + third;
    if (first != resetMark && !time.isEmpty()) {
        if (trimSpaces(third).isEmpty())
            line += QLatin1Char(' ');
        line += QLatin1Char('|') + time;
    }
    return line;
}

RunSection runSectionOf(QStringView line)
{
    const qsizetype open = line.indexOf(QLatin1Char('['));
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (open < 0 || close < open)
        return RunSection::None;
    const QStringView word = trimSpaces(line.mid(open + 1, close - open - 1));
    if (word == u"informazioni")
        return RunSection::Informazioni;
    if (word == u"testo")
        return RunSection::Testo;
    if (word == u"storia")
        return RunSection::Storia;
    return RunSection::None;
}

bool isRunHeader(QStringView line)
{
    QString key;
    QString value;
    lineKeyValue(line, key, value);
    return key == resultsKey;
}

// ---------------------------------------------------------------------------
// A stored run

int StoredRun::stepCount() const
{
    int n = 0;
    for (const QString& first : historyFirst)
        n += first != resetMark ? 1 : 0;
    return n;
}

int StoredRun::entryOfStep(int step) const
{
    int seen = 0;
    for (int i = 0; i < historyFirst.size(); ++i) {
        if (historyFirst.at(i) != resetMark && seen++ == step)
            return i;
    }
    return -1;
}

StoredRun splitRunSections(const QStringList& blockLines)
{
    StoredRun run;
    RunSection section = RunSection::None;
    TTokenizer fields(QLatin1Char('|'), QString());
    for (const QString& line : blockLines) {
        const RunSection opened = runSectionOf(line);
        if (opened != RunSection::None) {
            section = opened;
            continue;
        }
        switch (section) {
        case RunSection::Informazioni:
            run.infoLines << line;
            break;
        case RunSection::Testo:
            run.textLines << line;
            break;
        case RunSection::Storia:
            fields.setText(line);
            run.historyFirst << trimSpaces(fields.nextToken());
            run.historySecond << trimSpaces(fields.nextToken());
            run.historyThird << trimSpaces(fields.nextToken());
            run.historyTime << trimSpaces(fields.nextToken());
            break;
        case RunSection::None:
            break;
        }
    }
    return run;
}

// ---------------------------------------------------------------------------
// The archive

QString ResultsArchive::path() const
{
    return sectionFilePath(where, resultsName, resultsExtension);
}

QList<RunIdentifier> ResultsArchive::runs() const
{
    QStringList values;
    listValues(values, resultsKey, where, resultsName, resultsExtension);
    QList<RunIdentifier> ids;
    ids.reserve(values.size());
    for (const QString& value : std::as_const(values))
        ids << RunIdentifier::fromStored(value);
    return ids;
}

bool ResultsArchive::holds(const RunIdentifier& id) const
{
    return runs().contains(id);
}

QStringList ResultsArchive::readRun(const RunIdentifier& id) const
{
    QStringList lines;
    readBlock(lines, resultsKey, id.text(), false, where, resultsName, resultsExtension);
    return lines;
}

bool ResultsArchive::removeRun(const RunIdentifier& id) const
{
    return removeBlock(resultsKey, id.text(), where, resultsName, resultsExtension);
}

bool ResultsArchive::readAll(QList<StoredBlock>& out, QString& error) const
{
    out.clear();
    QByteArray bytes;
    if (!readSectionBytes(path(), bytes)) {
        error = QStringLiteral("Errore di lettura del file ") + resultsName;
        return false;
    }
    const QStringList lines = splitLines(decodeCp1252(bytes));
    QHash<QString, int> index;
    int current = -1;
    QString key;
    QString value;
    for (const QString& raw : lines) {
        lineKeyValue(raw, key, value);
        if (key == resultsKey) {
            if (current >= 0 && out.at(current).id.text() == value)
                continue;
            const auto found = index.constFind(value);
            if (found == index.constEnd()) {
                current = int(out.size());
                index.insert(value, current);
                out.append(StoredBlock{RunIdentifier::fromStored(value), {}});
            } else {
                current = *found;
            }
            continue;
        }
        if (current < 0)
            continue;
        const QString line = trimSpaces(raw);
        if (!line.isEmpty())
            out[current].lines << line;
    }
    return true;
}
