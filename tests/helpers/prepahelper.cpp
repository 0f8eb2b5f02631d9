// A teacher in a process of its own, for the crash tests of unsaved work: it
// changes an exercise in the real preparation window, or a text in the real
// text editor, so that a test can kill it at any moment and look at what the
// next window offers.
//
//   prepahelper exercise <program folder> <data root> <recovery folder> <seed> <changes>
//       converts a text of 30 sentences and makes <changes> changes of every
//       kind the keys and the menus make (levels, the task, removals, undo,
//       redo), chosen by <seed>
//   prepahelper editor <program folder> <data root> <recovery folder> <seed> <changes>
//       types, deletes and pastes in a new text, <changes> times
//
// After each change it prints "state <n> <digest>" (the work as the window
// holds it), lets the window hand it to its recovery file, waits until the
// file is on the disk and prints "written <n>", so that at any moment the
// file holds the last state written or, during a write, the one after it.
//
// Killing: with PREPAHELPER_KILL_AT=k the process kills itself (SIGKILL) at
// the k-th point of the file-system calls made on the recovery files (not
// their lock files; see KillPoints.h): before a call, halfway through a
// write, or after it. With PREPAHELPER_KILL_CHANGE=n it
// kills itself as it is about to make its n-th change. With PREPAHELPER_HOLD
// set it waits, once done, until its standard input is closed. It prints
// "points <p>" (the points of the whole run) at the end.

#include "authoring/Uedit.h"
#include "authoring/Uprepara.h"
#include "authoring/Urecupero.h"
#include "model/DialogService.h"
#include "support/TestSupport.h"
#include "KillPoints.h"

#include <QApplication>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <cstdio>
#include <cstring>

// A recovery file and its temporary files; not the lock files.
bool watchedFile(const char* path)
{
    return path && std::strstr(path, "recupero") != nullptr && !std::strstr(path, ".lock");
}

using killpoints::armed;
using killpoints::killAt;
using killpoints::points;

namespace {

// Every question is answered Sì (removing a sentence is the only one asked);
// any other message ends the process, as a fault.
class YesDialogs final : public DialogService
{
public:
    DialogButton ask(const QString&, const QString& text, DialogButtons buttons, DialogIcon) override
    {
        if (!(buttons & YesButton)) {
            std::printf("message %s\n", qPrintable(text));
            std::fflush(stdout);
            std::_Exit(3);
        }
        return YesButton;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }
};

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The window's change handed to its recovery file and written.
void mirrored(int n, const QString& digest, Trecupero* recovery)
{
    say(QStringLiteral("state %1 %2").arg(n).arg(digest));
    while (recovery->timerRecupero->isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (recovery->file())
        recovery->file()->waitForWriter();
    say(QStringLiteral("written %1").arg(n));
}

int killChange()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("PREPAHELPER_KILL_CHANGE", &ok);
    return ok ? n : -1;
}

QString digestOf(const Tprepara& window)
{
    const Tprepara::ExerciseState state = window.exerciseState();
    return testsupport::workDigest(state.name, state.task, state.current, state.lines);
}

void changeExercise(Tprepara& window, QRandomGenerator& random, int changes)
{
    QStringList lines;
    for (int i = 1; i <= 30; ++i)
        lines << QStringLiteral("Frase numero %1 del racconto, con qualche parola in più.").arg(i);
    window.takeConvertedText(lines, QLatin1Char('.'));
    mirrored(0, digestOf(window), window.recovery());
    const int stopAt = killChange();
    QPushButton* const levels[] = {window.nonImportanteBut, window.importanteBut, window.moltoImportanteBut};
    for (int n = 1; n <= changes; ++n) {
        if (n == stopAt)
            ::raise(SIGKILL);
        QUndoStack* stack = window.undoStack();
        const int kind = int(random.bounded(10));
        if (kind < 4) {
            for (int moves = int(random.bounded(4)); moves > 0; --moves)
                QTest::keyClick(window.nonImportanteBut, Qt::Key_Down);
            QTest::mouseClick(levels[random.bounded(3)], Qt::LeftButton);
        } else if (kind < 6) {
            QTest::mouseClick(window.suggBut, Qt::LeftButton);
            QTest::keyClicks(window.Memo1, QStringLiteral(" parola%1").arg(n));
            QTest::keyClick(window.Memo1, Qt::Key_Escape);
        } else if (kind < 7 && window.textModel()->sentenceCount > 5) {
            window.rimuovi->trigger();
        } else if (kind < 9 && stack->index() > 1) {
            QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
        } else if (stack->canRedo()) {
            QTest::keyClick(&window, Qt::Key_Y, Qt::ControlModifier);
        } else {
            QTest::mouseClick(levels[n % 3], Qt::LeftButton);
        }
        mirrored(n, digestOf(window), window.recovery());
    }
}

void changeText(TeditForm& editor, QRandomGenerator& random, int changes)
{
    const int stopAt = killChange();
    for (int n = 1; n <= changes; ++n) {
        if (n == stopAt)
            ::raise(SIGKILL);
        const int kind = int(random.bounded(4));
        if (kind == 0 && !editor.MemoEdit->document()->isEmpty()) {
            QTest::keyClick(editor.MemoEdit, Qt::Key_Backspace);
        } else if (kind == 1) {
            editor.MemoEdit->insertPlainText(QStringLiteral("Riga incollata %1.\n").arg(n));
        } else {
            QTest::keyClicks(editor.MemoEdit, QStringLiteral("parola%1 ").arg(n));
            if (kind == 3)
                QTest::keyClick(editor.MemoEdit, Qt::Key_Return);
        }
        mirrored(n, testsupport::workDigest(editor.textPath, QString(), 0,
                                            editor.MemoEdit->plainText().split(QLatin1Char('\n'))),
                 editor.recovery());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 7) {
        std::fprintf(stderr, "uso: prepahelper exercise|editor <programma> <dati> <recupero> <seme> <modifiche>\n");
        return 2;
    }
    YesDialogs dialogs;
    setDialogService(&dialogs);
    AppContext context = testsupport::makeContext(args.at(2), args.at(3));
    context.recoveryFolder = args.at(4);
    QRandomGenerator random(args.at(5).toUInt());
    const int changes = args.at(6).toInt();
    Trecupero::setDelayForTests(0);
    bool ok = false;
    killAt = qEnvironmentVariableIntValue("PREPAHELPER_KILL_AT", &ok);
    armed = true;

    if (args.at(1) == QLatin1String("editor")) {
        TeditForm editor(context, nullptr);
        editor.show();
        changeText(editor, random, changes);
    } else {
        Tprepara window(context);
        window.show();
        if (!window.loadError().isEmpty()) {
            say(window.loadError());
            return 2;
        }
        changeExercise(window, random, changes);
        say(QStringLiteral("points %1").arg(points.load()));
        if (qEnvironmentVariableIsSet("PREPAHELPER_HOLD")) {
            say(QStringLiteral("holding"));
            char c;
            while (::read(0, &c, 1) > 0) {
            }
        }
        // Ends as a crash does: the window is not closed, its file stays.
        std::_Exit(0);
    }
    say(QStringLiteral("points %1").arg(points.load()));
    std::_Exit(0);
}
