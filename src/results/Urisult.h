#pragma once

#include "common/AppContext.h"
#include "common/MarkedTextView.h"
#include "common/Utabella.h"
#include "model/ResultsFile.h"
#include "model/RunHistory.h"
#include "model/Uevidenz.h"

#include <QDialog>
#include <QFont>
#include <QStringList>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class TgestoreAlternativoTastiera;

// A time as the viewer shows it ("3,2 s", "1 min 05,0 s"); "-" for -1.
QString answerTimeText(qint64 ms);

// Gives `text` the levels of the run after the step record `item` (0-based;
// -2 or the number of steps mean the final state): every sentence starts
// "non importante", then step and reset records are applied in file order up
// to that step. Records naming sentences that do not exist, or levels outside
// the three codes, change nothing.
void replayHistory(Tevidenziatore& text, const StoredRun& run, int item);

// The counts of the final state of `done` (replayed on a copy) against the
// expected levels of `assigned`.
AnswerCounts countFinalAnswers(const Tevidenziatore& assigned, const QStringList& doneLines,
                               const StoredRun& run);
// The mean error per sentence of the run's final state (0 with no
// sentences): |given - expected| summed over the sentences where both are
// decided, over all sentences; the expected levels are those of "[testo]".
double meanError(const StoredRun& run);

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
    explicit Trisultati(const AppContext& context, QWidget* parent = nullptr);
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
    const StoredRun& storedRun() const { return run; }
    QString loadedIdentifier() const { return identifier; }
    int selectedStep() const;
    int stepCount() const { return steps; }
    QFont printFont;

    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* Aprieserciziosvolto1;
    QAction* Eliminaesercizio1;
    QAction* Esportacsv1;
    QAction* andamento1;
    QAction* Esci1;
    QWidget* panelLeft;
    QLabel* Panel1;
    TMarkedTextView* PaintCanvas1;
    QWidget* panelCenter;
    QScrollBar* ScrollBarCenter;
    QWidget* panelRight;
    QLabel* Panel2;
    TMarkedTextView* PaintCanvas2;
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
    QLabel* LabelTempo;
    QPlainTextEdit* Memo1;
    QPushButton* stampaBut;
    QPushButton* sintesiBut;
    QPushButton* CancelBtn;

    void Aprieserciziosvolto1Click();
    void Eliminaesercizio1Click();
    void Esportacsv1Click();
    void andamento1Click();
    void sintesiButClick();
    void stampaButClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ComboPassiChange(int item);
    void ButtonpiuClick();
    void ButtonmenoClick();
    void ScrollBarCenterScroll(int position);
    void canvasResized();
    void drawViews();
    void layoutTexts();

    AppContext context;
    // Keeps from the window a key that one of its drop-down lists took.
    std::unique_ptr<TgestoreAlternativoTastiera> keyHandler;
    std::unique_ptr<Tevidenziatore> assignedText;
    std::unique_ptr<Tevidenziatore> doneText;
    StoredRun run;
    QString identifier;
    int steps = 0;
    int textHeight = 0;
    bool showingStep = false;  // the views mark the step's sentence
};
