#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The results archive: one section file (model/Funzioni.h) for every pupil and
// every run, "risult.sal" in the folder "risult" of the data root, in
// windows-1252 with CR LF. Each stored run is a block headed
// "[identificatore=" + its RunIdentifier + "]" and made of the sections
// "[informazioni]", "[testo]" and "[storia]"; a history line is three fields
// joined by "|" (a step's line may carry the answer's time as a fourth).
// Changes go through the section-file primitives, under the
// file's lock and append journal (model/SafeFile.h).

inline const QString resultsName = QStringLiteral("risult");          // folder and file name
inline const QString resultsExtension = QStringLiteral("sal");
inline const QString resultsKey = QStringLiteral("identificatore");   // key of every block header

// The archive's folder under a data root (given with or without a final "/").
QString resultsFolderIn(const QString& dataRoot);

// The key of a stored run: the pupil's name, "^", the run's name. Names are
// stored in upper case (storedName). A pupil's name never holds "^", and an
// identifier is split at its first "^": a "^" in a run's name stays part of it.
class RunIdentifier
{
public:
    RunIdentifier() = default;
    // The identifier of the run `runName` of `pupil`, both without surrounding spaces.
    RunIdentifier(const QString& pupil, const QString& runName);
    // An identifier as a block header holds it, kept exactly.
    static RunIdentifier fromStored(const QString& stored);

    // A typed name as the archive stores it: without surrounding spaces, in upper case.
    static QString storedName(const QString& typed);
    // The characters that a pupil's name and a run's name may not hold (nor a
    // line break): they would end the header or move the split.
    static QString forbiddenInPupil() { return QStringLiteral("^[]"); }
    static QString forbiddenInRunName() { return QStringLiteral("[]"); }

    const QString& text() const { return value; }
    bool isEmpty() const { return value.isEmpty(); }
    // The text before the first "^" (all of it when there is none), trimmed.
    QString pupil() const;
    // The text after the first "^", trimmed; empty when there is none.
    QString runName() const;

    bool operator==(const RunIdentifier& other) const { return value == other.value; }
    bool operator!=(const RunIdentifier& other) const { return value != other.value; }

private:
    QString value;
};

// The sections of a stored run.
enum class RunSection { None, Informazioni, Testo, Storia };

// The header line of a run's block: "[identificatore=" + identifier + "]".
QString runHeaderLine(const RunIdentifier& id);
// The line that opens a section: "[informazioni]", "[testo]" or "[storia]".
QString runSectionLine(RunSection section);

// A line of "[storia]": the three fields joined by "|", and for a step with
// a known time a fourth field, the milliseconds. Readers that take the first
// three non-empty fields skip an empty one, so an empty message is then
// written as a space: the time never takes the message's place.
QString historyLine(const QString& first, const QString& second, const QString& third,
                    const QString& time);

// How a line inside a block reads; the archive's reader and the run writer's
// checks both ask these, so a block is written only as it will be read.
// The section a line opens: its text between the first "[" and the first "]"
// (that "]" after the "["), without surrounding spaces, is the name of a
// section; None for every other line, which belongs to the current section.
RunSection runSectionOf(QStringView line);
// True when the line is a block header (its key is "identificatore"), so
// that inside a run it would start another one.
bool isRunHeader(QStringView line);

// One stored run split into its sections, as read from its block.
struct StoredRun {
    QStringList infoLines;      // "[informazioni]", trimmed, in file order
    QStringList textLines;      // "[testo]": the marked text with the expected levels
    QStringList historyFirst;   // "[storia]", field by field, each trimmed
    QStringList historySecond;
    QStringList historyThird;
    QStringList historyTime;    // the fourth field, empty when the line has none

    // The number of step records (entries whose first field is not "-1").
    int stepCount() const;
    // The history entry of the step record `step` (0-based), -1 when there is none.
    int entryOfStep(int step) const;
};

// Splits the lines of a run's block (header dropped) into its sections; lines
// before the first section are ignored.
StoredRun splitRunSections(const QStringList& blockLines);

// Every run of an archive read at once: the lines of all blocks with one
// identifier, in file order, headers dropped, trimmed, blank ones dropped.
struct StoredBlock {
    RunIdentifier id;
    QStringList lines;
};

// An archive in its folder (the program's is ResultsArchive::in(data root);
// tests put one anywhere). Reading creates a missing file empty; messages as
// the section-file primitives give them.
class ResultsArchive
{
public:
    explicit ResultsArchive(const QString& folder) : where(folder) {}
    static ResultsArchive in(const QString& dataRoot) { return ResultsArchive(resultsFolderIn(dataRoot)); }

    const QString& folder() const { return where; }
    QString path() const;

    // Every identifier, in file order, duplicates included.
    QList<RunIdentifier> runs() const;
    bool holds(const RunIdentifier& id) const;
    // The block's lines (header dropped, trimmed, blank ones dropped); empty
    // when the archive does not hold the run.
    QStringList readRun(const RunIdentifier& id) const;
    bool removeRun(const RunIdentifier& id) const;
    // Every run in one reading, in order of first appearance, without
    // creating a missing file (no run then); an append in progress is left
    // out. False with `error` set when the file cannot be read.
    bool readAll(QList<StoredBlock>& out, QString& error) const;

private:
    QString where;
};
