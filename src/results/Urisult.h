#pragma once

#include "model/Funzioni.h"
#include "model/RunHistory.h"
#include "model/Uevidenz.h"
#include "results/Utabella.h"

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QStringList>
#include <array>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

// Where the results archive lies: DataRoot + "risult", file "risult.sal".
QString resultsFolder();
extern const QString resultsName;
extern const QString resultsExtension;
extern const QString resultsKey;   // "identificatore"

// One stored run split into its sections, as read from its block.
struct StoredRun {
    QStringList infoLines;      // "[informazioni]", trimmed, in file order
    QStringList textLines;      // "[testo]": the marked text with the expected levels
    QStringList historyFirst;   // "[storia]", field by field
    QStringList historySecond;
    QStringList historyThird;
    QStringList historyTime;    // the fourth field, empty when the line has none

    // The number of step records (entries whose first field is not "-1").
    int stepCount() const;
    // The history entry of the step record `step` (0-based), -1 when there is none.
    int entryOfStep(int step) const;
};

// A time as the viewer shows it ("3,2 s", "1 min 05,0 s"); "-" for -1.
QString answerTimeText(qint64 ms);

// The history's lines read as entries, and the times of the run's answers.
QVector<HistoryEntry> historyEntries(const StoredRun& run);
AnswerTimes answerTimes(const StoredRun& run);

// Splits the lines of a run's block (header dropped) into its sections.
StoredRun splitRunSections(const QStringList& blockLines);

// Every run of the archive in one reading (see readBlocks), or only those
// whose identifier `wanted` accepts; `identifiers`, when given, receives every
// identifier once. False when the archive cannot be read (the user has been told).
bool readAllRuns(QList<SectionBlock>& blocks,
                 const std::function<bool(const QString&)>& wanted = {},
                 QStringList* identifiers = nullptr);
// The pupil and the run name of an identifier (split at the first "^", trimmed).
QString pupilOfIdentifier(const QString& id);
QString runNameOfIdentifier(const QString& id);


// Gives `text` the levels of the run after the step record `item` (0-based;
// -2 or the number of steps mean the final state): every sentence starts
// "non importante", then step and reset records are applied in file order up
// to that step. Records naming sentences that do not exist, or levels outside
// the three codes, change nothing.
void replayHistory(Tevidenziatore& text, const StoredRun& run, int item);
// The same for the levels alone of a text of `sentences` sentences.
QVector<ImportanceLevel> replayLevels(const StoredRun& run, int sentences, int item);

// The counts of the final state of `done` (replayed on a copy) against the
// expected levels of `assigned`.
AnswerCounts countFinalAnswers(const Tevidenziatore& assigned, const QStringList& doneLines,
                               const StoredRun& run);
// The mean error per sentence of the run's final state (0 with no
// sentences): |given - expected| summed over the sentences where both are
// decided, over all sentences; the expected levels are those of "[testo]".
double meanError(const StoredRun& run);

// A paint surface that shows a picture kept by its window and tells the
// window when it is resized or the wheel turns over it.
class TPaintSurface : public QWidget
{
    Q_OBJECT
public:
    explicit TPaintSurface(QWidget* parent = nullptr);
    QImage picture;

signals:
    void resized();
    void wheelTurned(int steps);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

// The legend of the three levels in their colours.
class TLegenda : public QWidget
{
    Q_OBJECT
public:
    explicit TLegenda(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The results archive window: a stored run beside the assigned text, its
// history replayed step by step, the summary table and printing.
class Trisultati : public QDialog
{
    Q_OBJECT
public:
    explicit Trisultati(QWidget* parent = nullptr);
    ~Trisultati() override;

    // The one results window while it is open.
    static Trisultati* instance();

    // Reads a run (pupil + "^" + run name) and shows its final state.
    // False, with a message, when the archive no longer holds it.
    bool loadRun(const QString& identifier);
    void replayTo(Tevidenziatore& text, int item) const;
    void selectStep(int item);
    void refreshViews();
    AnswerCounts countAnswers() const;

    bool runLoaded() const { return assignedText && doneText; }
    Tevidenziatore* assignedTextModel() const { return assignedText.get(); }
    Tevidenziatore* doneTextModel() const { return doneText.get(); }
    const QStringList& infoLines() const { return run.infoLines; }
    QString loadedIdentifier() const { return identifier; }
    int selectedStep() const;
    int stepCount() const { return steps; }
    QFont printFont;

    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* Aprieserciziosvolto1;
    QAction* Eliminaesercizio1;
    QAction* Esportacsv1;
    QAction* Esci1;
    QWidget* panelLeft;
    QLabel* Panel1;
    TPaintSurface* PaintCanvas1;
    QWidget* panelCenter;
    QScrollBar* ScrollBarCenter;
    QWidget* panelRight;
    QLabel* Panel2;
    TPaintSurface* PaintCanvas2;
    QWidget* panelBottom;
    TLegenda* PaintLegenda;
    QGroupBox* GroupBox1;
    QPlainTextEdit* Memo2;
    QGroupBox* GroupBox2;
    QLabel* Label2;
    QComboBox* ComboPassi;
    QPushButton* Buttonpiu;
    QPushButton* Buttonmeno;
    QLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* stampaBut;
    QPushButton* sintesiBut;
    QPushButton* CancelBtn;

    void Aprieserciziosvolto1Click();
    void Eliminaesercizio1Click();
    void Esportacsv1Click();
    void sintesiButClick();
    void stampaButClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ComboPassiChange(int item);
    void ButtonpiuClick();
    void ButtonmenoClick();
    void ScrollBarCenterScroll(int position);
    void canvasResized();
    void drawViews();
    void layoutTexts();

    std::unique_ptr<Tevidenziatore> assignedText;
    std::unique_ptr<Tevidenziatore> doneText;
    StoredRun run;
    QString identifier;
    int steps = 0;
    int laidOutWidth = -1;     // the texts' layout width; the layout does not depend on levels
    int textHeight = 0;
    bool showingStep = false;  // the views mark the step's sentence
};
