// Speed of the results archive: a results file of 10,000 stored runs of about
// 50 sentences each, and the four section-file operations on it, each beside
// one plain sequential read of the same file.
//
//   bench_archive [runs]      (default 10000)

#include "common/AppContext.h"
#include "BenchSupport.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"
#include "results/Uscform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <unistd.h>

namespace {

const QString key = QStringLiteral("identificatore");
const QString fileName = QStringLiteral("risult");
const QString extension = QStringLiteral("sal");



QString runId(int run)
{
    return QStringLiteral("ALUNNO%1^PROVA%2").arg(run % 40).arg(run);
}

// One stored run, as the run window writes it.
QStringList runBlock(int run)
{
    static const char* const tags[] = {"~nonImportante~", "~importante~", "~moltoImportante~"};
    QStringList block{QStringLiteral("[identificatore=%1]").arg(runId(run)),
                      QStringLiteral("[informazioni]"),
                      QStringLiteral("NOME=ALUNNO%1").arg(run % 40),
                      QStringLiteral("ALTRE INFORMAZIONI:"),
                      QStringLiteral("classe terza"),
                      QStringLiteral("NOME ESERCIZIO=Il gatto e la volpe"),
                      QStringLiteral("COMPITO:"),
                      QStringLiteral("Sottolinea le frasi importanti."),
                      QStringLiteral("DATA=08/12/2026 10:15:00"),
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
        block << QStringLiteral("%1|%2|").arg(s).arg((s * 3 + run) % 3);
    return block;
}

double medianMs(int repeats, const std::function<void()>& action,
                const std::function<void()>& before = {})
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double ms, double plainMs, double bound)
{
    const double ratio = ms / plainMs;
    std::printf("%-34s %9.1f ms  = %5.2f x plain read   (bound %.0f x)  %s\n", what, ms, ratio,
                bound, ratio <= bound ? "ok" : "OVER");
}

} // namespace

int main(int argc, char** argv)
{
    // Widgets for the results chooser (run with QT_QPA_PLATFORM=offscreen).
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(2, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    // The archive where the program keeps it: the data root + "risult".
    AppContext context;
    context.dataRoot = dir.path() + QLatin1Char('/');
    const QString folder = context.dataRoot + QStringLiteral("risult");
    QDir().mkpath(folder);
    const QString path = sectionFilePath(folder, fileName, extension);

    // The archive, written in one go.
    if (!writeBenchArchive(path, runs, runBlock)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double megabytes = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("results file: %d runs, %.1f MB\n", runs, megabytes);

    const double plainMs = medianMs(7, [&] {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray all = file.readAll();
            if (all.isEmpty())
                std::fprintf(stderr, "empty read\n");
        }
    });
    std::printf("%-34s %9.1f ms\n", "plain sequential read (QFile)", plainMs);

    QStringList values;
    const double listMs = medianMs(5, [&] { listValues(values, key, folder, fileName, extension); });
    if (values.size() != runs)
        std::fprintf(stderr, "listValues found %lld runs\n", static_cast<long long>(values.size()));
    report("listValues", listMs, plainMs, 3);

    int pupils = 0;
    const double chooserMs = medianMs(5, [&] {
        TscegliRisultatiForm chooser(context);
        pupils = chooser.ComboBox1->count();
    });
    if (pupils != std::min(runs, 40))
        std::fprintf(stderr, "the chooser lists %d pupils\n", pupils);
    report("results chooser opens", chooserMs, plainMs, 2);

    QStringList block;
    const double readMs = medianMs(
        5, [&] { readBlock(block, key, runId(runs - 1), false, folder, fileName, extension); });
    if (block.size() + 1 != runBlock(runs - 1).size())
        std::fprintf(stderr, "readBlock returned %lld lines\n", static_cast<long long>(block.size()));
    report("readBlock of the last run", readMs, plainMs, 3);

    const QStringList extra = runBlock(runs);
    const double appendMs = medianMs(5, [&] { appendLines(extra, folder, fileName, extension); });
    report("appendLines of one run", appendMs, plainMs, 3);

    // What the lock and the journal cost an append: the same append done
    // with a plain write and flush, the lock alone, and the append under the
    // journal without the lock, each the median of many, interleaved.
    {
        const QByteArray bytes = encodeCp1252(extra.join(QStringLiteral("\r\n"))) + "\r\n";
        std::vector<double> plain, journalled, locked, whole;
        for (int i = 0; i < 41; ++i) {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
                return 1;
            QElapsedTimer t;
            t.start();
            const qint64 size = file.size();
            file.seek(size);
            file.write(bytes);
            ::fsync(file.handle());
            plain.push_back(double(t.nsecsElapsed()) / 1e6);
            t.restart();
            appendJournalled(path, file.handle(), file.size(), bytes);
            journalled.push_back(double(t.nsecsElapsed()) / 1e6);
            file.close();
            t.restart();
            { const FileLock lock(path); }
            locked.push_back(double(t.nsecsElapsed()) / 1e6);
            t.restart();
            appendLines(extra, folder, fileName, extension);
            whole.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        for (auto* v : {&plain, &journalled, &locked, &whole})
            std::sort(v->begin(), v->end());
        const double p = plain[20], j = journalled[20], l = locked[20], w = whole[20];
        std::printf("append: plain write+flush %.2f ms, journalled %.2f ms, lock %.3f ms, "
                    "appendLines %.2f ms\n", p, j, l, w);
        std::printf("  lock adds %.1f%%, journal adds %.1f%% to a plain append\n",
                    100.0 * l / p, 100.0 * (j - p) / p);
    }

    // A run replaced: one rewrite with the new block at the end, under the lock.
    {
        std::vector<double> replace, locked;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            replaceBlock(key, runId(runs - 2 - i), runBlock(runs - 2 - i), folder, fileName, extension);
            replace.push_back(double(t.nsecsElapsed()) / 1e6);
            t.restart();
            { const FileLock lock(path); }
            locked.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::sort(replace.begin(), replace.end());
        std::sort(locked.begin(), locked.end());
        report("replaceBlock of a run", replace[2], plainMs, 5);
        std::printf("  lock adds %.3f%% to a replacement\n", 100.0 * locked[2] / replace[2]);
    }

    // Each removal takes away the run that is first in the file at that moment
    // (the whole file is rewritten and flushed to the disk).
    int removed = 0;
    const double removeMs = medianMs(3, [&] {
        if (removeBlock(key, runId(removed), folder, fileName, extension))
            ++removed;
    });
    report("removeBlock of the first run", removeMs, plainMs, 5);
    listValues(values, key, folder, fileName, extension);
    if (values.size() != runs + 5 + 3 * 41 - removed)
        std::fprintf(stderr, "after removal: %lld runs\n", static_cast<long long>(values.size()));
    return 0;
}
