#pragma once

#include "execution/FeedbackKind.h"
#include "model/RunOptions.h"
#include "model/Uevidenz.h"

#include <QString>
#include <limits>

struct AnswerCounts;

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
// The final judgement for the whole text by its mean error: giuBuo below
// 0.4, giuDis below 0.7, giuNon from 0.7 on.
FeedbackKind judgement(const Tevidenziatore& model);
// Expected against given levels; the expected tag lines compare whole.
AnswerCounts countAnswers(const Tevidenziatore& model);
} // namespace marking

// The history message of a message number (1 .. 4; empty for any other).
QString historyMessage(int number);
// The buttons a feedback of `kind` offers during a run: Sì and No for the
// questions (selErr, priErr, secErr), OK alone for the others.
int feedbackButtonsFor(FeedbackKind kind);

// The time a pupil takes over an answer, on the program's clock
// (model/Clock.h): counted from the moment the sentence can be answered,
// held while a window is open over the run or an answer is being worked on.
// A clock that goes back counts as standing still.
class AnswerStopwatch
{
public:
    // Counts again from 0 (from the last release when held).
    void restart();
    // Holds may nest; the count goes on when the last one is released.
    void hold();
    void release();
    qint64 elapsed() const;

private:
    int holds = 0;
    qint64 used = 0;    // counted before the last hold
    qint64 since = 0;   // clock reading when the count last went on
};

// What the run rules need of the window that shows the run.
class RunHost
{
public:
    virtual ~RunHost();
    // Shows a feedback with the buttons offered (FeedbackButton bits), with
    // the pupil's input let through to it; the pupil's answer.
    virtual FeedbackAnswer showFeedback(FeedbackKind kind, int offeredButtons) = 0;
    // Whole text: sentence n becomes the current one, the view scrolls to the
    // start of the text (toTextStart) or to the top of n, and is drawn again.
    virtual void goToSentence(int n, bool toTextStart) = 0;
    // One sentence at a time: the sentence after `from` comes in with the
    // dissolve and reveal (nothing after the last), after the pause of
    // RunRules::pauseMs when `pause`.
    virtual void moveOn(int from, bool pause) = 0;
    // One sentence at a time: sentence n is shown at once, without effects.
    virtual void showSentenceAtOnce(int n) = 0;
    // Handles the events that came meanwhile (the pupil's input among them is
    // swallowed while an answer is worked on).
    virtual void dispatchEvents() = 0;
    // Around the checks of "&fine esercizio": the time limit, the keys, the
    // mouse, scanning and the joystick are held, then given back (the time
    // limit only while the run goes on).
    virtual void holdInput() = 0;
    virtual void releaseInput() = 0;
    // The final judgement with the table of answers (the time limit is off).
    virtual void showJudgement(FeedbackKind kind, const AnswerCounts& counts) = 0;
    // The finished run is offered for saving.
    virtual void saveFinishedRun() = 0;
    // "&fine esercizio" is no longer offered.
    virtual void disableEnd() = 0;
    // The run window closes.
    virtual void closeRun() = 0;
    // The rules are done with an answer (or with "&fine esercizio"): the
    // history and the feedback state are where the run stands now; `ended`
    // when what is left is the judgement and the save.
    virtual void recorded(bool ended) { Q_UNUSED(ended) }
};

// The marking and feedback rules of one run: after each answer they decide
// whether to give a feedback, move the pupil back, reset answers, go on to
// the next sentence or end the run, and they write the history. They work
// on the run record and the text model they are given; the window that
// shows the run does what they ask through RunHost.
class RunRules
{
public:
    static constexpr int pauseMs = 800;   // before the next sentence
    static constexpr int jumpBack = 5;    // sentences a gross error sends back

    RunRules(RunHost& window, TesercizioSvolto& record) : host(window), run(record) {}

    // The start of a run on `text` (nullptr: no text loaded, the rules do
    // nothing) under the general options: the midpoint, both checks armed,
    // no jump-back waiting.
    void start(Tevidenziatore* text, const RunOptions& options);

    // The pupil gave `level` to sentence k (already set on the text): the
    // step entry with the answer's time, lastStepError, then evaluateFeedback.
    void answered(int k, ImportanceLevel level);
    // The time of the next answer counts from now; the window holds it while
    // the pupil cannot answer.
    void answerable() { answerTime.restart(); }
    void holdAnswerTime() { answerTime.hold(); }
    void releaseAnswerTime() { answerTime.release(); }
    // The feedback after the answer to sentence k.
    void evaluateFeedback(int k);
    // "&fine esercizio".
    void endCheck();
    // The end of the run: judgement, table of answers, save.
    void finishRun();

    int errorSum(int n) const;
    AnswerCounts countAnswers() const;

    // The feedback state of the run.
    bool firstPartCheck = true;
    bool secondPartCheck = true;
    bool jumpPending = false;
    int jumpFrom = -1;
    int jumpDelay = std::numeric_limits<int>::max();
    int midPoint = 0;
    // Random numbers the run has drawn.
    int randomDraws = 0;

private:
    FeedbackAnswer ask(FeedbackKind kind);
    void resetAnswers(int first, int last);
    void addResetEntry();
    void midAndEndWhole(int k, int& message);
    void midAndEndOneByOne(int k, int& message, bool& end);
    void jumpBackCheck(int k, int& message, bool& end);

    RunHost& host;
    TesercizioSvolto& run;
    Tevidenziatore* model = nullptr;
    double threshold = 0.4;
    bool resetOnFeedback = false;
    // A reset noted for the next reset entry of the history.
    bool resetNoted = false;
    int resetFirst = 0;
    int resetLast = 0;
    AnswerStopwatch answerTime;
};
