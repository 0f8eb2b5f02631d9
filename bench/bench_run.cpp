// Speed of the run window: an answer in sentence-by-sentence display (no
// feedback) beside the dissolve and reveal that it shows, an answer and a
// step to the next sentence in whole-text display, on a short exercise and
// on a 1 MB one; and storing a run in a results archive of 10,000 runs beside
// one plain read of that archive. The clock is a fast one, so that the waits
// of the effects and of the pause cost nothing and only the work is measured.
//
//   bench_run [runs]      (default 10000)

#include "BenchSupport.h"

#include "execution/Uesegui.h"
#include "model/Clock.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// What the run windows are given; main fills the folders.
AppContext context;

constexpr double frameMs = 16.0;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double worst(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

QString sentence(int n)
{
    static const char* const words[] = {"il",    "gatto", "dorme",  "sul",    "divano", "di",
                                        "casa",  "mentre", "la",    "volpe",  "guarda", "perché",
                                        "città", "è",     "lontana", "bambini", "scuola", "però"};
    QString s;
    const int count = 10 + n % 9;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += u' ';
        s += QString::fromUtf8(words[(n * 7 + i * 5) % int(std::size(words))]);
    }
    return s + u'.';
}

// An exercise of about `bytes` bytes, two text lines per sentence.
void writeExercise(const QString& longName, int bytes)
{
    QStringList lines;
    int size = 0;
    static const char* const tags[] = {"~nonImportante~", "~importante~", "~moltoImportante~"};
    for (int n = 0; size < bytes; ++n) {
        lines << QLatin1String(tags[n % 3]) << sentence(n) << sentence(n + 1);
        size += lines.at(lines.size() - 1).size() + lines.at(lines.size() - 2).size() + 20;
    }
    saveBenchExercise(context.dataRoot, longName, lines);
}

void report(const char* what, double value, const char* bound)
{
    std::printf("  %-58s %9.2f ms   (%s)\n", what, value, bound);
}

bool answers(const QString& name, bool& ok)
{
    RunSetup setup;
    setup.pupilName = QStringLiteral("BENCH");
    AppContext given = context;
    given.options.maxSentenceTime = 0;
    Tesegui run(setup, given);
    if (!run.ready())
        return false;
    run.firstActivation = false;
    run.resize(1024, 700);
    run.show();
    if (!QTest::qWaitForWindowExposed(&run))
        return false;
    std::printf("%s\n", qPrintable(name));

    // Sentence by sentence: the answer, then the effects alone on the same place.
    if (!run.beginRun(name, sentenceBySentence, noFeedback))
        return false;
    std::vector<double> answerTimes;
    std::vector<double> effectTimes;
    const int rounds = std::min(40, run.model->sentenceCount - 1);
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        run.clickImportanza(run.importanteBut);
        answerTimes.push_back(msSince(t));

        QImage screen = run.screenPicture();
        t.restart();
        auto shown = [&run]() { run.PaintCanvas->repaint(); };
        dissolveToColour(screen, 0, run.shownTop, Qt::white, 6, run.shownHeight,
                         run.PaintCanvas->width(), shown);
        revealBands(screen, 0, run.shownTop, run.PaintCanvas->picture(), 1, run.shownHeight,
                    run.PaintCanvas->width(), shown);
        effectTimes.push_back(msSince(t));
    }
    std::vector<double> beyond;
    for (size_t i = 0; i < answerTimes.size(); ++i)
        beyond.push_back(answerTimes[i] - effectTimes[i]);
    report("answer, one sentence at a time (median)", median(answerTimes), "whole");
    report("dissolve and reveal alone (median)", median(effectTimes), "whole");
    report("answer beyond the effects (median)", median(beyond), "<= 16 ms");
    report("answer beyond the effects (worst)", worst(beyond), "<= 16 ms");
    ok = ok && median(beyond) <= frameMs;

    // Whole text: an answer and a step to the next sentence.
    run.beginRun(name, wholeText, noFeedback);
    QApplication::processEvents();   // what starting the run left to do
    std::vector<double> wholeAnswers;
    std::vector<double> steps;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer t;
        t.start();
        run.clickImportanza(i % 2 ? run.importanteBut : run.moltoImportanteBut);
        wholeAnswers.push_back(msSince(t));
        t.restart();
        run.giuButClick();
        steps.push_back(msSince(t));
    }
    report("answer, whole text (median)", median(wholeAnswers), "<= 16 ms");
    report("answer, whole text (worst)", worst(wholeAnswers), "<= 16 ms");
    report("next sentence, whole text (median)", median(steps), "<= 16 ms");
    ok = ok && median(wholeAnswers) <= frameMs && median(steps) <= frameMs;
    run.unsaved = false;
    return true;
}

QStringList storedRun(int n)
{
    QStringList block{QStringLiteral("[identificatore=ALUNNO%1^PROVA%2]").arg(n % 40).arg(n),
                      QStringLiteral("[informazioni]"),
                      QStringLiteral("NOME=ALUNNO%1").arg(n % 40),
                      QStringLiteral("ALTRE INFORMAZIONI:"),
                      QStringLiteral("NOME ESERCIZIO=Il gatto"),
                      QStringLiteral("COMPITO:"),
                      QStringLiteral("Evidenzia le frasi importanti."),
                      QStringLiteral("DATA=01/01/2026 10:00:00"),
                      QStringLiteral("TIPO DI VISUALIZZAZIONE=una frase per volta"),
                      QStringLiteral("TIPO DI FEEDBACK=nessun feedback"),
                      QStringLiteral("[testo]")};
    for (int s = 0; s < 50; ++s)
        block << QStringLiteral("~importante~") << sentence(n + s);
    block << QStringLiteral("[storia]");
    for (int s = 0; s < 50; ++s)
        block << QStringLiteral("%1|%2|").arg(s).arg(s % 3);
    return block;
}

bool archive(int runs, bool& ok)
{
    const QString folder = context.dataRoot + QStringLiteral("risult");
    {
        QFile file(folder + QStringLiteral("/risult.sal"));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (int n = 0; n < runs; ++n)
            file.write(encodeCp1252(storedRun(n).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }
    std::printf("results archive of %d runs, %.1f MB\n", runs,
                double(QFileInfo(folder + QStringLiteral("/risult.sal")).size()) / 1e6);

    RunSetup setup;
    setup.pupilName = QStringLiteral("BENCH");
    Tesegui run(setup, context);
    run.firstActivation = false;
    if (!run.beginRun(QStringLiteral("Corto"), wholeText, noFeedback))
        return false;
    for (int i = 0; i < run.model->sentenceCount; ++i) {
        run.model->currentSentence = i;
        run.clickImportanza(run.importanteBut);
    }
    std::vector<double> reads;
    std::vector<double> saves;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        QFile file(folder + QStringLiteral("/risult.sal"));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QStringList lines = splitLines(decodeCp1252(file.readAll()));
        reads.push_back(msSince(t));
        if (lines.size() < runs)
            return false;

        TesercizioSvolto stored = run.run;
        stored.runName = QStringLiteral("MISURA%1").arg(i);
        t.restart();
        if (!run.model->writeRun(folder, QStringLiteral("risult"), QStringLiteral("sal"), stored))
            return false;
        saves.push_back(msSince(t));
    }
    report("plain read of the archive (median)", median(reads), "reference");
    report("saving a run into it (median)", median(saves), "<= 3 x the read");
    std::printf("  ratio %.2f\n", median(saves) / median(reads));
    ok = ok && median(saves) <= 3 * median(reads);
    run.unsaved = false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_run-XXXXXX"));
    if (!work.isValid())
        return 2;
    context = benchContext(work.path());
    context.options.maxSentenceTime = RunOptions().maxSentenceTime;
    FastClock clock;
    setMsClock(&clock);

    writeExercise(QStringLiteral("Corto"), 4000);
    writeExercise(QStringLiteral("Un mega"), 1 << 20);

    bool ok = true;
    if (!answers(QStringLiteral("Corto"), ok) || !answers(QStringLiteral("Un mega"), ok)
        || !archive(runs, ok)) {
        std::printf("the benchmark could not run\n");
        setMsClock(nullptr);
        return 2;
    }
    setMsClock(nullptr);
    std::printf(ok ? "all within bounds\n" : "SOME FIGURES ARE OUT OF BOUNDS\n");
    return ok ? 0 : 1;
}
