#pragma once

#include "access/Uscans.h"
#include "execution/Uanimaf.h"
#include "execution/Uopzioni.h"
#include "model/RunJournal.h"
#include "model/Uevidenz.h"
#include "results/Utabella.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class TBottoneSeriale;
class TgestoreAlternativoTastiera;
class TsceltaEs;

// Who runs the exercise and how: what the run window takes from the set-up
// dialog when it is created.
struct RunSetup {
    QString pupilName;              // upper case
    QStringList pupilInfo;
    bool scanningAccess = false;
    AccessDevice device = spaceBarSwitch;  // used only with scanningAccess
};

// The marking of a run, worked out on its text model (the pupil's levels in
// the tag lines, the teacher's in hiddenAnswers).
namespace marking {
// The level the teacher gave sentence n (daDeterminare when it has none).
ImportanceLevel expectedLevel(const Tevidenziatore& model, int n);
// The error of the first n sentences: |given - expected| summed over the
// sentences where both are real levels.
int errorSum(const Tevidenziatore& model, int n);
// Mean error of the first part (sentences 0 .. mid - 1) and of the second
// part (mid .. N - 1), in extended precision. An empty part has mean 0.
long double firstPartMean(const Tevidenziatore& model, int mid);
long double secondPartMean(const Tevidenziatore& model, int mid);
// The final judgement for the whole text: 6 (good), 7 (fair) or 8 (poor).
int judgementKind(const Tevidenziatore& model);
AnswerCounts countAnswers(const Tevidenziatore& model);
} // namespace marking

// The window in which a pupil runs an exercise, shows each sentence (the
// whole text or one sentence at a time), takes the pupil's answers, marks
// them, gives feedback and stores the run with its history in the results
// archive. Driven by mouse and keyboard or wholly by scanning.
class Tesegui : public QDialog
{
    Q_OBJECT

public:
    Tesegui(const RunSetup& setup, const RunOptions& options, TBottoneSeriale* serial,
            QWidget* parent = nullptr);
    ~Tesegui() override;

    // What the set-up dialog says about the pupil and the access device.
    static RunSetup setupFrom(const TsceltaEs& dialog);

    // False when the window could not be made whole (a button picture is
    // missing; the user has been told which): it must not be shown.
    bool ready() const { return complete; }

    // --- operations
    void startExercise();
    // Starts a run of the exercise `name` (a long name) as chosen in the
    // exercise chooser; false when it cannot be loaded (the user is told why).
    bool beginRun(const QString& name, DisplayMode display, FeedbackMode feedback);
    bool loadExercise(const QString& path);
    // Goes on with the interrupted run whose journal is `path`, as if it had
    // never stopped: the same sentence, history, modes, options and profile.
    // False, the user told why, when its journal is being written elsewhere
    // or cannot be read.
    bool resumeRun(const QString& path);
    // The window opens on the interrupted run `path` (resumeRun) instead of
    // the introduction and the exercise chooser.
    void resumeOnShow(const QString& path) { pendingResume = path; }
    // The journal of the run in progress (none before the first run and
    // after the run was stored or given up).
    RunJournal* runJournal() const { return journal.get(); }
    void relayout();
    void arrangeControls();
    void nextSentence();
    void clickImportanza(QObject* sender);
    void fineButCliccato() { endCheck(); }
    void suButClick();
    void giuButClick();
    void PlayButtonClick();
    void suggButClick();
    bool handleKey(int key);
    bool saveRun(const QString& title);
    bool confirmClose();

    // --- marking and feedback
    int errorSum(int n) const;
    void evaluateFeedback();
    void endCheck();
    void finishRun();
    AnswerCounts countAnswers() const;

    // --- state
    TesercizioSvolto run;
    RunOptions options;
    RunSetup setup;
    bool exerciseLoaded = false;
    bool unsaved = false;
    bool firstActivation = true;
    bool scanningAccess = false;
    AccessDevice device = spaceBarSwitch;
    std::unique_ptr<Tevidenziatore> model;
    int shownSentence = 0;
    int shownTop = 0;
    int shownHeight = 0;
    // Feedback state.
    bool firstPartCheck = true;
    bool secondPartCheck = true;
    bool jumpPending = false;
    int jumpFrom = -1;
    int jumpDelay = 0;
    int midPoint = 0;
    // The last save failed for a reason of the file (not the pupil's choice).
    bool saveFailed = false;

    QImage textPicture;
    QFont textFont;

    // --- controls
    QMenuBar* menuBar;
    QMenu* File1;
    QAction* Eseguiesercizio1;
    QAction* Salvaesercizioconnome1;
    QAction* Esci1;
    QMenu* opzioni1;
    QAction* sceltadelfont1;
    QAction* configurasintesi1;
    QFrame* panelSfondo;
    QWidget* PaintCanvas;
    QPushButton* suggBut;
    QFrame* PanelScroll;
    QScrollBar* ScrollBar1;
    QFrame* panelBottoni;
    QPushButton* nonImportanteBut;
    QPushButton* importanteBut;
    QPushButton* moltoImportanteBut;
    QFrame* PanelFine;
    QPushButton* fineBut;
    QPushButton* PlayButton;
    QFrame* PanelScansione;
    QPushButton* suBut;
    QPushButton* giuBut;
    QPushButton* PlayBut;
    QPushButton* nonBot;
    QPushButton* impBot;
    QPushButton* moltoBot;
    // "fine" among the scanned buttons in whole-text display, so a pupil who
    // uses switches alone can end the run as "&fine esercizio" does.
    QPushButton* fineBot;
    QFrame* suggPanel;
    QPlainTextEdit* Memo1;
    QTimer* Timer1;

    TScansione* scansione() const { return scanning.get(); }

    // What the screen shows of the text (the picture copied to the screen,
    // and the square by square effects drawn on it).
    const QImage& screenPicture() const { return screen; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    // "&fine esercizio" and its scanned twin are enabled together.
    void setFineEnabled(bool enabled);
    bool loadPictures();
    bool loadExerciseText(const QStringList& text, const QString& task);
    // The scanned buttons for a display mode.
    void prepareScanning(DisplayMode display);
    // The journal of the run: started with the run, written after every
    // answer, removed when the run is stored or given up.
    void startJournal();
    void journalAnswer(bool ended);
    void dropJournal();
    void firstActivate();
    void showIntroduction();
    FeedbackRequest feedbackRequest(int kind, int buttons);
    void stepSentence(int step);
    bool chooseExercise(QString& name, DisplayMode& display, FeedbackMode& feedback);
    void setAccess();
    // Makes sentence n current; scrolls to `scroll`, or just enough to show it (-1).
    void chooseSentence(int n, int scroll = -1);
    int sentenceTop(int n);
    void bringIntoView(int n);
    void redraw();
    void showScreen();
    void clearPicture();
    void placeShownSentence();
    void paintShownSentence();
    void scrollTo(int position);
    void scrolled(int position);
    void canvasMouseDown(const QPoint& at);
    void focusAnswer(bool right);
    void timeLimit();
    void stopSpeech();
    void beginAnswerWork(bool& timerWasOn);
    void endAnswerWork(bool timerWasOn);
    void moveOn(bool pause);
    void showSentenceAtOnce(int n);
    void resetAnswers(int first, int last);
    void addResetEntry();
    FeedbackAnswer showFeedback(int kind);
    void showJudgement(int kind);
    void chooseFont();
    void openSpeechSetup();
    void updateFileMenu();
    void serialPress(TBottoneSeriale* sender);
    void joystickDirection(int direction);
    void releaseJoystick();
    void captureJoystick();
    void setScanningSuspended(bool suspended);
    QAbstractButton* answerButtonFor(int level) const;
    int levelOf(QObject* sender) const;
    void setGlyph(QPushButton* button, int level, bool focused);
    void fitGlyph(QPushButton* button);

    bool complete = false;
    TBottoneSeriale* serialSwitches = nullptr;
    std::function<void(TBottoneSeriale*)> keptPressHandler;
    bool handlerInstalled = false;
    std::unique_ptr<TgestoreAlternativoTastiera> keyboard;
    std::unique_ptr<TScansione> scanning;
    std::array<QPixmap, 6> glyphs;   // non 1, non 2, imp 1, imp 2, molto 1, molto 2
    QImage screen;
    // A reset noted by the feedback rules for the next history entry.
    bool resetNoted = false;
    int resetFirst = 0;
    int resetLast = 0;
    Qt::WindowStates mainWindowState;
    Qt::WindowStates ownState;
    bool inAnswer = false;
    std::unique_ptr<RunJournal> journal;
    // The exercise as read, before its answers were hidden.
    QStringList exerciseText;
    QString exerciseTask;
    int randomDraws = 0;          // random numbers drawn by the run
    qint64 timeUsedMs = 0;        // time of the run before timeMark
    qint64 timeMark = 0;
    QString pendingResume;
};
