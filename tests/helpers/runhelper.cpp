// A pupil in a process of its own, for the crash tests of runs in progress:
// it works through the real run window with two switches on a fake serial
// port (the frame moves on with one switch and presses with the other), so
// that a test can kill it at any moment and start it again.
//
//   runhelper fresh  <data root> <display> <feedback> <reset> <seed>
//       opens the run window as F10 does for the pupil GIULIA, chooses the
//       exercise "Prova" with the display (0, 1), feedback (0, 1, 2) and
//       reset option (0, 1) given, and runs it to the end
//   runhelper resume <data root> <seed>
//       starts as the program starts: the interrupted run is offered, the
//       pupil answers Sì with the switches, and the run goes on to the end
//
// The pupil's answers follow from where the run stands (the sentence, the
// history so far), never from the process, so a run interrupted and resumed
// gives the same answers as one that was not, each after the same time. The
// clocks are fakes (the millisecond clock moves on only by the program's
// waits and by the time the pupil takes over each answer, which follows from
// the history so far; the date is fixed) and the
// random numbers come from `seed`; a resumed run first draws the numbers its
// journal says the run has drawn.
//
// Killing: with RUNHELPER_KILL_AT=k the process kills itself at the k-th
// point of the file-system calls (write, pwrite, fsync, fdatasync,
// ftruncate, rename, link, unlink) made on the journals of "risult/in-corso"
// (not on their lock files) once the run has started: before a call, halfway through a write, or after
// it. With RUNHELPER_KILL_ANSWER=n it kills itself as it is about to give
// its n-th answer, and with RUNHELPER_KILL_FEEDBACK=n while its n-th
// feedback question is on screen. It prints "points <p>" (journal points of
// the whole run) and "answers <a>" at the end, and "offered" when a resume
// question was asked.

#include "access/SerBtn.h"
#include "common/UQuery.h"
#include "execution/RadioGroup.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Udomanda.h"
#include "execution/Uesegui.h"
#include "execution/Uripresa.h"
#include "model/Clock.h"
#include "model/DialogService.h"
#include "model/Random.h"
#include "model/RunJournal.h"
#include "support/FakeSwitches.h"
#include "support/TestSupport.h"
#include "KillPoints.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

// A journal of "risult/in-corso" and its temporary files; not the lock
// files, which the program's locking writes whole (tested on its own).
bool watchedFile(const char* path)
{
    return path && std::strstr(path, "in-corso") != nullptr && !std::strstr(path, ".lock");
}

using killpoints::armed;
using killpoints::killAt;
using killpoints::points;

namespace {

// The test's millisecond clock.
FakeClock* pupilClock = nullptr;

// Messages are written out and answered with their safest button, but for
// replacing a run of the same name, which the pupil accepts; the program
// asks nothing else of this pupil, so a long string of messages is a fault.
class LoggedDialogs final : public DialogService
{
public:
    DialogButton ask(const QString&, const QString& text, DialogButtons buttons, DialogIcon) override
    {
        std::printf("message %s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
        if (++count > 20)
            std::exit(3);
        if ((buttons & YesButton) && text.contains(QStringLiteral("sostituirlo")))
            return YesButton;
        if (buttons & CancelButton)
            return CancelButton;
        if (buttons & NoAnswerButton)
            return NoAnswerButton;
        return OkButton;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }

private:
    int count = 0;
};

void say(const char* what, long value)
{
    std::printf("%s %ld\n", what, value);
    std::fflush(stdout);
}

// The pupil: answers whatever the program shows, one switch press at a time.
class Pupil : public QObject
{
public:
    Pupil(FakeSwitches& switches, DisplayMode displayMode, FeedbackMode feedbackMode)
        : sw(switches), display(displayMode), feedback(feedbackMode)
    {
        killAnswer = std::atol(qgetenv("RUNHELPER_KILL_ANSWER").constData());
        killFeedback = std::atol(qgetenv("RUNHELPER_KILL_FEEDBACK").constData());
        connect(&timer, &QTimer::timeout, this, &Pupil::tick);
        timer.start(0);
    }

    long answers = 0;
    long feedbacks = 0;
    bool offered = false;
    QStringList failures;

private:
    // Moves the frame of `scan` to `target` with the step switch, then presses.
    void select(TScansione* scan, QAbstractButton* target)
    {
        for (int guard = 0; guard < 20 && scan->currentButton() != target; ++guard)
            sw.press(false, true);
        if (scan->currentButton() != target) {
            failures << QStringLiteral("the frame never reached ") + target->objectName();
            return;
        }
        sw.press(true, false);
    }

    // The level the pupil means to give sentence k: the teacher's once the
    // sentence was answered before or the run has gone back, a pattern with
    // gross errors before.
    static int intended(const Tesegui& run, int k)
    {
        const bool wentBack = run.run.historyFirst.contains(QStringLiteral("-1"));
        if (wentBack || run.run.historyFirst.contains(QString::number(k))) {
            const int expected = marking::expectedLevel(*run.model, k);
            return expected == daDeterminare ? nonImportante : expected;
        }
        return (k * 5 + 2) % 3 + 1;
    }

    void answer(Tesegui& run)
    {
        TScansione* scan = run.scansione();
        const Tevidenziatore& model = *run.model;
        if (run.run.displayMode == sentenceBySentence) {
            giveAnswer(run, intended(run, run.shownSentence));
            return;
        }
        // Whole text: the first sentence whose level is not the one meant,
        // reached with the arrows; "fine" when there is none.
        int target = -1;
        for (int k = 0; k < model.sentenceCount && target < 0; ++k) {
            if (model.importanceOf(k) != intended(run, k))
                target = k;
        }
        if (target < 0) {
            select(scan, run.fineBot);
            return;
        }
        if (target != model.currentSentence) {
            select(scan, target < model.currentSentence ? run.suBut : run.giuBut);
            return;
        }
        giveAnswer(run, intended(run, target));
    }

    void giveAnswer(Tesegui& run, int level)
    {
        ++answers;
        if (answers == killAnswer)
            ::raise(SIGKILL);
        // The pupil thinks for a while before the answer.
        pupilClock->advance(400 + 150 * (run.run.historyFirst.size() % 7));
        QAbstractButton* button = level == importante        ? run.impBot
                                  : level == moltoImportante ? run.moltoBot
                                                             : run.nonBot;
        select(run.scansione(), button);
    }

    // A press may open a window of its own (a feedback, the judgement) whose
    // loop calls this again: the newer window is answered, the one being
    // answered is left alone.
    void tick()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || handling.contains(modal))
            return;
        // Acted on from a timer of its own, so that this one goes on
        // ticking in the loop of a window the action opens.
        handling << modal;
        const QPointer<QWidget> alive(modal);
        QTimer::singleShot(0, this, [this, modal, alive] {
            if (alive)
                step(modal);
            handling.removeAll(modal);
        });
    }

    void step(QWidget* modal)
    {
        QApplication::setActiveWindow(modal);
        if (auto question = qobject_cast<TdomandaForm*>(modal)) {
            const QString text = question->Label1->text();
            if (text == QStringLiteral("Vuoi salvare l'esercizio ?")) {
                // Stored under the proposed name: the fixed date and time.
                select(question->scanning(), question->yesBut);
                return;
            }
            if (!text.contains(QStringLiteral("Vuoi riprenderlo ?"))) {
                failures << QStringLiteral("unexpected question: ") + text;
                select(question->scanning(), question->noBut);
                return;
            }
            offered = true;
            std::printf("offered\n");
            std::fflush(stdout);
            select(question->scanning(), question->yesBut);
        } else if (auto form = qobject_cast<TanimazioneForm*>(modal)) {
            TScansione* scan = form->scanning();
            if (form->yesBut->isVisible()) {
                ++feedbacks;
                if (feedbacks == killFeedback)
                    ::raise(SIGKILL);
                // The choice follows from the history, as the answers do.
                const Tesegui* run = qobject_cast<Tesegui*>(form->parentWidget());
                const qsizetype made = run ? run->run.historyFirst.size() : 0;
                select(scan, made % 3 == 2 ? form->noBut : form->yesBut);
            } else {
                select(scan, form->okBut);
            }
        } else if (auto chooser = qobject_cast<TcaricaE*>(modal)) {
            chooser->ComboEsercizi->setCurrentIndex(chooser->ComboEsercizi->findText(QStringLiteral("Prova")));
            chooser->RadioVisualizzazione->item(display)->click();
            chooser->Radiofeedback->item(feedback)->click();
            chooser->okBut->click();
        } else if (auto query = qobject_cast<TFormQuery*>(modal)) {
            query->Edit1->setText(QStringLiteral("prova"));
            query->ButtonOK->click();
        } else if (auto run = qobject_cast<Tesegui*>(modal)) {
            if (run->exerciseLoaded && run->model && !run->run.runFinished && run->scansione())
                answer(*run);
        } else {
            failures << QStringLiteral("unexpected window ") + modal->objectName();
            modal->close();
        }
    }

    FakeSwitches& sw;
    DisplayMode display;
    FeedbackMode feedback;
    long killAnswer = 0;
    long killFeedback = 0;
    QTimer timer;
    QList<QWidget*> handling;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: runhelper fresh|resume <data root> ...\n");
        return 2;
    }
    const bool fresh = args.at(1) == QLatin1String("fresh");
    const QString dataRoot = QDir(args.at(2)).absolutePath() + QLatin1Char('/');
    killAt = std::atol(qgetenv("RUNHELPER_KILL_AT").constData());

    LoggedDialogs dialogs;
    setDialogService(&dialogs);
    FakeClock clock(0);
    pupilClock = &clock;
    clock.fixDateTime(QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30)));
    FakeSwitches switches;
    switches.serial.openPort(QStringLiteral("/dev/ttyS0"));
    AppContext context = testsupport::makeContext(QStringLiteral(SALIENTA_ASSETS_DIR "/"), dataRoot);
    context.serialSwitches = &switches.serial;

    int exitCode = 0;
    if (fresh && args.size() == 7) {
        SeededRandom random(args.at(6).toUInt());
        context.options.maxSentenceTime = 0;
        context.options.feedbackThreshold = 0.4;
        context.options.resetAnswersOnFeedback = args.at(5) == QLatin1String("1");
        Pupil pupil(switches, DisplayMode(args.at(3).toInt()), FeedbackMode(args.at(4).toInt()));
        RunSetup setup;
        setup.pupilName = QStringLiteral("GIULIA");
        setup.pupilInfo = QStringList{QStringLiteral("classe quarta")};
        setup.scanningAccess = true;
        setup.device = serialTwoSwitch;
        Tesegui run(setup, context);
        armed = true;
        run.exec();
        armed = false;
        say("answers", pupil.answers);
        for (const QString& failure : std::as_const(pupil.failures))
            std::printf("failure %s\n", qPrintable(failure));
        exitCode = pupil.failures.isEmpty() ? 0 : 1;
    } else if (!fresh && args.size() == 4) {
        SeededRandom random(args.at(3).toUInt());
        // The numbers the run has drawn are drawn again, so the run goes on
        // with the ones it would have had.
        const QList<InterruptedRun> runs = interruptedRuns(runJournalFolder(dataRoot));
        if (!runs.isEmpty())
            for (int i = 0; i < runs.first().state.randomDraws; ++i)
                random.upTo(1);
        Pupil pupil(switches, wholeText, noFeedback);
        armed = true;
        offerInterruptedRuns(nullptr, dataRoot, &switches.serial, [&](const InterruptedRun& found) {
            Tesegui run(Tesegui::setupFor(found.start), context);
            run.resumeOnShow(found.path);
            run.exec();
        });
        armed = false;
        say("answers", pupil.answers);
        if (!pupil.offered)
            std::printf("nothing offered\n");
        for (const QString& failure : std::as_const(pupil.failures))
            std::printf("failure %s\n", qPrintable(failure));
        exitCode = pupil.failures.isEmpty() ? 0 : 1;
    } else {
        std::fprintf(stderr, "usage: runhelper fresh|resume <data root> ...\n");
        return 2;
    }
    say("points", points.load());
    setDialogService(nullptr);
    return exitCode;
}
