// Processor time of the pause before each sentence: a run in one-sentence
// display on the real clock, answered sentence after sentence. Every answer
// waits 800 ms before the next sentence and shows the dissolve and reveal
// effects, during which no input is handled. The figure to watch is the
// processor time beside the time on the wall: a pause that waits without
// spinning leaves the processor to the rest of the machine.
//
//   bench_pause [answers]      (default 20)

#include "BenchSupport.h"

#include "execution/Uesegui.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// Processor time of the whole program (every thread), user and system, in ms.
double processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// An exercise of `sentences` short sentences under `longName`.
bool writeExercise(const AppContext& context, const QString& longName, int sentences)
{
    QStringList lines;
    for (int n = 0; n < sentences; ++n) {
        lines << QStringLiteral("~importante~")
              << QStringLiteral("Questa è la frase numero %1 del testo, che il bambino legge e giudica.")
                     .arg(n + 1);
    }
    return saveBenchExercise(context.dataRoot, longName, lines);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int answers = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_pause-XXXXXX"));
    if (!work.isValid())
        return 2;
    // No time limit: only the pauses and effects.
    const AppContext context = benchContext(work.path());
    // One sentence more than the answers: every answer is followed by a pause
    // and a new sentence, and the run does not reach its end.
    const QString name = QStringLiteral("Pause");
    if (!writeExercise(context, name, answers + 1))
        return 2;

    RunSetup setup;
    setup.pupilName = QStringLiteral("BENCH");
    Tesegui run(setup, context);
    if (!run.ready())
        return 2;
    run.firstActivation = false;
    run.resize(1024, 700);
    run.show();
    if (!QTest::qWaitForWindowExposed(&run) || !run.beginRun(name, sentenceBySentence, noFeedback))
        return 2;
    QApplication::processEvents();

    QElapsedTimer wall;
    const double processorBefore = processorMs();
    wall.start();
    for (int i = 0; i < answers; ++i)
        run.clickImportanza(run.importanteBut);
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    const double usedMs = processorMs() - processorBefore;
    run.unsaved = false;

    const bool whole = run.shownSentence == answers;
    std::printf("  %d answers in one-sentence display, each with the 800 ms pause and the effects\n",
                answers);
    std::printf("  %-44s %9.0f ms\n", "time on the wall", wallMs);
    std::printf("  %-44s %9.0f ms   (%.0f%% of the wall time; bound 25%%)\n",
                "processor time (user + system)", usedMs, 100.0 * usedMs / wallMs);
    std::printf("  %-44s %9.1f ms\n", "processor time per answer", usedMs / answers);
    const bool ok = whole && usedMs <= 0.25 * wallMs;
    std::printf(ok ? "all within bounds\n" : "SOME FIGURES ARE OUT OF BOUNDS\n");
    return ok ? 0 : 1;
}
