// Speed of a pupil's progress: a results file of 10,000 stored runs of about
// 50 sentences each, 1,000 of them by one pupil (five exercises, with the
// time of every answer), and the progress window opened on that pupil, from
// its creation to both charts painted, beside one plain sequential read of
// the same file (bound: 2 x).
//
//   bench_andamento [runs]      (default 10000; one run in ten is the pupil's)

#include "BenchSupport.h"
#include "model/Funzioni.h"
#include "results/Uandamento.h"
#include "results/Urisult.h"
#include "model/ResultsFile.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineSeries>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

namespace {



bool pupilsRun(int run)
{
    return run % 10 == 0;
}

// One stored run, as the run window writes it; the pupil's runs one day
// apart, every answer timed.
QStringList runBlock(int run)
{
    static const char* const tags[] = {"~nonImportante~", "~importante~", "~moltoImportante~"};
    const QString pupil = pupilsRun(run) ? QStringLiteral("MARIO")
                                         : QStringLiteral("ALUNNO%1").arg(run % 40);
    const QDateTime date = QDateTime(QDate(2020, 9, 1), QTime(9, 0)).addSecs(qint64(run) * 8640);
    QStringList block{QStringLiteral("[identificatore=%1^PROVA%2]").arg(pupil).arg(run),
                      QStringLiteral("[informazioni]"),
                      QStringLiteral("NOME=") + pupil,
                      QStringLiteral("ALTRE INFORMAZIONI:"),
                      QStringLiteral("classe terza"),
                      QStringLiteral("NOME ESERCIZIO=Esercizio %1").arg(run / 10 % 5 + 1),
                      QStringLiteral("COMPITO:"),
                      QStringLiteral("Sottolinea le frasi importanti."),
                      QStringLiteral("DATA=") + date.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                      QStringLiteral("TIPO DI VISUALIZZAZIONE=una frase per volta"),
                      QStringLiteral("TIPO DI FEEDBACK=a metà e alla fine"),
                      QStringLiteral("[testo]")};
    const int sentences = 45 + run % 11;
    for (int s = 0; s < sentences; ++s) {
        block << QString::fromLatin1(tags[(s + run) % 3]);
        const QString text = archiveSentence(s + run);
        if (text.size() > 50) {
            const qsizetype cut = text.indexOf(u' ', 40);
            block << text.left(cut) << text.mid(cut + 1);
        } else {
            block << text;
        }
    }
    block << QStringLiteral("[storia]");
    for (int s = 0; s < sentences; ++s)
        block << QStringLiteral("%1|%2| |%3").arg(s).arg((s * 3 + run) % 3).arg(1500 + (s * 37 + run) % 4000);
    return block;
}

// Processor time of this thread.
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double medianMs(int repeats, const std::function<void()>& action)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    // Run with QT_QPA_PLATFORM=offscreen, or under a display.
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    AppContext context;
    context.dataRoot = dir.path() + QLatin1Char('/');
    const QString folder = resultsFolderIn(context.dataRoot);
    QDir().mkpath(folder);
    const QString path = sectionFilePath(folder, resultsName, resultsExtension);
    if (!writeBenchArchive(path, runs, runBlock)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const int pupils = (runs + 9) / 10;
    std::printf("results file: %d runs, %d of them by MARIO, %.1f MB\n", runs, pupils,
                double(QFileInfo(path).size()) / (1024.0 * 1024.0));

    const double plainMs = medianMs(7, [&] {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll().isEmpty())
            std::fprintf(stderr, "empty read\n");
    });
    std::printf("%-40s %9.1f ms\n", "plain sequential read (QFile)", plainMs);

    // Reading and working out the points alone.
    PupilProgress progress;
    const double readMs = medianMs(5, [&] { readPupilProgress(folder, QStringLiteral("MARIO"), progress); });
    if (progress.runs.size() != pupils)
        std::fprintf(stderr, "the pupil has %lld runs\n", static_cast<long long>(progress.runs.size()));
    std::printf("%-40s %9.1f ms  = %5.2f x plain read\n", "the pupil's points worked out", readMs,
                readMs / plainMs);

    // The window: created, shown, both charts painted; timed in turn with a
    // plain read, so that both see the same load of the machine. The
    // processor time of the thread is compared (the machine is shared: the
    // time other programs take is left out); the wall time is shown too.
    qsizetype points = 0;
    std::vector<double> opens, reads, openWalls, readWalls;
    for (int i = 0; i < 11; ++i) {
        QElapsedTimer wall;
        wall.start();
        double cpu = threadMs();
        {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().isEmpty())
                std::fprintf(stderr, "empty read\n");
        }
        reads.push_back(threadMs() - cpu);
        readWalls.push_back(double(wall.nsecsElapsed()) / 1e6);
        wall.restart();
        cpu = threadMs();
        {
            TandamentoForm form(context, QStringLiteral("MARIO"));
            form.show();
            form.ChartErrori->grab();
            form.ChartTempi->grab();
            for (QAbstractSeries* series : form.ChartErrori->chart()->series()) {
                if (series->name() == QStringLiteral("tutti gli esercizi"))
                    points = static_cast<QLineSeries*>(series)->count();
            }
        }
        opens.push_back(threadMs() - cpu);
        openWalls.push_back(double(wall.nsecsElapsed()) / 1e6);
    }
    std::vector<double> points1;
    for (int i = 0; i < 7; ++i) {
        const double cpu = threadMs();
        PupilProgress p;
        readPupilProgress(folder, QStringLiteral("MARIO"), p);
        points1.push_back(threadMs() - cpu);
    }
    std::sort(points1.begin(), points1.end());
    std::printf("points alone: %.1f ms processor\n", points1[3]);
    std::vector<double> scans, plains;
    for (int i = 0; i < 9; ++i) {
        double cpu = threadMs();
        {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().isEmpty())
                std::fprintf(stderr, "empty read\n");
        }
        plains.push_back(threadMs() - cpu);
        cpu = threadMs();
        QList<BlockBytes> none;
        QStringList ids;
        readBlockBytes(none, resultsKey, folder, resultsName, resultsExtension,
                       [](const QString&) { return false; }, &ids);
        scans.push_back(threadMs() - cpu);
    }
    std::sort(scans.begin(), scans.end());
    std::sort(plains.begin(), plains.end());
    std::printf("scan alone: %.1f ms processor against %.1f\n", scans[4], plains[4]);
    for (auto* v : {&opens, &reads, &openWalls, &readWalls})
        std::sort(v->begin(), v->end());
    if (points != pupils)
        std::fprintf(stderr, "the chart shows %lld points\n", static_cast<long long>(points));
    const double openMs = opens[opens.size() / 2];
    const double readAgainMs = reads[reads.size() / 2];
    const double ratio = openMs / readAgainMs;
    std::printf("plain read: %.1f ms processor, %.1f ms wall; progress window with both charts: "
                "%.1f ms processor, %.1f ms wall\n",
                readAgainMs, readWalls[readWalls.size() / 2], openMs, openWalls[openWalls.size() / 2]);
    std::printf("%-40s %9.2f x plain read (bound 2 x)  %s\n", "progress window opens",
                ratio, ratio <= 2 ? "ok" : "OVER");
    return 0;
}
