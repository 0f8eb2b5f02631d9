#pragma once

#include "common/AppContext.h"

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class QAbstractAxis;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPainter;
class QPointF;
class QPushButton;
class QRectF;
class QXYSeries;

// One stored run as a point of a pupil's progress.
struct ProgressRun {
    QString identifier;     // pupil + "^" + run name
    QString runName;
    QString exerciseName;   // as stored with the run
    qint64 moment = 0;      // when it was saved: milliseconds since 1970 (UTC)
    QString dateShown;      // the same as shown: "dd/MM/yyyy HH:mm", local time
    double meanError = 0;   // per sentence, as the judgement takes it
    qint64 meanTime = -1;   // milliseconds per answer; -1 when the run has no times
};

// What the archive holds for the progress of one pupil.
struct PupilProgress {
    QStringList pupils;         // every pupil of the archive (once, in order of first appearance)
    QString pupil;              // the pupil shown: as asked, else the first one
    QVector<ProgressRun> runs;  // the pupil's runs with a readable date, in date order
    int undated = 0;            // the pupil's runs whose date cannot be read
};

// The moment a run was saved, from its "DATA=" value (as this program writes
// it, or a date with or without seconds, in local time): milliseconds since
// 1970 and the date as shown; false when it cannot be read.
bool storedRunMoment(const QString& value, qint64& moment, QString& shown);

// Reads the archive in `archiveFolder` once for the progress of `pupil`
// (compared without regard to case; not found or empty: the first pupil).
// False when it cannot be read (the user has been told).
bool readPupilProgress(const QString& archiveFolder, const QString& pupil, PupilProgress& progress);

// A pupil's progress at a glance: the mean error of every stored run by date
// (one series per exercise and one of all runs, over the bands of the final
// judgement), and the mean time per answer. Pointing at a run shows its name
// and date; clicking it closes the window with that run chosen. The charts
// can be printed and saved as a picture (PNG) or a PDF file.
class TandamentoForm : public QDialog
{
    Q_OBJECT

public:
    // Opens on `pupil` (empty: the first pupil of the archive).
    TandamentoForm(const AppContext& context, const QString& pupil, QWidget* parent = nullptr);

    // The run whose point was clicked (empty when none was).
    QString chosenIdentifier() const { return chosen; }
    // What the form shows.
    const PupilProgress& progress() const { return shown; }
    // The text shown when pointing at run `index` of progress().runs.
    QString pointText(int index) const;
    // The run of point `point` of `series`, -1 for none.
    int runOfPoint(const QXYSeries* series, int point) const;
    // Draws the title and both charts into `page` (printing, the files).
    void paintReport(QPainter& painter, const QRectF& page);

    QLabel* Label1;
    QComboBox* ComboAlunni;
    QChartView* ChartErrori;
    QChartView* ChartTempi;
    QLabel* LabelNote;
    QPushButton* stampaBut;
    QPushButton* immagineBut;
    QPushButton* pdfBut;
    QPushButton* CancelBtn;

    void showPupil(const QString& pupil);
    void stampaButClick();
    void immagineButClick();
    void pdfButClick();

private:
    void buildErrorChart();
    void buildTimeChart();
    void addRunSeries(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, bool time);
    void watchSeries(QXYSeries* series, bool time);
    int nearestRun(const QXYSeries* series, const QPointF& value) const;
    QString askFileName(const QString& caption, const QString& filter, const QString& suffix);

    AppContext context;
    PupilProgress shown;
    QHash<const QXYSeries*, QVector<int>> seriesRuns;
    QString chosen;
};
