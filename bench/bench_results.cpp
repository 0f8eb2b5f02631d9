// Speed of the results window on a long run: a stored run of about 1 MB of
// marked text with 2,000 history steps (a reset every 50 steps) is loaded into
// the results window at 1024 x 768, then steps are chosen in a random order
// and one after the other. Each choice is timed from the step list to both
// surfaces repainted on screen (replay, marking, scrolling, drawing, repaint);
// the bound is one frame (16 ms). The summary counts are timed too.
//
//   bench_results [steps]     (default 2000)

#include "model/Funzioni.h"
#include "results/Urisult.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

const char* const vocabulary[] = {
    "la",      "volpe",    "corre",   "nel",    "bosco",  "mentre",  "il",       "sole",
    "tramonta", "dietro",  "alle",    "colline", "della",  "valle",   "gli",      "alunni",
    "leggono", "insieme",  "una",     "storia",  "antica", "perché",  "città",    "lontana",
    "è",       "piena",    "di",      "torri",   "più",    "alte",    "però",     "nessuno",
};

// About `bytes` of marked text: sentences of 8 to 30 words, lines of at most
// 80 characters, levels in turn.
QStringList markedText(int bytes)
{
    static const char* const tags[] = {"~nonImportante~", "~importante~", "~moltoImportante~"};
    QStringList lines;
    quint32 seed = 12345;
    auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    int total = 0;
    int sentence = 0;
    while (total < bytes) {
        lines << QString::fromLatin1(tags[sentence++ % 3]);
        const int words = 8 + int(next(23));
        QString line;
        for (int w = 0; w < words; ++w) {
            QString word = QString::fromUtf8(vocabulary[next(std::size(vocabulary))]);
            if (w == 0)
                word[0] = word.at(0).toUpper();
            if (!line.isEmpty() && line.size() + word.size() > 78) {
                total += int(line.size()) + 2;
                lines << line;
                line.clear();
            }
            line += line.isEmpty() ? word : QLatin1Char(' ') + word;
        }
        line += QLatin1Char('.');
        total += int(line.size()) + 2;
        lines << line;
    }
    return lines;
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// CPU time of this thread: the work itself, without the time the machine
// gave to other programs (the benchmarks share a busy machine).
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Timing {
    std::vector<double> wall;
    std::vector<double> cpu;
    void measure(const std::function<void()>& action)
    {
        QElapsedTimer timer;
        const double cpuStart = threadMs();
        timer.start();
        action();
        wall.push_back(msSince(timer));
        cpu.push_back(threadMs() - cpuStart);
    }
};

void report(const char* what, Timing timing, double bound)
{
    for (auto* times : {&timing.wall, &timing.cpu})
        std::sort(times->begin(), times->end());
    auto median = [](const std::vector<double>& t) { return t[t.size() / 2]; };
    std::printf("%-38s wall: median %6.2f worst %6.2f ms | cpu: median %6.2f worst %6.2f ms"
                "  (bound %.0f ms)  %s\n",
                what, median(timing.wall), timing.wall.back(), median(timing.cpu),
                timing.cpu.back(), bound, timing.cpu.back() <= bound ? "ok" : "OVER");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(2, QString::fromLocal8Bit(argv[1]).toInt()) : 2000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    AppContext context;
    context.dataRoot = dir.path() + QLatin1Char('/');
    QDir().mkpath(resultsFolderIn(context.dataRoot));

    Tparametri params;
    params.mode = fromExercise;
    params.source = markedText(1 << 20);
    params.compito = QStringLiteral("Sottolinea le frasi importanti.");
    Tevidenziatore model(params);
    const int sentences = model.sentenceCount;
    model.hideAnswers();
    TesercizioSvolto run;
    run.pupilName = QStringLiteral("MARIO");
    run.exerciseName = QStringLiteral("Testo lungo");
    run.runName = QStringLiteral("PROVA");
    quint32 seed = 7;
    auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % bound);
    };
    for (int i = 0; i < steps; ++i) {
        run.historyFirst << QString::number(next(quint32(sentences)));
        run.historySecond << QString::number(next(3));
        run.historyThird << QString();
        if (i % 50 == 49) {
            const int from = next(quint32(sentences));
            run.historyFirst << QStringLiteral("-1");
            run.historySecond << QString::number(from);
            run.historyThird << QString::number(std::min(sentences - 1, from + 5));
        }
    }
    if (!model.writeRun(resultsFolderIn(context.dataRoot), resultsName, resultsExtension, run)) {
        std::fprintf(stderr, "the run could not be stored\n");
        return 1;
    }
    std::printf("run: %d sentences, %lld text lines, %d steps\n", sentences,
                static_cast<long long>(params.source.size()), steps);

    Trisultati window(context);
    window.resize(1024, 768);
    window.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    if (!window.loadRun(QStringLiteral("MARIO^PROVA"))) {
        std::fprintf(stderr, "the run could not be loaded\n");
        return 1;
    }
    window.PaintCanvas1->repaint();
    window.PaintCanvas2->repaint();
    std::printf("%-40s %7.1f ms\n", "loading the run (read, layout, draw)", msSince(timer));

    Timing random;
    for (int i = 0; i < 200; ++i) {
        const int item = next(quint32(steps + 1));
        random.measure([&] {
            window.ComboPassi->setCurrentIndex(item);
            window.PaintCanvas1->repaint();
            window.PaintCanvas2->repaint();
        });
    }
    report("choosing a step in a random order", random, 16);

    Timing stepping;
    window.ComboPassi->setCurrentIndex(steps / 2);
    for (int i = 0; i < 200; ++i) {
        stepping.measure([&] {
            window.Buttonpiu->click();
            window.PaintCanvas1->repaint();
            window.PaintCanvas2->repaint();
        });
    }
    report("\"+\" one step after the other", stepping, 16);

    Timing counting;
    for (int i = 0; i < 5; ++i) {
        counting.measure([&] {
            if (window.countAnswers().total() == 0)
                std::fprintf(stderr, "no answer counted\n");
        });
    }
    report("counting the answers (summary table)", counting, 100);
    return 0;
}
