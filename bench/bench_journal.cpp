// Cost of the journal of a run in progress: 2,000 answers in whole-text
// display on a 1 MB exercise, each answer timed as the pupil waits for it
// (the answer, its mark on screen and the journal record handed to the
// writer); the journal's own share (a record handed to the writer, the
// history growing to 2,000 entries); and how long after an answer began its
// record is on the disk (written and flushed on the writer's thread, which
// the pupil never waits for).
//
//   bench_journal [answers]      (default 2000)

#include "BenchSupport.h"

#include "execution/Uesegui.h"
#include "model/Clock.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/RunJournal.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double frameMs = 16.0;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int answers = argc > 1 ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 2000;
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_journal-XXXXXX"));
    if (!work.isValid())
        return 2;
    const AppContext context = benchContext(work.path());
    FastClock clock;
    setMsClock(&clock);

    // A 1 MB exercise, one text line per sentence, the three levels in turn.
    const QStringList text = italianText(1 << 20);
    QStringList lines;
    static const char* const tags[] = {"~nonImportante~", "~importante~", "~moltoImportante~"};
    for (qsizetype n = 0; n < text.size(); ++n)
        lines << QLatin1String(tags[n % 3]) << text.at(n);
    saveBenchExercise(context.dataRoot, QStringLiteral("Un mega"), lines);

    RunSetup setup;
    setup.pupilName = QStringLiteral("BENCH");
    Tesegui run(setup, context);
    if (!run.ready())
        return 2;
    run.firstActivation = false;
    run.resize(1024, 700);
    run.show();
    if (!QTest::qWaitForWindowExposed(&run) || !run.beginRun(QStringLiteral("Un mega"), wholeText, noFeedback)
        || !run.runJournal()) {
        std::printf("the benchmark could not run\n");
        return 2;
    }
    QApplication::processEvents();
    std::printf("%d answers on an exercise of %lld sentences (%.1f MB)\n", answers,
                static_cast<long long>(run.model->sentenceCount), double(lines.join(QString()).size()) / 1e6);

    // The answers as the pupil waits for them, the journal's writer left to
    // its own pace.
    std::vector<double> answered;
    const int count = std::min(answers, run.model->sentenceCount - 1);
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        run.clickImportanza(i % 2 ? run.importanteBut : run.moltoImportanteBut);
        answered.push_back(msSince(t));
        run.giuButClick();
        if (i % 50 == 0)
            QApplication::processEvents();
    }
    run.runJournal()->waitForWriter();
    const qint64 journalBytes = QFileInfo(run.runJournal()->path()).size();

    // Each answer again, this time waiting for its record to be on the disk:
    // how long after the answer began a crash would lose nothing.
    std::vector<double> onDisk;
    run.handleKey(Qt::Key_Home);
    for (int i = 0; i < std::min(count, 300); ++i) {
        QElapsedTimer t;
        t.start();
        run.clickImportanza(i % 2 ? run.moltoImportanteBut : run.importanteBut);
        run.runJournal()->waitForWriter();
        onDisk.push_back(msSince(t));
        run.giuButClick();
    }

    // The journal's own share of an answer on the window's thread: handing
    // a record of the whole state to the writer, the history growing to the
    // number of answers.
    std::vector<double> handed;
    {
        RunJournalStart start;
        start.started = QDateTime::currentDateTime();
        start.pupilName = QStringLiteral("BENCH");
        start.exerciseName = QStringLiteral("Un mega");
        start.exerciseText = lines;
        RunJournal journal(context.dataRoot + QStringLiteral("altro"), start);
        RunJournalState state;
        for (int i = 0; i < count; ++i) {
            state.historyFirst << QString::number(i);
            state.historySecond << QString::number(i % 3);
            state.historyThird << QString();
            state.currentSentence = i;
            QElapsedTimer t;
            t.start();
            journal.record(state);
            handed.push_back(msSince(t));
        }
        journal.waitForWriter();
        journal.remove();
    }
    const bool failed = run.runJournal()->failed();

    const Times answer = timesFrom(answered);
    report("answer with its journal record", answer, "<= 16 ms");
    const Times own = timesFrom(handed);
    report("the journal's share of it (the record handed)", own, "<= 16 ms");
    report("answer until its record is on the disk", timesFrom(onDisk), "not waited for");
    std::printf("journal of %lld history entries: %.1f KB%s\n",
                static_cast<long long>(run.run.historyFirst.size()), double(journalBytes) / 1024,
                failed ? " (A WRITE FAILED)" : "");
    run.unsaved = false;
    setMsClock(nullptr);
    const bool ok = answer.median <= frameMs && own.worst <= frameMs && !failed;
    std::printf(ok ? "all within bounds\n" : "SOME FIGURES ARE OUT OF BOUNDS\n");
    return ok ? 0 : 1;
}
