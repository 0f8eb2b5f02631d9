#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QPushButton;
struct AppContext;

// Export of the results archive for a spreadsheet. Two UTF-8 files with a
// header row, fields separated by ";" and always between double quotes (so a
// spreadsheet with Italian settings reads them, decimal commas included):
//  - the runs file: one row per run (pupil, exercise, run name, date, display
//    mode, feedback mode, the nine counts of expected against given levels,
//    the mean error per sentence, the judgement, the pupil's profile and the
//    total time of the answers in seconds, empty when it is not known);
//  - the sentences file, beside it with "_frasi" added to its name: one row
//    per sentence of each run (pupil, run name, exercise, sentence number,
//    expected level, given level, the sentence's text, and the time of its
//    answers in seconds, empty when it has none or one is not known).

// One field quoted for the files above; a text that a spreadsheet would take
// for a formula ("=...", "+...", "-...", "@...") gets a space in front.
QString csvField(const QString& value);

// The name of the sentences file that goes with `runsPath`.
QString sentencesPathFor(const QString& runsPath);

// Writes both files for the runs of `pupil` (compared without regard to
// case), or of every pupil when `pupil` is empty, read from the archive in
// `archiveFolder`. Each file is replaced
// atomically. False with `error` set when the archive cannot be read or a file
// cannot be written; `runs` receives the number of runs written.
bool exportResultsCsv(const QString& archiveFolder, const QString& pupil, const QString& runsPath,
                      QString& error, int* runs = nullptr);

// The small dialog that asks whose runs to export.
class TesportaForm : public QDialog
{
    Q_OBJECT
public:
    TesportaForm(const QStringList& pupils, QWidget* parent = nullptr);
    // The chosen pupil; empty for every pupil.
    QString chosenPupil() const;

    QComboBox* ComboAlunni;
    QPushButton* OKBtn;
    QPushButton* cancelBtn;
};

// The export as the results window offers it: whose runs, where, then the files.
void exportResultsInteractively(const AppContext& context, QWidget* parent);
