#pragma once

#include "access/Uscans.h"
#include "common/AppContext.h"
#include "common/LevelButtons.h"
#include "common/MarkedTextView.h"
#include "common/Utabella.h"
#include "execution/Uanimaf.h"
#include "execution/RunRules.h"
#include "model/PupilProfile.h"
#include "model/RunJournal.h"
#include "model/RunOptions.h"
#include "model/Uevidenz.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class ClockTimer;
class TBottoneSeriale;
class TReadAlong;
class TgestoreAlternativoTastiera;
class TsceltaEs;
class SentenceTimeLimit;
class WindowsOver;

// Who runs the exercise and how: what the run window takes from the set-up
// dialog when it is created.
struct RunSetup {
    QString pupilName;              // upper case
    QStringList pupilInfo;
    bool scanningAccess = false;
    AccessDevice device = spaceBarSwitch;  // used only with scanningAccess
    // The pupil's profile (the defaults for a pupil without one): the
    // scanning's timing, the font, read-aloud and the time limit.
    PupilProfile profile;
};

// The window in which a pupil runs an exercise, shows each sentence (the
// whole text or one sentence at a time), takes the pupil's answers, marks
// them, gives feedback and stores the run with its history in the results
// archive. Driven by mouse and keyboard or wholly by scanning.
class Tesegui : public QDialog, private RunHost
{
    Q_OBJECT

public:
    // The run follows the context's general options and uses its folders and
    // serial-switch object.
    Tesegui(const RunSetup& setup, const AppContext& context, QWidget* parent = nullptr);
    ~Tesegui() override;

    // What the set-up dialog says about the pupil and the access device.
    static RunSetup setupFrom(const TsceltaEs& dialog);
    // The pupil, access and profile an interrupted run was started with.
    static RunSetup setupFor(const RunJournalStart& start);

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
    void fineButCliccato();
    void suButClick();
    void giuButClick();
    void PlayButtonClick();
    void suggButClick();
    bool handleKey(int key);
    bool saveRun(const QString& title);
    // The end of a run under scanning: "Vuoi salvare l'esercizio ?" answered
    // with the switch; "Sì" stores the run under the proposed name, or the
    // next free one (" (2)", " (3)", ...) when the pupil has a run of that name.
    bool saveRunScanned();
    bool confirmClose();

    // --- state
    TesercizioSvolto run;
    AppContext context;
    RunOptions options;   // the context's options
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
    // The marking and feedback rules of the run.
    RunRules rules{*this, run};
    // The last save failed for a reason of the file (not the pupil's choice).
    bool saveFailed = false;
    // The pupil's profile with every value in force (font, read-aloud and
    // time limit resolved).
    PupilProfile profileInForce;

    // The font the text is drawn in.
    const QFont& textFont() const;

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
    TMarkedTextView* PaintCanvas;
    QPushButton* suggBut;
    QFrame* PanelScroll;
    QScrollBar* ScrollBar1;
    QFrame* panelBottoni;
    TLevelButtons* levelButtons;
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
    // The time limit per sentence, measured on the program's clock.
    ClockTimer* Timer1;

    TScansione* scansione() const { return scanning.get(); }
    // Reading along with the read-aloud button.
    TReadAlong* readingAlong() const { return readAlong.get(); }

    // What the screen shows of the text (the picture copied to the screen,
    // and the square by square effects drawn on it).
    const QImage& screenPicture() const;

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
    void dropJournal();
    void firstActivate();
    void showIntroduction();
    FeedbackRequest feedbackRequest(FeedbackKind kind, int buttons);
    void stepSentence(int step);
    bool chooseExercise(QString& name, DisplayMode& display, FeedbackMode& feedback);
    void setAccess();
    // Makes sentence n current; scrolls to `scroll`, or just enough to show it (-1).
    void chooseSentence(int n, int scroll = -1);
    int sentenceTop(int n);
    void bringIntoView(int n);
    void redraw();
    void placeShownSentence();
    void paintShownSentence();
    void scrollTo(int position);
    void scrolled(int position);
    void canvasMouseDown(QMouseEvent* event);
    void focusAnswer(bool right);
    void timeLimit();
    void stopSpeech();
    void wordHeard(int item, int start, int length);
    void beginAnswerWork(bool& timerWasOn);
    void endAnswerWork(bool timerWasOn);
    // What the run rules ask of the window.
    FeedbackAnswer showFeedback(FeedbackKind kind, int offeredButtons) override;
    void goToSentence(int n, bool toTextStart) override;
    void moveOn(int from, bool pause) override;
    void showSentenceAtOnce(int n) override;
    void dispatchEvents() override;
    void holdInput() override;
    void releaseInput() override;
    void showJudgement(FeedbackKind kind, const AnswerCounts& counts) override;
    void saveFinishedRun() override;
    void disableEnd() override;
    void closeRun() override;
    // An answer was worked out: where the run stands goes into the journal.
    void recorded(bool ended) override;
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
    // The pictures of the scanned answer buttons, fitted to their size.
    void fitScannedGlyphs();

    bool complete = false;
    TBottoneSeriale* serialSwitches = nullptr;
    std::function<void(TBottoneSeriale*)> keptPressHandler;
    bool handlerInstalled = false;
    std::unique_ptr<TgestoreAlternativoTastiera> keyboard;
    std::unique_ptr<TScansione> scanning;
    // Sees key and mouse presses before the hooks above, to stop the reading.
    std::unique_ptr<TReadAlong> readAlong;
    int readFrom = 0;   // whole text: the sentence the reading started at
    // The time limit kept by Timer1, held while a window is open over this one.
    std::unique_ptr<SentenceTimeLimit> limit;
    std::unique_ptr<WindowsOver> windowsOver;
    bool glyphsLoaded = false;
    // The time limit was on when the checks of "&fine esercizio" began.
    bool endCheckTimerWasOn = false;
    Qt::WindowStates mainWindowState;
    Qt::WindowStates ownState;
    bool inAnswer = false;
    // The speech speed before the pupil's own was set (0: not changed).
    int keptSpeechSpeed = 0;
    std::unique_ptr<RunJournal> journal;
    // The exercise as read, before its answers were hidden.
    QStringList exerciseText;
    QString exerciseTask;
    qint64 timeUsedMs = 0;        // time of the run before timeMark
    qint64 timeMark = 0;
    QString pendingResume;
};
