// Runs cut short. A run window that goes without being closed (as in a
// crash) leaves the journal of its run; choosing the same exercise for the
// same pupil offers it, and the run goes on where it stopped. A journal that
// another window is writing is never offered; an exercise changed since, a
// damaged journal and a file that is no journal are said plainly and can
// only be stored, deleted or kept. The run keeps the pupil's profile.

#include "common/AppContext.h"
#include "execution/RadioGroup.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Uesegui.h"
#include "execution/Uripresa.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/RunJournal.h"
#include "support/ModalSteps.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;
using testsupport::writeBytes;
using Modals = ModalSteps<Tesegui>;

class TestResume : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir data;
    AppContext context;
    std::unique_ptr<ScriptedDialogs> scripted;
    std::unique_ptr<FakeClock> clock;

    QString journals() const { return runJournalFolder(context.dataRoot); }
    QStringList journalFiles() const { return QDir(journals()).entryList(QDir::Files); }

    void writeExercise(const QList<int>& levels)
    {
        QVERIFY(testsupport::writeStoryExercise(context.dataRoot, QStringLiteral("Storia"), levels));
    }

    static RunSetup giulia()
    {
        RunSetup setup;
        setup.pupilName = QStringLiteral("GIULIA");
        setup.pupilInfo = QStringList{QStringLiteral("classe quarta")};
        setup.profile.scan.stepMs = 2500;
        setup.profile.scan.largeFrame = true;
        return setup;
    }

    // Shows the run window: the introduction is closed, the chooser takes
    // "Storia", whole text, no feedback.
    static bool open(Tesegui& run, Modals& modals)
    {
        modals.then(QStringLiteral("introduction"), [](QWidget* w) {
            auto form = qobject_cast<TanimazioneForm*>(w);
            QVERIFY(form);
            form->okBut->click();
        });
        modals.then(QStringLiteral("chooser"), [](QWidget* w) {
            auto chooser = qobject_cast<TcaricaE*>(w);
            QVERIFY(chooser);
            chooser->ComboEsercizi->setCurrentIndex(chooser->ComboEsercizi->findText(QStringLiteral("Storia")));
            chooser->RadioVisualizzazione->item(0)->click();
            chooser->Radiofeedback->item(0)->click();
            chooser->okBut->click();
        });
        run.show();
        if (!QTest::qWaitFor([&run]() { return run.exerciseLoaded; }, 20000))
            return false;
        QApplication::setActiveWindow(&run);
        return QTest::qWaitFor([&run]() { return run.isActiveWindow(); }, 5000);
    }

    // A run of GIULIA with two answers whose window goes without closing:
    // its journal is left, as a crash leaves it. Gives the history.
    QStringList cutShortRun()
    {
        QStringList history;
        Tesegui run(giulia(), context);
        Modals modals;
        if (!open(run, modals))
            return history;
        run.importanteBut->click();
        // Each answer a record of its own (records waiting together are
        // written as one), so that a damaged last record leaves the first.
        run.runJournal()->waitForWriter();
        run.handleKey(Qt::Key_Down);
        run.moltoImportanteBut->click();
        run.runJournal()->waitForWriter();
        for (qsizetype i = 0; i < run.run.historyFirst.size(); ++i)
            history << run.run.historyFirst.at(i) + u'|' + run.run.historySecond.at(i) + u'|'
                           + run.run.historyThird.at(i);
        // While its window is there, the journal is nobody's interrupted run.
        if (!interruptedRuns(journals()).isEmpty())
            history << QStringLiteral("offered while written");
        run.hide();
        return history;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        context = testsupport::makeContext(QStringLiteral(SALIENTA_ASSETS_DIR), data.path());
        QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("esercizi")));
        QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("risult")));
    }

    void init()
    {
        scripted = std::make_unique<ScriptedDialogs>();
        clock = std::make_unique<FakeClock>(50);
        clock->fixDateTime(QDateTime(QDate(2024, 3, 5), QTime(10, 15, 0)));
        writeExercise({2, 1, 0});
        QDir(journals()).removeRecursively();
    }

    void cleanup()
    {
        clock.reset();
        scripted.reset();
    }

    // The pupil chooses the exercise again: the run is offered, "Sì" goes on
    // on the same sentence with the same answers and journal; given up at
    // the end, the journal goes.
    void cutShortRunGoesOnWhereItStopped()
    {
        const QStringList history = cutShortRun();
        QCOMPARE(history.size(), 2);
        QCOMPARE(journalFiles().size(), 1);
        const QString journal = QDir(journals()).filePath(journalFiles().first());

        Tesegui run(giulia(), context);
        Modals modals;
        scripted->answer(YesButton);
        QVERIFY(open(run, modals));
        QCOMPARE(scripted->messages(),
                 QStringList{QString::fromUtf8("L'esercizio «Storia» di GIULIA, iniziato il 05/03/2024 "
                                               "alle 10:15, non è stato finito. Vuoi riprenderlo ?")});
        QStringList resumed;
        for (qsizetype i = 0; i < run.run.historyFirst.size(); ++i)
            resumed << run.run.historyFirst.at(i) + u'|' + run.run.historySecond.at(i) + u'|'
                           + run.run.historyThird.at(i);
        QCOMPARE(resumed, history);
        QCOMPARE(run.model->currentSentence, 1);
        QCOMPARE(run.model->importanceOf(0), importante);
        QCOMPARE(run.model->importanceOf(1), moltoImportante);
        QVERIFY(run.runJournal());
        QCOMPARE(run.runJournal()->path(), journal);

        // The next answer goes into the same journal.
        run.handleKey(Qt::Key_Down);
        run.nonImportanteBut->click();
        run.runJournal()->waitForWriter();
        QCOMPARE(interruptedRuns(journals()).size(), 0);

        scripted->clear();
        scripted->answer(NoAnswerButton);   // "... non è stato salvato. Vuoi salvarlo ?"
        run.close();
        QVERIFY(!run.isVisible());
        QCOMPARE(journalFiles(), QStringList());
        QVERIFY(!QFileInfo::exists(context.dataRoot + QStringLiteral("risult/risult.sal")));
        QVERIFY(modals.done());
    }

    // "No" asks "Vuoi eliminarlo ?": "No" keeps it for next time and a new
    // run starts; "Sì" deletes it.
    void declinedRunIsKeptOrDeleted()
    {
        QCOMPARE(cutShortRun().size(), 2);
        const QString kept = journalFiles().value(0);
        {
            Tesegui run(giulia(), context);
            Modals modals;
            scripted->answer(NoAnswerButton);
            scripted->answer(NoAnswerButton);
            QVERIFY(open(run, modals));
            QCOMPARE(scripted->messages().value(1), QStringLiteral("Vuoi eliminarlo ?"));
            QVERIFY(run.run.historyFirst.isEmpty());
            QCOMPARE(run.model->currentSentence, 0);
            run.hide();
        }
        QVERIFY(journalFiles().contains(kept));
        scripted->clear();
        Tesegui run(giulia(), context);
        Modals modals;
        scripted->answer(NoAnswerButton);
        scripted->answer(YesButton);
        QVERIFY(open(run, modals));
        QVERIFY(!journalFiles().contains(kept));
        run.hide();
    }

    // An exercise changed since: said, and the run can only be stored as it
    // is or deleted. A journal damaged after its second answer: the damage is
    // said and the first part is offered. A file that is no journal: said,
    // and it can only be deleted.
    void runsThatCannotGoOnAsTheyWere()
    {
        QCOMPARE(cutShortRun().size(), 2);
        writeExercise({2, 2, 0});
        QList<InterruptedRun> found = interruptedRuns(journals());
        QCOMPARE(found.size(), 1);
        // Offered at the start of the program, it goes on with the profile it had.
        QVERIFY(Tesegui::setupFor(found.first().start).profile == giulia().profile);
        scripted->answer(NoAnswerButton);
        scripted->answer(YesButton);
        QCOMPARE(offerInterruptedRun(nullptr, context.dataRoot, found.first(), false, spaceBarSwitch,
                                     nullptr),
                 RunOffer::Deleted);
        QCOMPARE(scripted->messages(),
                 (QStringList{QString::fromUtf8("L'esercizio «Storia» di GIULIA, iniziato il 05/03/2024 "
                                                "alle 10:15, non è stato finito, ma da allora "
                                                "l'esercizio è stato modificato: non si può riprendere. "
                                                "Vuoi salvarlo così com'è ?"),
                              QStringLiteral("Vuoi eliminarlo ?")}));
        QCOMPARE(journalFiles(), QStringList());

        writeExercise({2, 1, 0});
        const QStringList history = cutShortRun();
        const QString path = QDir(journals()).filePath(journalFiles().value(0));
        QByteArray bytes = readBytes(path);
        bytes.chop(7);
        QVERIFY(writeBytes(path, bytes + "\x01garbage\r\n"));
        found = interruptedRuns(journals());
        QCOMPARE(found.size(), 1);
        QVERIFY(found.first().readable);
        QVERIFY(!found.first().damage.isEmpty());
        QCOMPARE(found.first().answers(), 1);
        QCOMPARE(found.first().state.historyFirst.value(0) + u'|' + found.first().state.historySecond.value(0)
                     + u'|' + found.first().state.historyThird.value(0),
                 history.first());
        scripted->clear();
        scripted->answer(OkButton);
        scripted->answer(NoAnswerButton);
        scripted->answer(NoAnswerButton);
        QCOMPARE(offerInterruptedRun(nullptr, context.dataRoot, found.first(), false, spaceBarSwitch,
                                     nullptr),
                 RunOffer::Kept);
        QCOMPARE(scripted->messages().size(), 3);
        QCOMPARE(scripted->messages().first(), found.first().damage);
        QVERIFY(scripted->messages().at(1).endsWith(QStringLiteral("Vuoi riprenderlo ?")));
        QVERIFY(QFileInfo::exists(path));

        QVERIFY(writeBytes(path, "non un diario\r\n"));
        found = interruptedRuns(journals());
        QCOMPARE(found.size(), 1);
        QVERIFY(!found.first().readable);
        scripted->clear();
        scripted->answer(OkButton);
        scripted->answer(YesButton);
        QCOMPARE(offerInterruptedRun(nullptr, context.dataRoot, found.first(), false, spaceBarSwitch,
                                     nullptr),
                 RunOffer::Deleted);
        QVERIFY(scripted->messages().first().contains(QStringLiteral("risult/in-corso")));
        QCOMPARE(journalFiles(), QStringList());
    }
};

QTEST_MAIN(TestResume)
#include "tst_resume.moc"
