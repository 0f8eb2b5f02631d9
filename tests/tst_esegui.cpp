#include "access/Joystick.h"
#include "access/SerBtn.h"
#include "access/SerialLines.h"
#include "access/Uregjoy.h"
#include "access/Uscans.h"
#include "common/UQuery.h"
#include "execution/RadioGroup.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Ucompito.h"
#include "execution/Uesegui.h"
#include "execution/Usceltae.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/Random.h"
#include "model/ResultsFile.h"
#include "results/EsportaCsv.h"
#include "results/Urisult.h"
#include "results/Usintesi.h"
#include "shell/Umascher.h"
#include "shell/WidgetDialogService.h"
#include "sound/AudioOutput.h"
#include "speech/ReadAlong.h"
#include "speech/SpeechEngine.h"
#include "support/FakeSwitches.h"
#include "support/ModalSteps.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/VirtualStick.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <SDL.h>
#include <functional>
#include <memory>

using testsupport::fromCp1252;
using testsupport::readBytes;

namespace {

const char* const kindMessages[9] = {
    "",
    "Nelle ultime frasi hai commesso un errore notevole. Vuoi tornare indietro di alcune frasi ?",
    "Nella prima parte hai commesso troppi errori. Vuoi ripartire dal principio ?",
    "Stai andando bene, continua così !",
    "Nella seconda parte hai commesso troppi errori. Vuoi rivedere la seconda parte ?",
    "L'esercizio consiste nell'evidenziare le frasi piu' importanti scegliendo il comando rosso o "
    "celeste. Se vuoi correggere, usa il comando bianco",
    "L'esercizio è finito. Sei andato bene, bravo !",
    "L'esercizio è finito. Sei andato abbastanza bene, ma puoi migliorare",
    "L'esercizio è finito. Non sei andato molto bene, la prossima volta stai più attento",
};

enum Answer { yes, no, ok, closed };

// The modal windows a run opens, answered in the order they are expected.
// Every window is checked to be the expected one; one that comes when
// nothing is expected fails the test and is closed.
class ModalScript : public ModalSteps<Tesegui>
{
public:

    // A feedback window of `kind`, answered with `answer`.
    void feedback(int kind, Answer answer)
    {
        then(QStringLiteral("feedback %1").arg(kind), [this, kind, answer](QWidget* w) {
            auto form = qobject_cast<TanimazioneForm*>(w);
            if (!form) {
                failures << QStringLiteral("feedback %1: another window, %2")
                                .arg(kind)
                                .arg(w->objectName());
                w->close();
                return;
            }
            const QString message = form->Memo1->toPlainText();
            if (message != QString::fromUtf8(kindMessages[kind]))
                failures << QStringLiteral("feedback %1 shows: %2").arg(kind).arg(message);
            if (kind != 5)
                kinds << kind;
            switch (answer) {
            case yes:
                form->yesBut->click();
                break;
            case no:
                form->noBut->click();
                break;
            case ok:
                form->okBut->click();
                break;
            case closed:
                form->done(answerNone);
                break;
            }
        });
    }

    // The exercise chooser: exercise, display and feedback items.
    void choose(const QString& exercise, int display, int feedbackItem)
    {
        then(QStringLiteral("chooser"), [this, exercise, display, feedbackItem](QWidget* w) {
            auto chooser = qobject_cast<TcaricaE*>(w);
            if (!chooser) {
                failures << QStringLiteral("chooser expected, got %1").arg(w->objectName());
                w->close();
                return;
            }
            const int index = chooser->ComboEsercizi->findText(exercise);
            if (index < 0)
                failures << QStringLiteral("exercise not offered: ") + exercise;
            chooser->ComboEsercizi->setCurrentIndex(index);
            chooser->RadioVisualizzazione->item(display)->click();
            chooser->Radiofeedback->item(feedbackItem)->click();
            chooser->okBut->click();
        });
    }

    void cancelChooser()
    {
        then(QStringLiteral("chooser"), [](QWidget* w) {
            if (auto chooser = qobject_cast<TcaricaE*>(w))
                chooser->annullaBut->click();
            else
                w->close();
        });
    }

    // The run name query, answered with `name` (OK) or cancelled (empty name
    // and `accept` false).
    void runName(const QString& name, bool accept = true)
    {
        then(QStringLiteral("name ") + name, [this, name, accept](QWidget* w) {
            auto query = qobject_cast<TFormQuery*>(w);
            if (!query) {
                failures << QStringLiteral("run name query expected, got %1").arg(w->objectName());
                w->close();
                return;
            }
            proposed << query->Edit1->text();
            titles << query->windowTitle();
            if (accept) {
                query->Edit1->setText(name);
                query->ButtonOK->click();
            } else {
                query->ButtonAnnulla->click();
            }
        });
    }

    // The introduction, closed with OK, and then the chooser.
    void start(const QString& exercise, int display, int feedbackItem)
    {
        feedback(5, ok);
        choose(exercise, display, feedbackItem);
    }

    QList<int> kinds;
    QStringList proposed;
    QStringList titles;
};

// The pixels of the scanning frame's colour in what `widget` shows.
int magentaPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == 0xff00ff ? 1 : 0;
    return count;
}

} // namespace

class TestEsegui : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir data;
    std::unique_ptr<ScriptedDialogs> scripted;
    std::unique_ptr<FakeClock> clock;
    AppContext context;

    // The context the run windows are given, with the options and the
    // serial-switch object of one run.
    AppContext runContext(const RunOptions& options = RunOptions(), TBottoneSeriale* serial = nullptr) const
    {
        AppContext given = context;
        given.options = options;
        given.serialSwitches = serial;
        return given;
    }
    QString exercises() const { return context.dataRoot + QStringLiteral("esercizi/"); }
    QString archivePath() const { return context.dataRoot + QStringLiteral("risult/risult.sal"); }

    // An exercise of one sentence per level given, under `longName`.
    void writeExercise(const QString& longName, const QList<int>& levels)
    {
        QStringList lines;
        for (int i = 0; i < levels.size(); ++i) {
            lines << tagLineFor(ImportanceLevel(levels.at(i)))
                  << QStringLiteral("Questa è la frase numero %1 del testo.").arg(i + 1);
        }
        Tparametri params;
        params.mode = fromExercise;
        params.source = lines;
        params.compito = QStringLiteral("Evidenzia le frasi importanti.");
        Tevidenziatore model(params);
        const QString file = fileNameFor(exercises(), longName);
        QVERIFY(!file.isEmpty());
        QVERIFY(model.saveExercise(exercises(), file));
    }

    static QList<int> allNon(int n) { return QList<int>(n, int(nonImportante)); }

    // The lines of the stored run `id`, from its header to the next header,
    // after checking that every line of the archive ends with CR LF.
    QStringList storedBlock(const QString& id)
    {
        const QByteArray bytes = readBytes(archivePath());
        if (!bytes.endsWith("\r\n"))
            return {QStringLiteral("archive does not end with CR LF")};
        const QByteArray withoutCrLf = QByteArray(bytes).replace("\r\n", "");
        if (withoutCrLf.contains('\n') || withoutCrLf.contains('\r'))
            return {QStringLiteral("a line of the archive does not end with CR LF")};
        QStringList lines = fromCp1252(bytes).split(QStringLiteral("\r\n"));
        lines.removeLast();
        const int start = lines.indexOf(QStringLiteral("[identificatore=") + id + QLatin1Char(']'));
        if (start < 0)
            return {};
        int end = start + 1;
        while (end < lines.size() && !lines.at(end).startsWith(QLatin1String("[identificatore=")))
            ++end;
        return lines.mid(start, end - start);
    }

    // The identifier of the last run stored for `pupil`, after checking that
    // its name is the date and time proposed at the end of a scanned run
    // (with " (2)" ... when a run of that name was stored in the same second).
    QString scannedRunOf(const QString& pupil)
    {
        const QStringList lines = fromCp1252(readBytes(archivePath())).split(QStringLiteral("\r\n"));
        QString id;
        const QString header = QStringLiteral("[identificatore=") + pupil + QLatin1Char('^');
        for (const QString& line : lines) {
            if (line.startsWith(header))
                id = line.mid(16, line.size() - 17);
        }
        const QRegularExpression dateName(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d( \\(\\d+\\))?$"));
        if (!dateName.match(id.section(QLatin1Char('^'), 1)).hasMatch())
            return QStringLiteral("no scanned run of ") + pupil + QStringLiteral(": ") + id;
        return id;
    }

    QStringList storedHistoryWithTimes(const QString& id)
    {
        const QStringList block = storedBlock(id);
        const int start = block.indexOf(QStringLiteral("[storia]"));
        return start < 0 ? QStringList{QStringLiteral("no history")} : block.mid(start + 1);
    }

    // The history as the rules write it: the times of the answers (on a
    // clock that moves at every reading) left out, with the space that
    // stands for an empty message before them.
    QStringList storedHistory(const QString& id)
    {
        QStringList lines = storedHistoryWithTimes(id);
        for (QString& line : lines) {
            QStringList fields = line.split(QLatin1Char('|'));
            if (fields.size() != 4)
                continue;
            fields.removeLast();
            if (fields.at(2) == QLatin1String(" "))
                fields[2].clear();
            line = fields.join(QLatin1Char('|'));
        }
        return lines;
    }

    RunSetup pupil(const QString& name = QStringLiteral("MARIO")) const
    {
        RunSetup setup;
        setup.pupilName = name;
        setup.pupilInfo = QStringList{QStringLiteral("classe terza")};
        return setup;
    }

    static void answer(Tesegui& run, int level, int times = 1)
    {
        QPushButton* button = level == 1 ? run.nonImportanteBut
                            : level == 2 ? run.importanteBut
                                         : run.moltoImportanteBut;
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(button, Qt::LeftButton);
    }

    static void key(Tesegui& run, Qt::Key k, int times = 1)
    {
        QApplication::setActiveWindow(&run);
        for (int i = 0; i < times; ++i)
            QTest::keyClick(run.focusWidget() ? run.focusWidget() : &run, k);
    }

    // Shows the run window, lets the script take the introduction and the
    // chooser, and waits for the exercise to be on screen.
    bool open(Tesegui& run)
    {
        run.show();
        run.activateWindow();
        if (!QTest::qWaitFor([&run]() { return run.exerciseLoaded; }, 20000))
            return false;
        QApplication::setActiveWindow(&run);
        return QTest::qWaitFor([&run]() { return run.isActiveWindow(); }, 5000);
    }

    // The run window closed after the last expected window.
    static bool finished(Tesegui& run, ModalScript& script)
    {
        const bool closed = QTest::qWaitFor([&run]() { return !run.isVisible(); }, 20000);
        if (!script.failures.isEmpty() || !script.done())
            qWarning() << "script:" << script.failures << "still expected:" << script.pending();
        return closed && script.done() && script.failures.isEmpty();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        context = testsupport::makeContext(QStringLiteral(SALIENTA_ASSETS_DIR), data.path());
        QVERIFY(QDir().mkpath(exercises()));
        QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("risult")));
    }

    void init()
    {
        scripted = std::make_unique<ScriptedDialogs>();
        clock = std::make_unique<FakeClock>(50);
    }

    void cleanup()
    {
        clock.reset();
        scripted.reset();
    }

    // Whole text, mid and end feedback, answers reset: the last sentence
    // answered first makes the end check; 0.6 on the first part asks to
    // start again, exactly 0.4 is good; "fine esercizio" finds the second
    // part wrong once and ends the run the second time.
    void wholeTextMidAndEnd()
    {
        writeExercise(QStringLiteral("Dieci frasi"), allNon(10));
        RunOptions options;
        options.resetAnswersOnFeedback = true;
        Tesegui run(pupil(), runContext(options));
        QVERIFY(run.ready());
        ModalScript script;
        script.start(QStringLiteral("Dieci frasi"), 0, 1);
        QVERIFY(open(run));
        QCOMPARE(run.fineBut->isVisible(), true);

        answer(run, 2);                      // 0
        key(run, Qt::Key_Down);
        answer(run, 2);                      // 1
        key(run, Qt::Key_Down);
        answer(run, 2);                      // 2: errors 3 in the first part
        key(run, Qt::Key_End);
        QCOMPARE(run.model->currentSentence, 9);
        answer(run, 1);                      // 9: the end check, nothing wrong there
        QCOMPARE(script.kinds, QList<int>());
        key(run, Qt::Key_Up, 5);
        QCOMPARE(run.model->currentSentence, 4);
        script.feedback(2, yes);
        answer(run, 1);                      // 4: 3 / 5 = 0.6 > 0.4
        QCOMPARE(run.model->currentSentence, 0);
        QCOMPARE(run.model->importanceOf(2), nonImportante);   // reset 0..4
        answer(run, 2);                      // 0
        key(run, Qt::Key_Down);
        answer(run, 2);                      // 1: errors 2
        key(run, Qt::Key_Down, 3);
        script.feedback(3, ok);
        answer(run, 1);                      // 4: exactly 0.4 is good
        key(run, Qt::Key_Down);
        answer(run, 3);                      // 5
        key(run, Qt::Key_Down);
        answer(run, 3);                      // 6: second part 4 / 5
        QCOMPARE(script.kinds, (QList<int>{2, 3}));

        script.feedback(4, yes);
        QTest::mouseClick(run.fineBut, Qt::LeftButton);
        QVERIFY(run.isVisible());
        QCOMPARE(run.model->currentSentence, 5);
        QCOMPARE(run.model->importanceOf(6), nonImportante);   // reset 5..9

        script.feedback(6, ok);              // 2 / 10 = 0.2
        script.runName(QStringLiteral("prima prova"));
        QTest::mouseClick(run.fineBut, Qt::LeftButton);
        QVERIFY(finished(run, script));
        QCOMPARE(script.failures, QStringList());
        QCOMPARE(script.titles, QStringList{QStringLiteral("Vuoi salvare l'esercizio ?")});

        const QStringList block = storedBlock(QStringLiteral("MARIO^PRIMA PROVA"));
        QVERIFY(block.contains(QStringLiteral("NOME ESERCIZIO=Dieci frasi")));
        QVERIFY(block.contains(QStringLiteral("TIPO DI VISUALIZZAZIONE=tutto assieme")));
        QVERIFY(block.contains(QString::fromUtf8("TIPO DI FEEDBACK=a metà e alla fine")));
        QCOMPARE(storedHistory(QStringLiteral("MARIO^PRIMA PROVA")),
                 (QStringList{QStringLiteral("0|1|"), QStringLiteral("1|1|"),
                              QStringLiteral("2|1|"), QStringLiteral("9|0|"),
                              QStringLiteral("4|0|Nella prima parte ci sono troppi errori"),
                              QStringLiteral("-1|0|4"), QStringLiteral("0|1|"),
                              QStringLiteral("1|1|"),
                              QStringLiteral("4|0|Sei andato bene nella prima parte"),
                              QStringLiteral("5|2|"), QStringLiteral("6|2|"),
                              QStringLiteral("-1|5|9")}));
    }

    // Whole text without the answers reset: a feedback window closed keeps
    // the check armed, Sì goes back without touching the answers, No
    // disarms; the last sentence's check refused; a final mean of 0.7.
    void wholeTextRefusedAndClosed()
    {
        writeExercise(QStringLiteral("Dieci bis"), allNon(10));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Dieci bis"), 0, 1);
        QVERIFY(open(run));
        for (int i = 0; i < 3; ++i) {
            answer(run, 2);
            key(run, Qt::Key_Down);
        }
        key(run, Qt::Key_Down);
        script.feedback(2, closed);
        answer(run, 1);
        QCOMPARE(run.model->currentSentence, 4);
        script.feedback(2, yes);
        answer(run, 1);
        QCOMPARE(run.model->currentSentence, 0);
        QCOMPARE(run.model->importanceOf(1), importante);
        key(run, Qt::Key_Down, 4);
        script.feedback(2, no);
        answer(run, 1);
        key(run, Qt::Key_Down, 4);
        answer(run, 3);                      // 8
        key(run, Qt::Key_Down);
        script.feedback(4, no);
        answer(run, 3);                      // 9: 4 / 5 on the second part
        script.feedback(8, ok);              // 7 / 10 = 0.7
        script.runName(QStringLiteral("seconda"));
        QTest::mouseClick(run.fineBut, Qt::LeftButton);
        QVERIFY(finished(run, script));
        QCOMPARE(script.kinds, (QList<int>{2, 2, 2, 4, 8}));
        const QString first = QStringLiteral("4|0|Nella prima parte ci sono troppi errori");
        QCOMPARE(storedHistory(QStringLiteral("MARIO^SECONDA")),
                 (QStringList{QStringLiteral("0|1|"), QStringLiteral("1|1|"),
                              QStringLiteral("2|1|"), first, first, first, QStringLiteral("8|2|"),
                              QStringLiteral("9|2|Nella seconda parte ci sono troppi errori")}));
    }

    // Seven sentences one at a time: the first part is 0..2, the second part
    // 3..6 divides by 4 (a threshold of 0.3 lets 1 / 4 pass and stops 2 / 4).
    void sevenSentencesOneAtATime()
    {
        writeExercise(QStringLiteral("Sette frasi"), allNon(7));
        RunOptions options;
        options.feedbackThreshold = 0.3;
        options.resetAnswersOnFeedback = true;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Sette frasi"), 1, 1);
        QVERIFY(open(run));
        QVERIFY(!run.fineBut->isVisible());
        answer(run, 1);
        answer(run, 1);
        script.feedback(3, ok);
        answer(run, 1);                      // 2: the first part is good
        QCOMPARE(run.shownSentence, 3);
        answer(run, 3);
        answer(run, 1);
        answer(run, 1);
        script.feedback(4, yes);
        answer(run, 1);                      // 6: 2 / 4 > 0.3
        QCOMPARE(run.shownSentence, 3);
        QCOMPARE(run.model->importanceOf(3), nonImportante);
        answer(run, 1, 3);
        script.feedback(6, ok);
        script.runName(QStringLiteral("sette"));
        answer(run, 2);                      // 6: 1 / 4 is not above 0.3
        QVERIFY(finished(run, script));
        QCOMPARE(storedHistory(QStringLiteral("MARIO^SETTE")),
                 (QStringList{QStringLiteral("0|0|"), QStringLiteral("1|0|"),
                              QStringLiteral("2|0|Sei andato bene nella prima parte"),
                              QStringLiteral("3|2|"), QStringLiteral("4|0|"), QStringLiteral("5|0|"),
                              QStringLiteral("6|0|Nella seconda parte ci sono troppi errori"),
                              QStringLiteral("-1|3|6"), QStringLiteral("3|0|"),
                              QStringLiteral("4|0|"), QStringLiteral("5|0|"),
                              QStringLiteral("6|1|")}));
        QCOMPARE(storedBlock(QStringLiteral("MARIO^SETTE")).mid(2, 3),
                 (QStringList{QStringLiteral("NOME=MARIO"), QStringLiteral("ALTRE INFORMAZIONI:"),
                              QStringLiteral("classe terza")}));
    }

    // One at a time, a first-part question closed or refused keeps the
    // sentence on screen; the end question closed counts as No and ends.
    void oneAtATimeRefusedAndClosed()
    {
        writeExercise(QStringLiteral("Quattro bis"), allNon(4));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Quattro bis"), 1, 1);
        QVERIFY(open(run));
        answer(run, 3);
        script.feedback(2, closed);
        script.feedback(2, no);
        answer(run, 1, 2);
        QCOMPARE(run.shownSentence, 1);
        answer(run, 1);
        answer(run, 3);
        script.feedback(4, closed);
        script.feedback(8, ok);
        script.runName(QStringLiteral("chiuse"));
        answer(run, 1);
        QVERIFY(finished(run, script));
        const QString first = QStringLiteral("1|0|Nella prima parte ci sono troppi errori");
        QCOMPARE(storedHistory(QStringLiteral("MARIO^CHIUSE")),
                 (QStringList{QStringLiteral("0|2|"), first, first, QStringLiteral("1|0|"),
                              QStringLiteral("2|2|"),
                              QStringLiteral("3|0|Nella seconda parte ci sono troppi errori")}));
    }

    // The first seed whose first draws are `draws` (each draw from 0 to its
    // bound): the random delays of a run chosen by the test.
    static quint32 seedFor(const QList<QPair<int, int>>& draws)
    {
        for (quint32 seed = 1;; ++seed) {
            QRandomGenerator generator(seed);
            bool all = true;
            for (const auto& draw : draws)
                all = all && int(generator.bounded(draw.first + 1)) == draw.second;
            if (all)
                return seed;
        }
    }

    // After every sentence, answers reset: a gross error on 7 with the
    // question on 8 goes back to 3 (reset 3..8); a gross error on 8 asked at
    // once goes back to 3 again, one asked on 9 goes back to 4 (reset 4..9).
    void jumpBackNearTheEnd()
    {
        writeExercise(QStringLiteral("Salti"), allNon(10));
        SeededRandom random(seedFor({{2, 1}, {1, 0}, {1, 1}}));
        RunOptions options;
        options.resetAnswersOnFeedback = true;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Salti"), 1, 2);
        QVERIFY(open(run));
        answer(run, 1, 7);
        answer(run, 3);                      // 7: wait 1
        script.feedback(1, yes);
        answer(run, 1);                      // 8
        QCOMPARE(run.shownSentence, 3);
        answer(run, 1, 5);
        script.feedback(1, yes);
        answer(run, 3);                      // 8: wait 0
        QCOMPARE(run.shownSentence, 3);
        answer(run, 1, 5);
        answer(run, 3);                      // 8: wait 1
        script.feedback(1, yes);
        answer(run, 1);                      // 9
        QCOMPARE(run.shownSentence, 4);
        answer(run, 1, 5);
        script.feedback(6, ok);
        script.runName(QStringLiteral("salti"));
        answer(run, 1);
        QVERIFY(finished(run, script));
        QCOMPARE(random.draws(), 3);
        QStringList expected;
        auto steps = [&expected](int from, int to) {
            for (int i = from; i <= to; ++i)
                expected << QStringLiteral("%1|0|").arg(i);
        };
        const QString back = QStringLiteral("|Torna indietro di 5 frasi");
        steps(0, 6);
        expected << QStringLiteral("7|2|") << QStringLiteral("8|0") + back
                 << QStringLiteral("-1|3|8");
        steps(3, 7);
        expected << QStringLiteral("8|2") + back << QStringLiteral("-1|3|8");
        steps(3, 7);
        expected << QStringLiteral("8|2|") << QStringLiteral("9|0") + back
                 << QStringLiteral("-1|4|9");
        steps(4, 9);
        QCOMPARE(storedHistory(QStringLiteral("MARIO^SALTI")), expected);
    }

    // A gross error on sentence 2 asked on 4: with the reset Sì goes back to
    // 0 and resets 0..4; without it the answers stay and no reset is written;
    // No and a closed window go on to the next sentence.
    void jumpBackNearTheStart_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("reset") << true;
        QTest::newRow("kept") << false;
    }
    void jumpBackNearTheStart()
    {
        QFETCH(bool, reset);
        writeExercise(QStringLiteral("Inizio"), allNon(10));
        SeededRandom random(seedFor({{4, 2}, {4, 0}, {3, 0}}));
        RunOptions options;
        options.resetAnswersOnFeedback = reset;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Inizio"), 1, 2);
        QVERIFY(open(run));
        answer(run, 1);
        answer(run, 1);
        answer(run, 3);                      // 2: wait 2
        answer(run, 1);
        script.feedback(1, yes);
        answer(run, 1);                      // 4
        QCOMPARE(run.shownSentence, 0);
        QCOMPARE(run.model->importanceOf(2), reset ? nonImportante : moltoImportante);
        answer(run, 1, 5);
        script.feedback(1, no);
        answer(run, 3);                      // 5: asked at once
        QCOMPARE(run.shownSentence, 6);
        script.feedback(1, closed);
        answer(run, 3);                      // 6: asked at once
        QCOMPARE(run.shownSentence, 7);
        answer(run, 1);
        answer(run, 1);
        script.feedback(7, ok);              // (2 + 2) / 10
        script.runName(QStringLiteral("inizio ") + QTest::currentDataTag());
        answer(run, 1);
        QVERIFY(finished(run, script));
        QStringList expected{QStringLiteral("0|0|"), QStringLiteral("1|0|"), QStringLiteral("2|2|"),
                             QStringLiteral("3|0|"),
                             QStringLiteral("4|0|Torna indietro di 5 frasi")};
        if (reset)
            expected << QStringLiteral("-1|0|4");
        for (int i = 0; i < 5; ++i)
            expected << QStringLiteral("%1|0|").arg(i);
        expected << QStringLiteral("5|2|Torna indietro di 5 frasi")
                 << QStringLiteral("6|2|Torna indietro di 5 frasi") << QStringLiteral("7|0|")
                 << QStringLiteral("8|0|") << QStringLiteral("9|0|");
        QCOMPARE(storedHistory(QStringLiteral("MARIO^INIZIO ")
                               + QString::fromLatin1(QTest::currentDataTag()).toUpper()),
                 expected);
    }

    // The final judgement by the mean error over the whole text, with
    // "fine esercizio" ending a run without feedback at once; the
    // judgement window carries the table of answers.
    void judgementBounds_data()
    {
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("kind");
        QTest::newRow("0.39") << 39 << 6;
        QTest::newRow("0.4") << 40 << 7;
        QTest::newRow("0.69") << 69 << 7;
        QTest::newRow("0.7") << 70 << 8;
    }
    void judgementBounds()
    {
        QFETCH(int, errors);
        QFETCH(int, kind);
        writeExercise(QStringLiteral("Cento frasi"), allNon(100));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Cento frasi"), 0, 0);
        QVERIFY(open(run));
        // Errors of 2 (molto for non), and one of 1 for an odd sum.
        for (int e = errors; e > 0; e -= 2) {
            answer(run, e >= 2 ? 3 : 2);
            key(run, Qt::Key_Down);
        }
        QImage table;
        script.then(QStringLiteral("judgement"), [&](QWidget* w) {
            auto form = qobject_cast<TanimazioneForm*>(w);
            QVERIFY(form);
            QCOMPARE(form->size(), QSize(640, 480));
            QCOMPARE(form->paintRight->width(), 390);
            table = form->paintRight->grab().toImage();
            script.kinds << kind;
            QCOMPARE(form->Memo1->toPlainText(), QString::fromUtf8(kindMessages[kind]));
            form->okBut->click();
        });
        script.runName(QStringLiteral("limite"));
        QTest::mouseClick(run.fineBut, Qt::LeftButton);
        QVERIFY(finished(run, script));
        // The diagonal of the table shows the level colours.
        bool cyan = false;
        for (int y = 0; y < table.height() && !cyan; ++y)
            for (int x = 0; x < table.width() && !cyan; ++x)
                cyan = table.pixelColor(x, y) == QColor(0, 255, 255);
        QVERIFY(cyan);
        QCOMPARE(storedHistory(QStringLiteral("MARIO^LIMITE")).size(), (errors + 1) / 2);
        QFile::remove(archivePath());
    }

    // One sentence: it is the whole second part and there is no first part
    // (no mid-text check and no division by an empty part).
    void oneSentence()
    {
        writeExercise(QStringLiteral("Una frase"), allNon(1));
        {
            Tesegui run(pupil(), runContext());
            ModalScript script;
            script.start(QStringLiteral("Una frase"), 0, 1);
            QVERIFY(open(run));
            script.feedback(4, no);
            answer(run, 3);
            script.feedback(8, ok);
            script.runName(QStringLiteral("una"));
            QTest::mouseClick(run.fineBut, Qt::LeftButton);
            QVERIFY(finished(run, script));
        }
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Una frase"), 1, 1);
        QVERIFY(open(run));
        script.feedback(4, yes);
        answer(run, 2);
        QCOMPARE(run.shownSentence, 0);
        script.feedback(6, ok);
        script.runName(QStringLiteral("una bis"));
        answer(run, 1);
        QVERIFY(finished(run, script));
        QCOMPARE(storedHistory(QStringLiteral("MARIO^UNA")),
                 QStringList{QStringLiteral("0|2|Nella seconda parte ci sono troppi errori")});
        QCOMPARE(storedHistory(QStringLiteral("MARIO^UNA BIS")),
                 (QStringList{QStringLiteral("0|1|Nella seconda parte ci sono troppi errori"),
                              QStringLiteral("0|0|")}));
    }

    // An exercise without sentences is refused with a message and no run
    // starts; the window then closes without asking anything.
    void exerciseWithoutSentences()
    {
        QVERIFY(testsupport::writeBytes(exercises() + fileNameFor(exercises(), QStringLiteral("Vuoto")),
                                        "[compito]\r\nNiente.\r\n[testo]\r\n\r\n"));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Vuoto"), 0, 0);
        run.show();
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(scripted->messages().contains(
            QStringLiteral("L'esercizio Vuoto non contiene frasi: non si può eseguire.")));
        QVERIFY(!run.exerciseLoaded);
        QVERIFY(!run.suggBut->isEnabled());
        answer(run, 2);
        QVERIFY(run.run.historyFirst.isEmpty());
        run.close();
        QVERIFY(!run.isVisible());
    }

    // With a limit of 1 second a sentence left alone is answered with the
    // level it shows ("non importante") and the next one comes.
    void timeLimit()
    {
        writeExercise(QStringLiteral("Tre frasi"), {1, 2, 1});
        RunOptions options;
        options.maxSentenceTime = 1;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Tre frasi"), 1, 0);
        QVERIFY(open(run));
        QVERIFY(run.Timer1->isActive());
        QCOMPARE(run.Timer1->interval(), qint64(1000));
        QTest::qWait(500);
        QCOMPARE(run.shownSentence, 0);
        QTRY_COMPARE_WITH_TIMEOUT(run.shownSentence, 1, 2000);
        answer(run, 2);                      // the pupil answers the second one
        QCOMPARE(run.shownSentence, 2);
        script.feedback(6, ok);
        script.runName(QStringLiteral("tempo"));
        QVERIFY(finished(run, script));
        QCOMPARE(storedHistory(QStringLiteral("MARIO^TEMPO")),
                 (QStringList{QStringLiteral("0|0|"), QStringLiteral("1|1|"),
                              QStringLiteral("2|0|")}));
    }

    // The run name: an empty name comes back with a message, a name that
    // would break the archive is refused, an existing run is kept when the
    // pupil says so; a save the disk refuses leaves the run unsaved, so the
    // window asks before closing.
    void savingTheRun()
    {
        writeExercise(QStringLiteral("Due frasi"), allNon(2));
        {
            Tesegui run(pupil(QStringLiteral("ANNA")), runContext());
            ModalScript script;
            script.start(QStringLiteral("Due frasi"), 0, 0);
            QVERIFY(open(run));
            QVERIFY(run.File1->actions().contains(run.Salvaesercizioconnome1));
            emit run.File1->aboutToShow();
            QVERIFY(!run.Salvaesercizioconnome1->isEnabled());
            answer(run, 2);
            script.feedback(7, ok);              // 1 / 2
            script.runName(QStringLiteral("   "));
            script.runName(QStringLiteral("prova [1]"));
            script.runName(QStringLiteral("prova"));
            QTest::mouseClick(run.fineBut, Qt::LeftButton);
            QVERIFY(finished(run, script));
            QVERIFY(scripted->messages().contains(QStringLiteral("Nessun nome specificato")));
            QVERIFY(scripted->messages().last().contains(QStringLiteral("il nome della prova")));
            QVERIFY(QDateTime::fromString(script.proposed.first(), QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                        .isValid());
        }
        const QByteArray saved = readBytes(archivePath());

        // The same name again: kept, then the disk refuses, then given up.
        Tesegui again(pupil(QStringLiteral("ANNA")), runContext());
        ModalScript second;
        second.start(QStringLiteral("Due frasi"), 0, 0);
        QVERIFY(open(again));
        answer(again, 1);
        second.feedback(6, ok);
        second.runName(QStringLiteral("prova"));
        scripted->answer(NoAnswerButton);    // keep the stored run
        // A folder in the archive's place: it can be neither read nor written.
        second.then(QStringLiteral("unwritable"), [&](QWidget* w) {
            QVERIFY(QFile::rename(archivePath(), archivePath() + QStringLiteral(".kept")));
            QVERIFY(QDir().mkdir(archivePath()));
            auto query = qobject_cast<TFormQuery*>(w);
            query->Edit1->setText(QStringLiteral("nuova"));
            query->ButtonOK->click();
        });
        second.then(QStringLiteral("give up"), [&](QWidget* w) {
            scripted->answer(CancelButton);  // to "not saved": stay
            qobject_cast<TFormQuery*>(w)->ButtonAnnulla->click();
        });
        QTest::mouseClick(again.fineBut, Qt::LeftButton);
        QTRY_VERIFY2(second.done(), qPrintable(second.pending().join(QLatin1Char(','))
                                               + second.failures.join(QLatin1Char(','))));
        QVERIFY(QDir().rmdir(archivePath()));
        QVERIFY(QFile::rename(archivePath() + QStringLiteral(".kept"), archivePath()));
        QCOMPARE(second.failures, QStringList());
        QVERIFY(again.isVisible());
        QVERIFY(again.unsaved);
        QCOMPARE(readBytes(archivePath()), saved);
        QCOMPARE(scripted->asked().last().text,
                 QStringLiteral("L'esercizio in corso non è stato salvato. Vuoi salvarlo ?"));
        emit again.File1->aboutToShow();
        QVERIFY(again.Salvaesercizioconnome1->isEnabled());
        second.runName(QStringLiteral("nuova"));
        again.Salvaesercizioconnome1->trigger();
        QVERIFY(!again.unsaved);
        QCOMPARE(storedHistory(QStringLiteral("ANNA^NUOVA")), QStringList{QStringLiteral("0|0|")});
        again.Salvaesercizioconnome1->trigger();
        QCOMPARE(scripted->messages().last(), QString::fromUtf8("L'esercizio è già stato salvato"));
        again.close();
        QVERIFY(!again.isVisible());
    }

    // A missing button picture: the window says which file and is not shown.
    void missingPicture()
    {
        QTemporaryDir program;
        QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("immagini"))));
        for (const char* name : {"nonBu1.bmp", "nonBu2.bmp", "impBu1.bmp", "impBu2.bmp", "moltoBu1.bmp"})
            QVERIFY(QFile::copy(context.programFolder + QStringLiteral("immagini/") + QLatin1String(name),
                                program.filePath(QStringLiteral("immagini/")) + QLatin1String(name)));
        const QString kept = context.programFolder;
        context.programFolder = program.path() + QLatin1Char('/');
        Tesegui run(pupil(), runContext());
        context.programFolder = kept;
        QVERIFY(!run.ready());
        QVERIFY(scripted->messages().last().endsWith(QStringLiteral("/immagini/moltoBu2.bmp")));
    }

    // "&scelta del font..." opens Qt's own font dialog on the font the text
    // is drawn in (the family it resolves to, its size and style), offers
    // sizes up to 48 only, and OK with nothing changed leaves the text as it was.
    void fontDialogStartsFromTheFontInUse()
    {
        writeExercise(QStringLiteral("Carattere"), allNon(4));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Carattere"), 0, 0);
        QVERIFY(open(run));
        QApplication::processEvents();
        const QFont fontBefore = run.textFont();
        const QStringList linesBefore = run.model->lines;
        const QImage shownBefore = run.PaintCanvas->grab().toImage();
        const QFontInfo used(fontBefore);
        QCOMPARE(used.family(), QStringLiteral("Liberation Serif"));

        WidgetDialogService realDialogs;
        DialogService* kept = setDialogService(&realDialogs);
        testsupport::FontDialogSeen seen;
        script.then(QStringLiteral("font"), [&seen](QWidget* w) {
            seen = testsupport::readFontDialogAndAccept(w, {QStringLiteral("48"), QStringLiteral("49"),
                                                            QStringLiteral("72")});
        });
        run.sceltadelfont1->trigger();
        setDialogService(kept);
        QVERIFY(script.done());

        QVERIFY(seen.found);
        QCOMPARE(seen.family, used.family());
        QCOMPARE(seen.current.family(), used.family());
        QCOMPARE(seen.style, QStringLiteral("Regular"));
        QCOMPARE(seen.size, QStringLiteral("16"));
        QCOMPARE(seen.current.pointSize(), 16);
        QVERIFY(!seen.sizes.isEmpty());
        QCOMPARE(*std::max_element(seen.sizes.begin(), seen.sizes.end()), 48);
        QCOMPARE(seen.typedTaken, (QList<bool>{true, false, false}));
        QCOMPARE(run.textFont(), fontBefore);
        QCOMPARE(run.model->lines, linesBefore);
        QCOMPARE(run.PaintCanvas->grab().toImage(), shownBefore);
        run.unsaved = false;
    }

    // Another exercise from the menu, cancelled, leaves the run as it was;
    // the font chosen lays the text out again; Esc asks before closing.
    void menuAndClose()
    {
        writeExercise(QStringLiteral("Quattro frasi"), allNon(4));
        QWidget mainWindow;
        mainWindow.show();
        Tesegui run(pupil(), runContext(), &mainWindow);
        ModalScript script;
        script.start(QStringLiteral("Quattro frasi"), 1, 0);
        QVERIFY(open(run));
        QVERIFY(run.Timer1->isActive());
        answer(run, 2);
        script.cancelChooser();
        run.Eseguiesercizio1->trigger();
        QVERIFY(script.done());
        QCOMPARE(run.shownSentence, 1);
        QCOMPARE(run.run.historyFirst, QStringList{QStringLiteral("0")});
        QVERIFY(run.Timer1->isActive());

        QString task;
        script.then(QStringLiteral("task"), [&task](QWidget* w) {
            auto window = qobject_cast<TFormCompito*>(w);
            QVERIFY(window);
            task = window->MemoCompito->toPlainText();
            window->OkButton->click();
        });
        QTest::mouseClick(run.suggBut, Qt::LeftButton);
        QCOMPARE(task, QStringLiteral("Evidenzia le frasi importanti."));

        const int height = run.shownHeight;
        QFont big(QStringLiteral("Times New Roman"));
        big.setPointSize(60);
        scripted->answerFont(big);
        run.sceltadelfont1->trigger();
        QCOMPARE(run.textFont().pointSize(), 48);
        QVERIFY(run.shownHeight > height);

        // Minimising the run minimises the program; restoring brings both back.
        QTRY_VERIFY(run.windowState() & Qt::WindowMaximized);
        run.setWindowState(run.windowState() | Qt::WindowMinimized);
        QVERIFY(mainWindow.windowState() & Qt::WindowMinimized);
        run.setWindowState(Qt::WindowNoState);
        QVERIFY(!(mainWindow.windowState() & Qt::WindowMinimized));
        QCOMPARE(run.windowState(), Qt::WindowMaximized);
        QApplication::setActiveWindow(&run);

        scripted->answer(CancelButton);
        QTest::keyClick(&run, Qt::Key_Escape);
        QVERIFY(run.isVisible());
        QVERIFY(run.Timer1->isActive());
        const int blocksBefore = readBytes(archivePath()).count("[identificatore=");
        scripted->answer(NoAnswerButton);
        QTest::keyClick(&run, Qt::Key_Escape);
        QVERIFY(!run.isVisible());
        QCOMPARE(readBytes(archivePath()).count("[identificatore="), blocksBefore);
    }

    // A whole run with the space bar alone: Space presses the framed button,
    // the frame moves on by itself; the feedback windows are answered the
    // same way.
    void spaceBarRun()
    {
        writeExercise(QStringLiteral("Barra"), {1, 2, 1});
        RunSetup setup = pupil(QStringLiteral("PIA"));
        setup.scanningAccess = true;
        setup.device = spaceBarSwitch;
        Tesegui run(setup, runContext());
        QVERIFY(run.PanelScansione->isVisibleTo(&run));
        QVERIFY(!run.nonImportanteBut->isVisibleTo(&run));
        ModalScript script;
        auto space = [](QWidget* w) {
            QTest::keyPress(w, Qt::Key_Space);
            QTest::keyRelease(w, Qt::Key_Space);
        };
        script.then(QStringLiteral("introduction"), space);
        script.choose(QStringLiteral("Barra"), 1, 0);
        QVERIFY(open(run));
        TScansione* scan = run.scansione();
        QVERIFY(scan);
        // One sentence at a time: the arrows and the (hidden) play button are left out.
        QCOMPARE(scan->buttons.size(), 3);
        QCOMPARE(scan->currentButton(), run.nonBot);
        space(&run);
        QCOMPARE(run.shownSentence, 1);
        QTRY_COMPARE_WITH_TIMEOUT(scan->currentButton(), run.impBot, 5000);
        space(&run);
        QTRY_COMPARE_WITH_TIMEOUT(scan->currentButton(), run.nonBot, 8000);
        script.then(QStringLiteral("judgement"), space);
        // "Vuoi salvare l'esercizio ?" is answered with the space bar too:
        // the frame starts on "Sì".
        script.then(QStringLiteral("save question"), space);
        space(&run);
        QVERIFY(finished(run, script));
        const QString id = scannedRunOf(QStringLiteral("PIA"));
        QCOMPARE(storedHistory(id),
                 (QStringList{QStringLiteral("0|0|"), QStringLiteral("1|1|"),
                              QStringLiteral("2|0|")}));
        QVERIFY(storedBlock(id).contains(QStringLiteral("TIPO DI VISUALIZZAZIONE=una frase per volta")));
    }

    // Whole text under scanning: "fine" is scanned after the answers, so a
    // pupil with a switch alone can end the run; one sentence at a time it
    // is left out.
    void spaceBarWholeTextEndsWithFine()
    {
        writeExercise(QStringLiteral("Tutto"), {1, 2});
        RunSetup setup = pupil(QStringLiteral("PIA"));
        setup.scanningAccess = true;
        setup.device = spaceBarSwitch;
        Tesegui run(setup, runContext());
        ModalScript script;
        auto space = [](QWidget* w) {
            QTest::keyPress(w, Qt::Key_Space);
            QTest::keyRelease(w, Qt::Key_Space);
        };
        script.then(QStringLiteral("introduction"), space);
        script.choose(QStringLiteral("Tutto"), 0, 0);
        QVERIFY(open(run));
        TScansione* scan = run.scansione();
        QVERIFY(scan);
        QCOMPARE(scan->buttons.size(), 6);
        QCOMPARE(scan->buttons.last(), run.fineBot);
        QVERIFY(run.fineBot->isVisibleTo(&run) && run.fineBot->isEnabled());
        QVERIFY(!run.fineBot->geometry().intersects(run.moltoBot->geometry()));
        QVERIFY(run.PanelScansione->rect().contains(run.fineBot->geometry()));
        // Mark the second sentence "importante" with the scanned buttons.
        while (scan->currentButton() != run.giuBut)
            scan->performAction(scanNext);
        space(&run);
        while (scan->currentButton() != run.impBot)
            scan->performAction(scanNext);
        space(&run);
        while (scan->currentButton() != run.fineBot)
            scan->performAction(scanNext);
        script.then(QStringLiteral("judgement"), space);
        script.then(QStringLiteral("save question"), space);
        space(&run);
        QVERIFY(finished(run, script));
        QCOMPARE(storedHistory(scannedRunOf(QStringLiteral("PIA"))), QStringList{QStringLiteral("1|1|")});
    }

    // Whole runs with switches on a serial port: with two, DSR moves the
    // frame and CTS presses; with one, either presses and the frame moves
    // by itself. The run window gives the switches back when it closes.
    void serialSwitchRuns_data()
    {
        QTest::addColumn<int>("device");
        QTest::newRow("two switches") << int(serialTwoSwitch);
        QTest::newRow("one switch") << int(serialOneSwitch);
    }
    void serialSwitchRuns()
    {
        QFETCH(int, device);
        writeExercise(QStringLiteral("Interruttori"), {1, 2, 3});
        TBottoneSeriale serial;
        FakeSwitchLines* lines = nullptr;
        serial.setPortFactory([&lines](const QString&) {
            auto made = std::make_unique<FakeSwitchLines>(0);
            lines = made.get();
            return std::unique_ptr<SerialLines>(std::move(made));
        });
        serial.openPort(1);
        QVERIFY(serial.portReady());
        int before = 0;
        serial.setPressHandler([&before](TBottoneSeriale*) { ++before; });
        auto press = [&](bool dsr) {
            (dsr ? lines->dsr : lines->cts) = true;
            serial.poll();
            (dsr ? lines->dsr : lines->cts) = false;
            serial.poll();
        };
        RunSetup setup = pupil(QStringLiteral("LEO"));
        setup.scanningAccess = true;
        setup.device = AccessDevice(device);
        ModalScript script;
        script.then(QStringLiteral("introduction"), [&](QWidget*) { press(false); });
        script.choose(QStringLiteral("Interruttori"), 1, 0);
        {
            Tesegui run(setup, runContext(RunOptions(), &serial));
            QVERIFY(open(run));
            TScansione* scan = run.scansione();
            press(device == serialOneSwitch);        // select "non importante"
            QCOMPARE(run.shownSentence, 1);
            if (device == serialTwoSwitch)
                press(true);
            QTRY_COMPARE_WITH_TIMEOUT(scan->currentButton(), run.impBot, 5000);
            press(false);
            if (device == serialTwoSwitch)
                press(true);
            QTRY_COMPARE_WITH_TIMEOUT(scan->currentButton(), run.moltoBot, 5000);
            // The switch that ended the run is let go, then pressed again.
            const auto letGoAndPress = [&](QWidget*) {
                lines->cts = false;
                serial.poll();
                press(false);
            };
            script.then(QStringLiteral("judgement"), letGoAndPress);
            script.then(QStringLiteral("save question"), letGoAndPress);
            press(false);
            QVERIFY(finished(run, script));
        }
        QCOMPARE(before, 0);
        press(false);
        QCOMPARE(before, 1);
        QCOMPARE(storedHistory(scannedRunOf(QStringLiteral("LEO"))),
                 (QStringList{QStringLiteral("0|0|"), QStringLiteral("1|1|"),
                              QStringLiteral("2|2|")}));
        QFile::remove(archivePath());
    }

    // A whole run with the joystick as a directional device: its centre is
    // taken after the calibration window, right moves the frame to the next
    // button, the button presses it.
    void joystickRun()
    {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        QCOMPARE(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
        writeExercise(QStringLiteral("Leva"), {3, 1});
        {
            VirtualStick stick;
            QVERIFY(stick.ok());
            stick.at(32767, 32767);
            stick.at(30000, 34000);              // the rest position of this stick
            RunSetup setup = pupil(QStringLiteral("GIO"));
            setup.scanningAccess = true;
            setup.device = joystickDirectional;
            ModalScript script;
            script.then(QStringLiteral("calibration"), [](QWidget* w) {
                QVERIFY(qobject_cast<TregolaJoyForm*>(w));
                static_cast<TregolaJoyForm*>(w)->OKBtn->click();
            });
            auto click = [&stick](QWidget*) {
                stick.button(0, true);
                QTest::qWait(300);
                stick.button(0, false);
            };
            script.then(QStringLiteral("introduction"), click);
            script.choose(QStringLiteral("Leva"), 1, 0);
            Tesegui run(setup, runContext());
            TJoystick* joy = run.scansione()->joystick();
            QVERIFY(joy && joy->captured());
            QCOMPARE(joy->centreX(), 30000);
            QCOMPARE(joy->centreY(), 34000);
            QVERIFY(open(run));
            QTRY_VERIFY(joy->captured());
            stick.at(65535, 34000);
            QTRY_COMPARE(run.scansione()->currentButton(), run.impBot);
            stick.at(30000, 34000);
            QTest::qWait(300);
            stick.at(65535, 34000);
            QTRY_COMPARE(run.scansione()->currentButton(), run.moltoBot);
            stick.at(30000, 34000);
            click(nullptr);
            QCOMPARE(run.shownSentence, 1);
            const auto letGoAndClick = [&](QWidget* w) {
                stick.button(0, false);      // the button that ended the run is let go
                QTest::qWait(300);
                click(w);
            };
            script.then(QStringLiteral("judgement"), letGoAndClick);
            script.then(QStringLiteral("save question"), letGoAndClick);
            QTRY_VERIFY(joy->captured());
            stick.at(0, 34000);
            QTRY_COMPARE(run.scansione()->currentButton(), run.impBot);
            stick.at(30000, 34000);
            click(nullptr);
            QVERIFY(finished(run, script));
        }
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        QCOMPARE(storedHistory(scannedRunOf(QStringLiteral("GIO"))),
                 (QStringList{QStringLiteral("0|2|"), QStringLiteral("1|1|")}));
    }

    // Keys that a menu, a drop-down list or a dialog takes stay there: Esc
    // that closes the run window's menus, or a list or the exercise chooser
    // opened from them, asks nothing and leaves the run as it was. Alt+F
    // opens "&File" also beside "&fine esercizio"; Enter and the keypad's
    // Enter press the focused answer button as Space does.
    void keysThatMenusAndDialogsTake()
    {
        writeExercise(QStringLiteral("Tasti"), allNon(3));
        Tesegui run(pupil(), runContext());
        ModalScript script;
        script.start(QStringLiteral("Tasti"), 0, 0);
        QVERIFY(open(run));
        QVERIFY(run.fineBut->isVisible());
        QCOMPARE(run.fineBut->text(), QStringLiteral("&fine esercizio"));
        QCOMPARE(run.File1->title(), QStringLiteral("&File"));

        // Alt+F and Esc as the system delivers them, through the window.
        QTest::keyClick(run.windowHandle(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(run.File1));
        QTest::keyClick(run.windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(run.isVisible());

        // "opzioni" opened with the mouse, Esc to the menu itself.
        const QRect options = run.menuBar->actionGeometry(run.opzioni1->menuAction());
        QTest::mouseClick(run.menuBar, Qt::LeftButton, Qt::NoModifier, options.center());
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(run.opzioni1));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(run.isVisible());

        // The chooser: Esc closes its list, then the chooser; the run goes on.
        bool listClosedAlone = false;
        script.then(QStringLiteral("chooser"), [&listClosedAlone](QWidget* w) {
            auto chooser = qobject_cast<TcaricaE*>(w);
            QVERIFY(chooser);
            chooser->ComboEsercizi->showPopup();
            QTRY_VERIFY(QApplication::activePopupWidget());
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            listClosedAlone = chooser->isVisible();
            QTest::keyClick(chooser, Qt::Key_Escape);
        });
        run.Eseguiesercizio1->trigger();
        QVERIFY(script.done());
        QVERIFY(listClosedAlone);
        QVERIFY(run.isVisible());
        QVERIFY(run.exerciseLoaded);
        QVERIFY(scripted->asked().isEmpty());

        // Enter and the keypad's Enter on the focused answer button.
        QApplication::setActiveWindow(&run);
        run.importanteBut->setFocus();
        QTest::keyClick(run.importanteBut, Qt::Key_Return);
        QCOMPARE(run.model->importanceOf(0), importante);
        key(run, Qt::Key_Down);
        run.moltoImportanteBut->setFocus();
        QTest::keyClick(run.moltoImportanteBut, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(run.model->importanceOf(1), moltoImportante);
        QCOMPARE(run.run.historySecond, (QStringList{QStringLiteral("1"), QStringLiteral("2")}));

        // Esc on the window itself asks, once.
        scripted->answer(NoAnswerButton);
        QTest::keyClick(&run, Qt::Key_Escape);
        QVERIFY(!run.isVisible());
        QCOMPARE(scripted->messages(),
                 QStringList{QString::fromUtf8("L'esercizio in corso non è stato salvato. Vuoi salvarlo ?")});
    }

    // The time of every answer on the program's clock, from the moment its
    // sentence is shown (after the pause and the effects) to the answer: one
    // given by the time limit, a gross error that sends the pupil back with
    // a reset, the minute the question stays open left out. The results
    // window shows each time and their total, the summary the means per
    // level, the export the times of the sentences.
    void answerTimesStoredShownAndExported()
    {
        clock.reset();
        clock = std::make_unique<FakeClock>(0, true);
        writeExercise(QStringLiteral("Tempi"), allNon(10));
        SeededRandom random(seedFor({{4, 2}}));
        RunOptions options;
        options.resetAnswersOnFeedback = true;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Tempi"), 1, 2);
        QVERIFY(open(run));
        auto after = [this, &run](qint64 ms, int level) {
            clock->advance(ms);
            answer(run, level);
        };
        after(1200, 1);
        clock->advance(7000);                // 1: the time limit answers
        QCOMPARE(run.shownSentence, 2);
        after(2500, 3);                      // 2: asked on 4
        after(800, 1);
        script.then(QStringLiteral("feedback 1"), [this](QWidget* w) {
            clock->advance(60000);
            auto form = qobject_cast<TanimazioneForm*>(w);
            QVERIFY(form);
            form->yesBut->click();
        });
        after(1000, 1);
        QCOMPARE(run.shownSentence, 0);
        after(300, 1);
        script.feedback(6, ok);
        script.runName(QStringLiteral("tempi"));
        for (int i = 1; i <= 9; ++i)
            after(100, 1);
        QVERIFY(finished(run, script));
        QStringList expected{QStringLiteral("0|0| |1200"), QStringLiteral("1|0| |7000"),
                             QStringLiteral("2|2| |2500"), QStringLiteral("3|0| |800"),
                             QStringLiteral("4|0|Torna indietro di 5 frasi|1000"),
                             QStringLiteral("-1|0|4"), QStringLiteral("0|0| |300")};
        for (int i = 1; i <= 9; ++i)
            expected << QStringLiteral("%1|0| |100").arg(i);
        QCOMPARE(storedHistoryWithTimes(QStringLiteral("MARIO^TEMPI")), expected);

        Trisultati results(context);
        results.show();
        QVERIFY(results.loadRun(QStringLiteral("MARIO^TEMPI")));
        QCOMPARE(results.LabelTempo->text(), QStringLiteral("tempo totale: 13,7 s"));
        results.ComboPassi->setCurrentIndex(1);
        QCOMPARE(results.LabelTempo->text(), QStringLiteral("tempo di risposta: 7,0 s"));
        QTest::mouseClick(results.Buttonpiu, Qt::LeftButton);
        QCOMPARE(results.LabelTempo->text(), QStringLiteral("tempo di risposta: 2,5 s"));
        QString summary;
        testsupport::whenModalShown([&summary](QWidget* modal) {
            if (auto form = qobject_cast<TsintesiForm*>(modal)) {
                summary = form->LabelTempi->text();
                form->reject();
            }
        });
        QTest::mouseClick(results.sintesiBut, Qt::LeftButton);
        QCOMPARE(summary, QStringLiteral("tempo totale: 13,7 s\n"
                                         "tempo medio delle risposte \"non importante\": 0,8 s\n"
                                         "tempo medio delle risposte \"importante\": -\n"
                                         "tempo medio delle risposte \"molto importante\": 2,5 s"));

        QString error;
        const QString csv = data.filePath(QStringLiteral("tempi.csv"));
        QVERIFY(exportResultsCsv(resultsFolderIn(context.dataRoot), QStringLiteral("MARIO"), csv, error));
        const QString runs = QString::fromUtf8(readBytes(csv));
        QVERIFY2(runs.contains(QStringLiteral("\"TEMPI\";")) && runs.endsWith(QStringLiteral(";\"13,700\"\r\n")),
                 qPrintable(runs));
        const QStringList sentences = QString::fromUtf8(readBytes(sentencesPathFor(csv))).split(QStringLiteral("\r\n"));
        QVERIFY2(sentences.value(1).endsWith(QStringLiteral(";\"1,500\"")), qPrintable(sentences.value(1)));
        QVERIFY2(sentences.value(3).endsWith(QStringLiteral(";\"2,600\"")), qPrintable(sentences.value(3)));
    }

    // Reading along with the speech engine on a sound output that only
    // keeps the sound: from the current sentence to the end, each word is
    // marked in the view as it is heard, in the order of the text; a key
    // stops the reading and takes the mark away.
    void readingAlongMarksEachWordHeard()
    {
        auto output = std::make_unique<CaptureAudioOutput>();
        output->setPlaybackSpeed(4);
        installSpeechAudioOutput(std::move(output));
        QVERIFY(VS_CreateSpeechEngine());
        auto engine = qScopeGuard([] {
            VS_DestroySpeechEngine();
            installSpeechAudioOutput(nullptr);
        });
        writeExercise(QStringLiteral("Lettura"), allNon(3));
        RunOptions options;
        options.useSpeech = true;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Lettura"), 0, 0);
        QVERIFY(open(run));
        QVERIFY(run.PlayButton->isVisible());
        QTest::keyClick(&run, Qt::Key_Down);
        QCOMPARE(run.model->currentSentence, 1);

        QStringList heard;
        QList<QRect> marks;
        connect(run.readingAlong(), &TReadAlong::wordHeard, &run, [&](int item, int start, int length) {
            heard << run.model->sentenceText(1 + item).mid(start, length);
            marks << run.PaintCanvas->wordMark();
        });
        QTest::mouseClick(run.PlayButton, Qt::LeftButton);
        QVERIFY(run.readingAlong()->reading());
        QTRY_VERIFY_WITH_TIMEOUT(!run.readingAlong()->reading(), 30000);
        QString expected;
        for (int n = 2; n <= 3; ++n)
            expected += QString::fromUtf8(" Questa è la frase numero %1 del testo").arg(n);
        QCOMPARE(heard, expected.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        // Each mark in sight, after the one before it along the text.
        for (int i = 0; i < marks.size(); ++i) {
            QVERIFY2(!marks.at(i).isEmpty() && run.PaintCanvas->rect().contains(marks.at(i)),
                     qPrintable(heard.at(i)));
            if (i > 0 && i != 8)
                QVERIFY(marks.at(i).top() > marks.at(i - 1).top()
                        || (marks.at(i).top() == marks.at(i - 1).top() && marks.at(i).left() > marks.at(i - 1).right()));
        }
        QVERIFY(run.PaintCanvas->wordMark().isEmpty());

        // A key stops the reading at once.
        heard.clear();
        QTest::mouseClick(run.PlayButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= 2, 20000);
        QTest::keyClick(&run, Qt::Key_Up);
        QVERIFY(!run.readingAlong()->reading());
        QVERIFY(!VS_IsTalking());
        QVERIFY(run.PaintCanvas->wordMark().isEmpty());
        const int count = int(heard.size());
        QTest::qWait(300);
        QCOMPARE(heard.size(), count);
        scripted->answer(NoAnswerButton);
        run.close();
    }

    // The time limit counts only while the pupil can answer: the task
    // window, a menu, the exercise chooser and a question stop it, and it
    // goes on from where it was when they close. On the program's clock,
    // which the test moves on (a minute behind each window): the limit falls
    // exactly when the pupil has had the sentence for its whole time.
    void timeLimitWaitsBehindOtherWindows()
    {
        clock.reset();
        clock = std::make_unique<FakeClock>(0, true);
        writeExercise(QStringLiteral("Tempo fermo"), {2, 2, 2});
        RunOptions options;
        options.maxSentenceTime = 30;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Tempo fermo"), 1, 0);
        QVERIFY(open(run));
        QVERIFY(run.Timer1->isActive());
        QCOMPARE(run.Timer1->interval(), qint64(30000));
        clock->advance(10000);               // the pupil reads for ten seconds

        // What is left of the limit (-1: the limit does not run).
        auto left = [this, &run]() { return run.Timer1->isActive() ? run.Timer1->dueAt() - clock->now() : qint64(-1); };
        QStringList runningBehind;
        auto behind = [&](const QString& what) {
            if (run.Timer1->isActive())
                runningBehind << what;
            clock->advance(60000);           // a minute behind the window
        };

        script.then(QStringLiteral("task"), [&](QWidget* w) {
            behind(QStringLiteral("task"));
            auto task = qobject_cast<TFormCompito*>(w);
            QVERIFY(task);
            task->OkButton->click();
        });
        QTest::mouseClick(run.suggBut, Qt::LeftButton);
        QVERIFY(script.done());
        QCOMPARE(left(), qint64(20000));

        run.File1->popup(run.mapToGlobal(QPoint(20, 20)));
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(run.File1));
        behind(QStringLiteral("menu"));
        run.File1->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(left(), qint64(20000));

        script.then(QStringLiteral("chooser"), [&](QWidget* w) {
            behind(QStringLiteral("chooser"));
            auto chooser = qobject_cast<TcaricaE*>(w);
            QVERIFY(chooser);
            chooser->annullaBut->click();
        });
        run.Eseguiesercizio1->trigger();
        QVERIFY(script.done());
        QCOMPARE(left(), qint64(20000));

        // A question shown by the program's own message box, and one asked
        // through the dialog service, answered "Annulla".
        {
            WidgetDialogService real;
            DialogService* kept = setDialogService(&real);
            script.then(QStringLiteral("question"), [&](QWidget* w) {
                behind(QStringLiteral("question"));
                auto box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box);
                QCOMPARE(box->text(), QString::fromUtf8("L'esercizio in corso non è stato salvato. Vuoi salvarlo ?"));
                box->button(QMessageBox::Cancel)->click();
            });
            QApplication::setActiveWindow(&run);
            QTest::keyClick(&run, Qt::Key_Escape);
            setDialogService(kept);
        }
        QVERIFY(script.done());
        QVERIFY(run.isVisible());
        scripted->answer(CancelButton);
        QApplication::setActiveWindow(&run);
        QTest::keyClick(&run, Qt::Key_Escape);
        QCOMPARE(left(), qint64(20000));
        QCOMPARE(runningBehind, QStringList());

        // The rest of the limit: the sentence is answered "non importante"
        // at its very end, and the next sentence has the whole limit again.
        clock->advance(19999);
        QCOMPARE(run.shownSentence, 0);
        clock->advance(1);
        QCOMPARE(run.shownSentence, 1);
        QCOMPARE(run.run.historyFirst, QStringList{QStringLiteral("0")});
        QCOMPARE(run.run.historySecond, QStringList{QStringLiteral("0")});
        // The answer took the whole limit, and no more.
        QCOMPARE(run.run.historyTime, QStringList{QStringLiteral("30000")});
        QCOMPARE(left(), qint64(30000));
        scripted->answer(NoAnswerButton);
        run.close();
        QVERIFY(!run.isVisible());
    }

    // One scanning frame at a time: while a window of its own is open over
    // it (the introduction, the task, a feedback, a question) the run window
    // stops its scanning and shows no frame; it scans again after.
    void oneScanningFrameAtATime()
    {
        writeExercise(QStringLiteral("Cornice"), allNon(4));
        RunSetup setup = pupil(QStringLiteral("PIA"));
        setup.scanningAccess = true;
        setup.device = spaceBarSwitch;
        Tesegui run(setup, runContext());
        ModalScript script;
        QStringList twoFrames;   // the windows behind which the run window still scanned
        auto check = [&](const QString& what) {
            TScansione* scan = run.scansione();
            if (!scan || scan->running() || magentaPixels(run.PanelScansione) > 0)
                twoFrames << what;
        };
        auto feedbackAnswered = [&](const QString& what) {
            return [&, what](QWidget* w) {
                check(what);
                auto form = qobject_cast<TanimazioneForm*>(w);
                QVERIFY(form);
                // The window over it scans and shows its own frame.
                QVERIFY(form->scanning() && form->scanning()->running());
                QVERIFY(magentaPixels(form->panelBottom) > 0);
                form->okBut->click();
            };
        };
        script.then(QStringLiteral("introduction"), feedbackAnswered(QStringLiteral("introduction")));
        script.choose(QStringLiteral("Cornice"), 1, 1);
        QVERIFY(open(run));
        QVERIFY(run.scansione()->running());
        QTRY_VERIFY(magentaPixels(run.PanelScansione) > 0);

        script.then(QStringLiteral("task"), [&](QWidget* w) {
            check(QStringLiteral("task"));
            qobject_cast<TFormCompito*>(w)->OkButton->click();
        });
        QTest::mouseClick(run.suggBut, Qt::LeftButton);
        QVERIFY(script.done());
        QVERIFY(run.scansione()->running());
        QTRY_VERIFY(magentaPixels(run.PanelScansione) > 0);

        run.nonBot->click();
        script.then(QStringLiteral("feedback"), feedbackAnswered(QStringLiteral("feedback")));
        run.nonBot->click();                 // the first part is right
        QVERIFY(script.done());
        QCOMPARE(run.shownSentence, 2);
        QVERIFY(run.scansione()->running());

        {
            WidgetDialogService real;
            DialogService* kept = setDialogService(&real);
            script.then(QStringLiteral("question"), [&](QWidget* w) {
                check(QStringLiteral("question"));
                auto box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box);
                box->button(QMessageBox::Cancel)->click();
            });
            QApplication::setActiveWindow(&run);
            QTest::keyClick(&run, Qt::Key_Escape);
            setDialogService(kept);
        }
        QVERIFY(script.done());
        QVERIFY(run.isVisible());
        QVERIFY(run.scansione()->running());
        QTRY_VERIFY(magentaPixels(run.PanelScansione) > 0);
        QCOMPARE(twoFrames, QStringList());

        scripted->answer(NoAnswerButton);
        run.close();
        QVERIFY(!run.isVisible());
    }

    // The task window offers its read-aloud button whenever speech is
    // available, whatever the option of reading the sentences says.
    void taskWindowReadsAloudWheneverSpeechIsAvailable()
    {
        writeExercise(QStringLiteral("Compito letto"), allNon(2));
        const bool speechBefore = SpeechAvailable;
        auto restore = qScopeGuard([speechBefore] { SpeechAvailable = speechBefore; });
        RunOptions options;
        options.useSpeech = false;
        Tesegui run(pupil(), runContext(options));
        ModalScript script;
        script.start(QStringLiteral("Compito letto"), 0, 0);
        QVERIFY(open(run));
        QVERIFY(!run.PlayButton->isVisible());   // reading the sentences follows the option

        QList<bool> playShown;
        auto task = [&playShown](QWidget* w) {
            auto window = qobject_cast<TFormCompito*>(w);
            QVERIFY(window);
            playShown << window->PlayButton->isVisible();
            window->OkButton->click();
        };
        SpeechAvailable = true;
        script.then(QStringLiteral("task with speech"), task);
        QTest::mouseClick(run.suggBut, Qt::LeftButton);
        SpeechAvailable = false;
        script.then(QStringLiteral("task without speech"), task);
        QTest::mouseClick(run.suggBut, Qt::LeftButton);
        QVERIFY(script.done());
        QCOMPARE(playShown, (QList<bool>{true, false}));
        scripted->answer(NoAnswerButton);
        run.close();
    }

    // From the main window: F10, the pupil's name and "avanti", a run, and
    // the run stored under the pupil's name in upper case.
    void fromTheMainWindow()
    {
        writeExercise(QStringLiteral("Dal menu"), {2, 1});
        Tmaschera window(context);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.esecuzioneBut->isEnabled());
        ModalScript script;
        script.then(QStringLiteral("set-up"), [](QWidget* w) {
            auto setUp = qobject_cast<TsceltaEs*>(w);
            QVERIFY(setUp);
            setUp->comboNomi->setEditText(QStringLiteral("luisa"));
            setUp->memoInfo->setPlainText(QStringLiteral("quarta B"));
            setUp->proseguiBut->click();
        });
        script.start(QStringLiteral("Dal menu"), 0, 0);
        // The run window is driven from inside its own modal loop.
        QString pupilName;
        QTimer driver;
        connect(&driver, &QTimer::timeout, &driver, [&]() {
            auto run = qobject_cast<Tesegui*>(QApplication::activeModalWidget());
            if (!run || !run->exerciseLoaded)
                return;
            driver.stop();
            pupilName = run->run.pupilName;
            QApplication::setActiveWindow(run);
            answer(*run, 2);
            script.feedback(6, ok);
            script.runName(QStringLiteral("dal menu"));
            QTest::mouseClick(run->fineBut, Qt::LeftButton);
        });
        driver.start(10);
        QTest::keyClick(&window, Qt::Key_F10);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(pupilName, QStringLiteral("LUISA"));
        QVERIFY(script.done());
        QCOMPARE(script.failures, QStringList());
        const QStringList block = storedBlock(QStringLiteral("LUISA^DAL MENU"));
        QVERIFY(block.contains(QStringLiteral("quarta B")));
        QCOMPARE(storedHistory(QStringLiteral("LUISA^DAL MENU")),
                 QStringList{QStringLiteral("0|1|")});
    }
};

QTEST_MAIN(TestEsegui)
#include "tst_esegui.moc"
