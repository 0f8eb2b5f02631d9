#include "model/Funzioni.h"
#include "results/EsportaCsv.h"
#include "results/Urisult.h"
#include "results/Uscform.h"
#include "results/Usintesi.h"
#include "results/Ustampa.h"
#include "execution/Uopzioni.h"
#include "shell/Umascher.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QLabel>
#include <QtTest>

using testsupport::whenModalShown;

namespace {

// The context the windows under test are given, made afresh for each test.
AppContext context;

// The assigned text of the runs: the expected levels are non, imp, molto for
// sentences 1..3 ... and one sentence the teacher left undecided.
const QStringList exerciseLines{
    QStringLiteral("~importante~"),      QStringLiteral("Il lupo beveva al ruscello."),
    QStringLiteral("~nonImportante~"),   QStringLiteral("Era una bella giornata di sole."),
    QStringLiteral("~moltoImportante~"), QStringLiteral("Arrivò l'agnello a bere."),
    QStringLiteral("~importante~"),      QStringLiteral("Il lupo lo accusò di sporcare l'acqua."),
    QStringLiteral("~daDeterminare~"),   QStringLiteral("Fine della favola."),
};

struct Step {
    const char* first;
    const char* second;
    const char* third;
};

bool storeRun(const QString& pupil, const QString& runName, const QList<Step>& history,
              const QStringList& text = exerciseLines, const QString& profile = QString())
{
    Tparametri params;
    params.mode = fromExercise;
    params.source = text;
    params.compito = QString::fromUtf8("Sottolinea le frasi importanti della favola.");
    Tevidenziatore model(params);
    model.hideAnswers();
    TesercizioSvolto run;
    run.pupilName = pupil;
    run.pupilInfo = QStringList{QStringLiteral("classe terza B")};
    run.exerciseName = QStringLiteral("Il lupo e l'agnello");
    run.runName = runName;
    run.displayMode = sentenceBySentence;
    run.feedbackMode = everySentence;
    run.profileLine = profile;
    for (const Step& s : history) {
        run.historyFirst << QString::fromUtf8(s.first);
        run.historySecond << QString::fromUtf8(s.second);
        run.historyThird << QString::fromUtf8(s.third);
    }
    return model.writeRun(resultsFolderIn(context.dataRoot), resultsName, resultsExtension, run);
}

// Steps, a reset between them and a reset after the last step.
const QList<Step> mainHistory{
    {"0", "1", ""},
    {"2", "2", "Torna indietro di 5 frasi"},
    {"-1", "0", "1"},
    {"1", "1", ""},
    {"3", "2", "Nella prima parte ci sono troppi errori"},
    {"-1", "3", "3"},
};

QList<ImportanceLevel> levels(const Tevidenziatore& text)
{
    QList<ImportanceLevel> out;
    for (int i = 0; i < text.sentenceCount; ++i)
        out << text.importanceOf(i);
    return out;
}

bool hasColour(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

QString runProgram(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    return runProgram(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"));
}

int pdfPages(const QString& pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(runProgram(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The top of each printed line of page 1, by its first word, from pdftotext's boxes.
QList<QPair<QString, double>> pdfLineTops(const QString& pdf)
{
    const QString html = runProgram(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                     QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    QList<QPair<QString, double>> tops;
    const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
    double lastTop = -1;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const double top = m.captured(2).toDouble();
        if (qAbs(top - lastTop) > 1) {
            tops << qMakePair(m.captured(3), top);
            lastTop = top;
        }
    }
    return tops;
}

// A CSV reader for the checks: ";" between fields, double quotes around them.
QList<QStringList> parseCsv(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r')) {
            continue;
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

// The next print dialog is answered with PDF output to `pdf`.
void printTo(ScriptedDialogs& script, const QString& pdf)
{
    script.answerPrinter([pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
    });
}

// Chooses pupil and run in the chooser that is open.
void choose(QWidget* modal, const QString& pupil, const QString& runName)
{
    auto chooser = qobject_cast<TscegliRisultatiForm*>(modal);
    QVERIFY(chooser);
    chooser->ComboBox1->setCurrentIndex(chooser->ComboBox1->findText(pupil));
    const QList<QListWidgetItem*> items = chooser->ListBox1->findItems(runName, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    QTest::mouseClick(chooser->ListBox1->viewport(), Qt::LeftButton, {},
                      chooser->ListBox1->visualItemRect(items.first()).center());
    QCOMPARE(chooser->Edit1->text(), runName);
    QTest::mouseClick(chooser->OKBtn, Qt::LeftButton);
}

void openRun(Trisultati& window, const QString& pupil, const QString& runName)
{
    whenModalShown([&](QWidget* modal) { choose(modal, pupil, runName); });
    window.Aprieserciziosvolto1->trigger();
}

QImage shown(QWidget* surface)
{
    return surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestRisultati : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void emptyArchiveAndNoRunLoaded();
    void chooserListsPupilsOnceAndAsksForARun();
    void replayEveryStepWithResets();
    void runWithoutStepsAndDamagedRuns();
    void deletionAnsweredBothWaysAndAGoneRun();
    void summaryShowsAndPrintsTheFinalCounts();
    void printingTheAssignedAndTheDoneText();
    void longPrintoutGoesOnNewPages();
    void exportToCsv();
    void theProfileLineInEveryReader();
    void windowLayoutAndKeys();
    void mainWindowOpensTheArchiveWithF9();

private:
    std::unique_ptr<QTemporaryDir> folder;
};

void TestRisultati::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    context = testsupport::makeContext(folder->path());
    QVERIFY(QDir().mkpath(resultsFolderIn(context.dataRoot)));
}

void TestRisultati::emptyArchiveAndNoRunLoaded()
{
    ScriptedDialogs script;
    Trisultati window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.objectName(), QStringLiteral("Trisultati"));
    QCOMPARE(window.windowTitle(), QStringLiteral("  risultati"));
    window.Aprieserciziosvolto1->trigger();
    window.Eliminaesercizio1->trigger();
    window.Esportacsv1->trigger();
    QTest::mouseClick(window.sintesiBut, Qt::LeftButton);
    QTest::mouseClick(window.stampaBut, Qt::LeftButton);
    QCOMPARE(script.messages(),
             (QStringList{QStringLiteral("Non ci sono esercizi svolti"),
                          QStringLiteral("Non ci sono esercizi da eliminare"),
                          QStringLiteral("Non ci sono esercizi svolti"),
                          QStringLiteral("Non hai caricato alcun esercizio"),
                          QStringLiteral("Non hai caricato alcun esercizio")}));
    QVERIFY(!window.runLoaded());
    QCOMPARE(window.ComboPassi->count(), 0);
    QVERIFY(!window.Buttonpiu->isEnabled());
    QVERIFY(!window.Buttonmeno->isEnabled());
    QCOMPARE(window.countAnswers().total(), 0);
    // The archive file was created empty by the reading.
    QVERIFY(QFileInfo::exists(sectionFilePath(resultsFolderIn(context.dataRoot), resultsName, resultsExtension)));
}

void TestRisultati::chooserListsPupilsOnceAndAsksForARun()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    QVERIFY(storeRun(QStringLiteral("LUCIA"), QStringLiteral("A^B"), {{"0", "0", ""}}));
    QVERIFY(storeRun(QStringLiteral("Mario"), QStringLiteral("SECONDA"), {}));
    Trisultati window(context);
    window.show();
    bool checked = false;
    whenModalShown([&](QWidget* modal) {
        auto chooser = qobject_cast<TscegliRisultatiForm*>(modal);
        QVERIFY(chooser);
        QCOMPARE(chooser->windowTitle(), QStringLiteral("  scegli un esercizio"));
        QCOMPARE(chooser->ComboBox1->count(), 2);
        QCOMPARE(chooser->ComboBox1->itemText(0), QStringLiteral("MARIO"));
        QCOMPARE(chooser->ComboBox1->itemText(1), QStringLiteral("LUCIA"));
        QCOMPARE(chooser->ListBox1->count(), 2);
        QCOMPARE(chooser->ListBox1->item(1)->text(), QStringLiteral("SECONDA"));
        // OK with no run chosen keeps the dialog open.
        QTest::mouseClick(chooser->OKBtn, Qt::LeftButton);
        QVERIFY(chooser->isVisible());
        QCOMPARE(script.messages().last(), QStringLiteral("Seleziona un esercizio"));
        chooser->ComboBox1->setCurrentIndex(1);
        QCOMPARE(chooser->ListBox1->count(), 1);
        QCOMPARE(chooser->ListBox1->item(0)->text(), QStringLiteral("A^B"));
        QVERIFY(chooser->Edit1->text().isEmpty());
        checked = true;
        choose(modal, QStringLiteral("MARIO"), QStringLiteral("SECONDA"));
    });
    window.Aprieserciziosvolto1->trigger();
    QVERIFY(checked);
    // The run of "Mario" is found under its own spelling.
    QVERIFY(window.runLoaded());
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("Mario^SECONDA"));

    // A caret inside a run name stays part of the run name.
    openRun(window, QStringLiteral("LUCIA"), QStringLiteral("A^B"));
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("LUCIA^A^B"));
    QCOMPARE(window.ComboPassi->count(), 2);

    // Annulla loads nothing new.
    whenModalShown([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("cancelBtn")), Qt::LeftButton);
    });
    window.Aprieserciziosvolto1->trigger();
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("LUCIA^A^B"));
}

void TestRisultati::replayEveryStepWithResets()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    Trisultati window(context);
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("PRIMA"));
    QVERIFY(window.runLoaded());

    QStringList items;
    for (int i = 0; i < window.ComboPassi->count(); ++i)
        items << window.ComboPassi->itemText(i);
    QCOMPARE(items, (QStringList{"1", "2", "3", "4", "finale"}));
    QCOMPARE(window.ComboPassi->currentText(), QStringLiteral("finale"));
    QVERIFY(!window.Buttonpiu->isEnabled());
    QVERIFY(window.Buttonmeno->isEnabled());
    QVERIFY(window.Memo2->toPlainText().contains(QStringLiteral("NOME=MARIO")));
    QVERIFY(window.Memo2->toPlainText().contains(QStringLiteral("ALTRE INFORMAZIONI:\nclasse terza B")));
    QVERIFY(window.Memo1->toPlainText().isEmpty());

    // The assigned text keeps the expected levels.
    const QList<ImportanceLevel> expected{importante, nonImportante, moltoImportante, importante,
                                          daDeterminare};
    QCOMPARE(levels(*window.assignedTextModel()), expected);

    using L = QList<ImportanceLevel>;
    struct Expected {
        L levels;
        int marked;
        const char* feedback;
    };
    // Item k shows the state after step k + 1; the reset recorded before the
    // third step applies from there on; the reset after the last step never.
    const Expected states[] = {
        {{importante, nonImportante, nonImportante, nonImportante, nonImportante}, 0, ""},
        {{importante, nonImportante, moltoImportante, nonImportante, nonImportante}, 2,
         "Torna indietro di 5 frasi"},
        {{nonImportante, importante, moltoImportante, nonImportante, nonImportante}, 1, ""},
        {{nonImportante, importante, moltoImportante, moltoImportante, nonImportante}, 3,
         "Nella prima parte ci sono troppi errori"},
    };
    // "finale" shows the last step's levels, unmarked, at the top.
    QCOMPARE(levels(*window.doneTextModel()), states[3].levels);
    QVERIFY(!hasColour(shown(window.PaintCanvas2), FrameColour));
    QVERIFY(!hasColour(shown(window.PaintCanvas1), FrameColour));
    // The right text shows the replayed levels: red boxes for the molto importante ones.
    QVERIFY(hasColour(shown(window.PaintCanvas2), importanceColour(moltoImportante).fill));

    for (int k = 3; k >= 0; --k) {
        QTest::mouseClick(window.Buttonmeno, Qt::LeftButton);
        QCOMPARE(window.ComboPassi->currentIndex(), k);
        QCOMPARE(levels(*window.doneTextModel()), states[k].levels);
        QCOMPARE(window.doneTextModel()->currentSentence, states[k].marked);
        QCOMPARE(window.Memo1->toPlainText(), QString::fromUtf8(states[k].feedback));
        QVERIFY(hasColour(shown(window.PaintCanvas2), FrameColour));
        QVERIFY(!hasColour(shown(window.PaintCanvas1), FrameColour));
        QCOMPARE(window.Buttonmeno->isEnabled(), k > 0);
        QVERIFY(window.Buttonpiu->isEnabled());
    }
    // "-" at the first step does nothing.
    QTest::mouseClick(window.Buttonmeno, Qt::LeftButton);
    QCOMPARE(window.ComboPassi->currentIndex(), 0);
    for (int k = 1; k <= 4; ++k)
        QTest::mouseClick(window.Buttonpiu, Qt::LeftButton);
    QCOMPARE(window.ComboPassi->currentText(), QStringLiteral("finale"));
    QCOMPARE(levels(*window.doneTextModel()), states[3].levels);
    QVERIFY(!window.Buttonpiu->isEnabled());
    QTest::mouseClick(window.Buttonpiu, Qt::LeftButton);
    QCOMPARE(window.ComboPassi->currentText(), QStringLiteral("finale"));

    // Choosing an item in the list shows it as the buttons do.
    window.ComboPassi->setCurrentIndex(1);
    QCOMPARE(levels(*window.doneTextModel()), states[1].levels);
    QCOMPARE(window.Memo1->toPlainText(), QStringLiteral("Torna indietro di 5 frasi"));

    // The counts of the final state: daDeterminare is left out.
    AnswerCounts counts;
    counts.count(2, 1) = 1;   // sentence 1: expected importante, given non (reset)
    counts.count(1, 2) = 1;
    counts.count(3, 3) = 1;
    counts.count(2, 3) = 1;
    QCOMPARE(window.countAnswers().values, counts.values);
    // Counting does not change what is on display.
    QCOMPARE(levels(*window.doneTextModel()), states[1].levels);
    // A run stored without times: "-" at every step and for the total.
    QCOMPARE(window.LabelTempo->text(), QStringLiteral("tempo di risposta: -"));
    window.ComboPassi->setCurrentIndex(4);
    QCOMPARE(window.LabelTempo->text(), QStringLiteral("tempo totale: -"));
}

void TestRisultati::runWithoutStepsAndDamagedRuns()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("ANNA"), QStringLiteral("VUOTA"), {{"-1", "0", "2"}}));
    // History lines naming sentences that do not exist, unknown codes, a
    // reset reaching far beyond the text, fields that are not numbers.
    QVERIFY(storeRun(QStringLiteral("ANNA"), QStringLiteral("ROVINATA"),
                     {{"7", "1", ""}, {"2", "9", ""}, {"x", "1", ""}, {"1", "2", ""},
                      {"-1", "0", "2000000000"}, {"-1", "a", "b"}, {"4", "1", ""}}));
    // Times that are not times (a word, negative, longer than a day) and a
    // fifth field: shown as "-", the steps replayed as ever.
    QVERIFY(appendLines({QStringLiteral("[identificatore=ANNA^TEMPI]"), QStringLiteral("[testo]"),
                         QStringLiteral("~importante~"), QStringLiteral("Una frase."),
                         QStringLiteral("[storia]"), QStringLiteral("0|1| |lento"),
                         QStringLiteral("0|2| |-300"), QStringLiteral("0|0| |99999999999"),
                         QStringLiteral("0|1| |1200|altro")},
                        resultsFolderIn(context.dataRoot), resultsName, resultsExtension));
    // A block without its text and history sections, written by hand.
    QVERIFY(appendLines({QStringLiteral("[identificatore=ANNA^MONCA]"), QStringLiteral("[informazioni]"),
                         QStringLiteral("NOME=ANNA")},
                        resultsFolderIn(context.dataRoot), resultsName, resultsExtension));
    Trisultati window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    openRun(window, QStringLiteral("ANNA"), QStringLiteral("VUOTA"));
    QCOMPARE(window.ComboPassi->count(), 1);
    QCOMPARE(window.ComboPassi->itemText(0), QStringLiteral("finale"));
    QVERIFY(!window.Buttonpiu->isEnabled());
    QVERIFY(!window.Buttonmeno->isEnabled());
    QCOMPARE(levels(*window.doneTextModel()), QList<ImportanceLevel>(5, nonImportante));
    QCOMPARE(window.doneTextModel()->currentSentence, -1);
    QVERIFY(!hasColour(shown(window.PaintCanvas2), FrameColour));
    QVERIFY(!hasColour(shown(window.PaintCanvas2), importanceColour(moltoImportante).fill));
    QVERIFY(hasColour(shown(window.PaintCanvas1), importanceColour(moltoImportante).fill));

    openRun(window, QStringLiteral("ANNA"), QStringLiteral("ROVINATA"));
    QCOMPARE(window.ComboPassi->count(), 6);
    // Step "4" (sentence 1, molto) then the reset of everything; the last
    // step sets sentence 4.
    window.ComboPassi->setCurrentIndex(3);
    QCOMPARE(levels(*window.doneTextModel()),
             (QList<ImportanceLevel>{nonImportante, moltoImportante, nonImportante, nonImportante,
                                     nonImportante}));
    QCOMPARE(window.doneTextModel()->currentSentence, 1);
    window.ComboPassi->setCurrentIndex(0);   // a step naming sentence 7 marks nothing
    QCOMPARE(window.doneTextModel()->currentSentence, -1);
    QCOMPARE(levels(*window.doneTextModel()), QList<ImportanceLevel>(5, nonImportante));
    window.ComboPassi->setCurrentIndex(5);
    QCOMPARE(levels(*window.doneTextModel()),
             (QList<ImportanceLevel>{nonImportante, nonImportante, nonImportante, nonImportante,
                                     importante}));

    const QString archive = sectionFilePath(resultsFolderIn(context.dataRoot), resultsName, resultsExtension);
    const QByteArray stored = testsupport::readBytes(archive);
    openRun(window, QStringLiteral("ANNA"), QStringLiteral("TEMPI"));
    QStringList times;
    for (int k = 0; k < window.ComboPassi->count(); ++k) {
        window.ComboPassi->setCurrentIndex(k);
        times << window.LabelTempo->text();
    }
    QCOMPARE(times, (QStringList{"tempo di risposta: -", "tempo di risposta: -", "tempo di risposta: -",
                                 "tempo di risposta: 1,2 s", "tempo totale: -"}));
    QCOMPARE(levels(*window.doneTextModel()), QList<ImportanceLevel>{importante});
    QCOMPARE(testsupport::readBytes(archive), stored);   // read, never rewritten

    openRun(window, QStringLiteral("ANNA"), QStringLiteral("MONCA"));
    QVERIFY(window.runLoaded());
    QCOMPARE(window.doneTextModel()->sentenceCount, 0);
    QCOMPARE(window.ComboPassi->count(), 1);
    QCOMPARE(window.countAnswers().total(), 0);
    QVERIFY(window.Memo2->toPlainText().contains(QStringLiteral("NOME=ANNA")));
    QVERIFY(script.messages().isEmpty());
}

void TestRisultati::deletionAnsweredBothWaysAndAGoneRun()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("SECONDA"), mainHistory));
    const QString path = sectionFilePath(resultsFolderIn(context.dataRoot), resultsName, resultsExtension);
    const QByteArray before = testsupport::readBytes(path);
    Trisultati window(context);
    window.show();
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("PRIMA"));

    auto deleteChosen = [&](const QString& runName) {
        whenModalShown([&, runName](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QStringLiteral("  elimina un esercizio"));
            choose(modal, QStringLiteral("MARIO"), runName);
        });
        window.Eliminaesercizio1->trigger();
    };

    // Annulla keeps the file as it was.
    script.answer(CancelButton);
    deleteChosen(QStringLiteral("PRIMA"));
    QCOMPARE(script.last().caption, QStringLiteral("Attenzione!"));
    QCOMPARE(script.last().text, QStringLiteral("Eliminare l'esercizio PRIMA svolto da MARIO ?"));
    QCOMPARE(script.last().buttons, OkButton | CancelButton);
    QCOMPARE(script.last().icon, DialogIcon::Warning);
    QCOMPARE(testsupport::readBytes(path), before);

    // OK removes the block; the run stays on display.
    script.answer(OkButton);
    deleteChosen(QStringLiteral("PRIMA"));
    QStringList ids;
    listValues(ids, resultsKey, resultsFolderIn(context.dataRoot), resultsName, resultsExtension);
    QCOMPARE(ids, QStringList{QStringLiteral("MARIO^SECONDA")});
    QVERIFY(window.runLoaded());
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("MARIO^PRIMA"));
    QCOMPARE(window.ComboPassi->count(), 5);

    // A run that goes while the chooser is open (another computer of the lab)
    // is said to be gone, and nothing is touched.
    script.answer(OkButton);
    whenModalShown([&](QWidget* modal) {
        QVERIFY(removeBlock(resultsKey, QStringLiteral("MARIO^SECONDA"), resultsFolderIn(context.dataRoot),
                            resultsName, resultsExtension));
        choose(modal, QStringLiteral("MARIO"), QStringLiteral("SECONDA"));
    });
    window.Eliminaesercizio1->trigger();
    QVERIFY(script.messages().last().contains(QString::fromUtf8("non è più nell'archivio")));
    QVERIFY(script.messages().last().contains(QStringLiteral("SECONDA")));
    QCOMPARE(script.pendingAnswers(), 0);

    // Opening a run that has gone says so and keeps what is shown.
    QVERIFY(!window.loadRun(QStringLiteral("MARIO^SECONDA")));
    QVERIFY(script.messages().last().contains(QString::fromUtf8("non è più nell'archivio")));
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("MARIO^PRIMA"));
}

void TestRisultati::summaryShowsAndPrintsTheFinalCounts()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    Trisultati window(context);
    window.show();
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("PRIMA"));
    window.ComboPassi->setCurrentIndex(0);   // the summary shows the final state all the same

    const QString pdf = folder->filePath(QStringLiteral("sintesi.pdf"));
    printTo(script, pdf);
    script.cancelPrinter();
    bool seen = false;
    whenModalShown([&](QWidget* modal) {
        auto form = qobject_cast<TsintesiForm*>(modal);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral(" risultati in sintesi"));
        QCOMPARE(form->paintSintesi->table->counts().values,
                 (std::array<int, 9>{0, 1, 0, 1, 0, 1, 0, 0, 1}));
        // The table on screen: the right answer of "molto importante" in its red cell.
        const QImage picture = form->paintSintesi->grab().toImage();
        const TableGeometry& g = form->paintSintesi->table->geometry();
        const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
        const int y1 = g.top + g.titleRowHeight + g.labelRowHeight;
        QCOMPARE(picture.pixelColor(x1 + 2 * g.cellWidth + 4, y1 + 2 * g.cellHeight + 4),
                 QColor(255, 0, 0));
        QTest::mouseClick(form->stampaBut, Qt::LeftButton);
        QCOMPARE(script.messages().last(), QStringLiteral("Stampa effettuata"));
        const int messages = int(script.messages().size());
        QTest::mouseClick(form->stampaBut, Qt::LeftButton);   // cancelled: nothing happens
        QCOMPARE(int(script.messages().size()), messages);
        seen = true;
        QTest::mouseClick(form->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.sintesiBut, Qt::LeftButton);
    QVERIFY(seen);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("testo proposto")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("NOME=MARIO")));
    QVERIFY(text.contains(QStringLiteral("NOME ESERCIZIO=Il lupo e l'agnello")));
    QVERIFY(text.contains(QStringLiteral("TIPO DI FEEDBACK=dopo ogni frase")));
    QCOMPARE(window.ComboPassi->currentIndex(), 0);
}

void TestRisultati::printingTheAssignedAndTheDoneText()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    Trisultati window(context);
    window.show();
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("PRIMA"));
    window.ComboPassi->setCurrentIndex(2);
    const QList<ImportanceLevel> third = levels(*window.doneTextModel());

    const QString assignedPdf = folder->filePath(QStringLiteral("assegnato.pdf"));
    const QString donePdf = folder->filePath(QStringLiteral("svolto.pdf"));
    for (const QString& pdf : {assignedPdf, donePdf}) {
        printTo(script, pdf);
    }
    whenModalShown([&](QWidget* modal) {
        auto dialog = qobject_cast<TStampaDlg*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Stampa il testo"));
        QCOMPARE(dialog->EditFont->text(), QStringLiteral("14"));
        QVERIFY(dialog->testoAssegnatoRadio->isChecked());
        // The size stays between 8 and 24.
        for (int i = 0; i < 15; ++i)
            dialog->SpinFont->upButton()->click();
        QCOMPARE(dialog->EditFont->text(), QStringLiteral("24"));
        QCOMPARE(window.printFont.pointSize(), 24);
        for (int i = 0; i < 20; ++i)
            dialog->SpinFont->downButton()->click();
        QCOMPARE(dialog->EditFont->text(), QStringLiteral("8"));
        for (int i = 0; i < 4; ++i)
            dialog->SpinFont->upButton()->click();
        QCOMPARE(window.printFont.pointSize(), 12);
        QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);
        dialog->esercizioSvoltoRadio->setChecked(true);
        QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);   // the dialog stays open for it
        QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.stampaBut, Qt::LeftButton);
    QCOMPARE(script.messages(), (QStringList{QStringLiteral("Stampa effettuata"),
                                             QStringLiteral("Stampa effettuata")}));
    // The window still shows the third step, and the size stays for later prints.
    QCOMPARE(window.ComboPassi->currentIndex(), 2);
    QCOMPARE(levels(*window.doneTextModel()), third);
    QCOMPARE(window.doneTextModel()->currentSentence, 1);
    QCOMPARE(window.printFont.pointSize(), 12);

    const QString assigned = pdfText(assignedPdf);
    QVERIFY2(assigned.contains(QStringLiteral("[INFORMAZIONI]\nNOME ESERCIZIO=Il lupo e l'agnello\n"
                                              "COMPITO:\nSottolinea le frasi importanti della favola.\n")),
             qPrintable(assigned));
    QVERIFY(!assigned.contains(QStringLiteral("NOME=MARIO")));
    QVERIFY(!assigned.contains(QStringLiteral("DATA=")));
    QVERIFY(!assigned.contains(QStringLiteral("TIPO DI")));
    const QString done = pdfText(donePdf);
    QVERIFY2(done.contains(QStringLiteral("[INFORMAZIONI]\nNOME=MARIO\nALTRE INFORMAZIONI:\n"
                                          "classe terza B\nNOME ESERCIZIO=")),
             qPrintable(done));
    QVERIFY(done.contains(QStringLiteral("TIPO DI FEEDBACK=dopo ogni frase")));
    for (const QString& text : {assigned, done}) {
        const QStringList order{QStringLiteral("[LEGENDA]"), QStringLiteral("testo normale --> non importante"),
                                QStringLiteral("testo sottolineato --> importante"),
                                QStringLiteral("testo grassetto --> molto importante"),
                                QStringLiteral("[ESERCIZIO]"), QStringLiteral("Il lupo beveva"),
                                QStringLiteral("Era una bella giornata"), QString::fromUtf8("Arrivò l'agnello"),
                                QStringLiteral("Il lupo lo accusò"), QStringLiteral("Fine della favola.")};
        qsizetype at = text.indexOf(QStringLiteral("[INFORMAZIONI]"));
        QVERIFY(at >= 0);
        for (const QString& piece : order) {
            const qsizetype next = text.indexOf(piece, at);
            QVERIFY2(next > at, qPrintable(piece));
            at = next;
        }
    }
    // One empty line before "[LEGENDA]" and one before "[ESERCIZIO]": the gap
    // there is twice the line pitch.
    const auto tops = pdfLineTops(donePdf);
    QVERIFY(tops.size() > 12);
    auto topOf = [&tops](const QString& first) {
        for (int i = 0; i < tops.size(); ++i)
            if (tops.at(i).first == first)
                return i;
        return -1;
    };
    const int legend = topOf(QStringLiteral("[LEGENDA]"));
    const int exercise = topOf(QStringLiteral("[ESERCIZIO]"));
    QVERIFY(legend > 1 && exercise > legend);
    const double pitch = tops.at(legend + 1).second - tops.at(legend).second;
    QVERIFY(pitch > 5);
    QVERIFY(qAbs(tops.at(legend).second - tops.at(legend - 1).second - 2 * pitch) < 1.0);
    QVERIFY(qAbs(tops.at(exercise).second - tops.at(exercise - 1).second - 2 * pitch) < 1.0);
}

void TestRisultati::longPrintoutGoesOnNewPages()
{
    ScriptedDialogs script;
    QStringList text;
    for (int i = 0; i < 90; ++i) {
        text << QString::fromLatin1(i % 3 == 0 ? "~moltoImportante~" : "~nonImportante~")
             << QStringLiteral("Frase numero %1 di un testo lungo, che va su diverse pagine.").arg(i);
    }
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("LUNGA"), {{"0", "2", ""}}, text));
    Trisultati window(context);
    window.show();
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("LUNGA"));
    const QString pdf = folder->filePath(QStringLiteral("lungo.pdf"));
    printTo(script, pdf);
    whenModalShown([](QWidget* modal) {
        auto dialog = qobject_cast<TStampaDlg*>(modal);
        QVERIFY(dialog);
        dialog->esercizioSvoltoRadio->setChecked(true);
        QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);
        QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.stampaBut, Qt::LeftButton);
    const int pages = pdfPages(pdf);
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    // Every sentence is printed once, in order, across the pages; each new
    // page starts at the top margin.
    QString all;
    for (int p = 1; p <= pages; ++p)
        all += pdfText(pdf, p);
    qsizetype at = 0;
    for (int i = 0; i < 90; ++i) {
        const qsizetype next = all.indexOf(QStringLiteral("Frase numero %1 di").arg(i), at);
        QVERIFY2(next >= at, qPrintable(QString::number(i)));
        at = next;
    }
    const QString second = pdfText(pdf, 2);
    QVERIFY(second.startsWith(QStringLiteral("Frase numero ")));
}

void TestRisultati::exportToCsv()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    QVERIFY(storeRun(QString::fromUtf8("NICOLÒ"), QStringLiteral("PROVA \"UNO\"; BIS"), {{"2", "2", ""}}));
    QVERIFY(storeRun(QStringLiteral("Mario"), QStringLiteral("SECONDA"), {}));
    QVERIFY(storeRun(QStringLiteral("@LUCA"), QStringLiteral("=SOMMA(A1:A9)"), {}));
    Trisultati window(context);
    window.show();

    const QString path = folder->filePath(QStringLiteral("esportati"));
    script.answerFile(path);
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TesportaForm*>(modal);
        QVERIFY(form);
        QStringList listed;
        for (int i = 0; i < form->ComboAlunni->count(); ++i)
            listed << form->ComboAlunni->itemText(i);
        // Everyone first, then the pupils in alphabetical order.
        QCOMPARE(listed, (QStringList{QStringLiteral("tutti gli alunni"), QStringLiteral("@LUCA"),
                                      QStringLiteral("MARIO"), QString::fromUtf8("NICOLÒ")}));
        QTest::mouseClick(form->OKBtn, Qt::LeftButton);
    });
    window.Esportacsv1->trigger();
    QVERIFY2(script.messages().last().startsWith(QStringLiteral("Esportazione effettuata: 4")),
             qPrintable(script.messages().join('|')));

    const QByteArray bytes = testsupport::readBytes(path + QStringLiteral(".csv"));
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF\"alunno\";\"esercizio\";"));
    QVERIFY(bytes.contains("\r\n"));
    const QList<QStringList> runs = parseCsv(bytes);
    QCOMPARE(runs.size(), 5);
    for (const QStringList& row : runs)
        QCOMPARE(row.size(), 19);
    QCOMPARE(runs[0][6], QStringLiteral("proposto non / svolto non"));
    QCOMPARE(runs[0][15], QStringLiteral("errore medio"));
    QCOMPARE(runs[0][17], QStringLiteral("profilo"));
    QCOMPARE(runs[1][17], QString());     // stored without a pupil's profile
    QCOMPARE(runs[1].mid(0, 3), (QStringList{"MARIO", "Il lupo e l'agnello", "PRIMA"}));
    QCOMPARE(runs[1][4], QStringLiteral("una frase per volta"));
    QCOMPARE(runs[1][5], QStringLiteral("dopo ogni frase"));
    QCOMPARE(runs[1].mid(6, 9), (QStringList{"0", "1", "0", "1", "0", "1", "0", "0", "1"}));
    // Errors 1 + 1 + 0 + 1 over five sentences, with an Italian decimal comma.
    QCOMPARE(runs[1][15], QStringLiteral("0,600"));
    QCOMPARE(runs[1][16], QStringLiteral("abbastanza bene"));
    QCOMPARE(runs[0][18], QStringLiteral("tempo totale (s)"));
    QCOMPARE(runs[1][18], QString());   // stored without times
    QCOMPARE(runs[2][0], QString::fromUtf8("NICOLÒ"));
    QCOMPARE(runs[2][2], QStringLiteral("PROVA \"UNO\"; BIS"));
    QCOMPARE(runs[3][0], QStringLiteral("Mario"));
    QCOMPARE(runs[3][16], QStringLiteral("non molto bene"));   // nothing marked: 1 + 2 + 1 over 5
    // Names that a spreadsheet would take for formulas stay texts.
    QCOMPARE(runs[4].mid(0, 3), (QStringList{" @LUCA", "Il lupo e l'agnello", " =SOMMA(A1:A9)"}));

    const QList<QStringList> sentences =
        parseCsv(testsupport::readBytes(path + QStringLiteral("_frasi.csv")));
    QCOMPARE(sentences.size(), 1 + 4 * 5);
    QCOMPARE(sentences[0], (QStringList{"alunno", "prova", "esercizio", "frase", "livello atteso",
                                        "livello dato", "testo", "tempo (s)"}));
    QCOMPARE(sentences[3], (QStringList{"MARIO", "PRIMA", "Il lupo e l'agnello", "3",
                                        "molto importante", "molto importante",
                                        QString::fromUtf8("Arrivò l'agnello a bere."), ""}));
    QCOMPARE(sentences[5][4], QStringLiteral("da determinare"));

    // One pupil only: "mario" in any case, both of the runs stored under either spelling.
    QString error;
    int count = 0;
    const QString archive = resultsFolderIn(context.dataRoot);
    QVERIFY(exportResultsCsv(archive, QStringLiteral("mario"), path + QStringLiteral("2.csv"), error, &count));
    QCOMPARE(count, 2);
    QCOMPARE(parseCsv(testsupport::readBytes(path + QStringLiteral("2.csv"))).size(), 3);
    // A file that cannot be written is reported and nothing is said to be done.
    QVERIFY(!exportResultsCsv(archive, QString(), folder->filePath(QStringLiteral("manca/x.csv")), error));
    QVERIFY(error.startsWith(QStringLiteral("Errore nella scrittura del file")));
}

// A run stored with the pupil's profile: the results window shows the line
// with the other information, the summary and the printout of the done text
// print it, the printout of the assigned text leaves it out with the rest of
// the run's own lines, and the export has it in its column.
void TestRisultati::theProfileLineInEveryReader()
{
    ScriptedDialogs script;
    const QString words = QString::fromUtf8(
        "passo 3 s; accettazione 0,3 s; primo passo 1 s; ignora ripetizioni 0,5 s; giri 2; "
        "scansione uditiva sì; cornice grande sì; carattere Liberation Sans 20; sintesi no; "
        "tempo massimo 10 s");
    QVERIFY(storeRun(QStringLiteral("ANNA"), QStringLiteral("CON PROFILO"), mainHistory,
                     exerciseLines, words));
    Trisultati window(context);
    window.show();
    openRun(window, QStringLiteral("ANNA"), QStringLiteral("CON PROFILO"));
    const QStringList shown = window.Memo2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(shown.mid(shown.size() - 3),
             (QStringList{QStringLiteral("TIPO DI VISUALIZZAZIONE=una frase per volta"),
                          QStringLiteral("TIPO DI FEEDBACK=dopo ogni frase"),
                          QStringLiteral("PROFILO=") + words}));
    QCOMPARE(window.stepCount(), 4);      // the history reads as before

    const QString summaryPdf = folder->filePath(QStringLiteral("sintesi-profilo.pdf"));
    printTo(script, summaryPdf);
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TsintesiForm*>(modal);
        QVERIFY(form);
        QTest::mouseClick(form->stampaBut, Qt::LeftButton);
        QTest::mouseClick(form->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.sintesiBut, Qt::LeftButton);
    const QString assignedPdf = folder->filePath(QStringLiteral("assegnato-profilo.pdf"));
    const QString donePdf = folder->filePath(QStringLiteral("svolto-profilo.pdf"));
    printTo(script, assignedPdf);
    printTo(script, donePdf);
    whenModalShown([](QWidget* modal) {
        auto dialog = qobject_cast<TStampaDlg*>(modal);
        QVERIFY(dialog);
        QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);
        dialog->esercizioSvoltoRadio->setChecked(true);
        QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);
        QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.stampaBut, Qt::LeftButton);
    QCOMPARE(script.messages().size(), 3);
    // Printed lines are broken at the page's width: compare the words.
    const auto flat = [](const QString& text) { return text.simplified(); };
    for (const QString& pdf : {summaryPdf, donePdf})
        QVERIFY2(flat(pdfText(pdf)).contains(QStringLiteral("PROFILO=") + words), qPrintable(pdf));
    QVERIFY(!pdfText(assignedPdf).contains(QStringLiteral("PROFILO")));

    QString error;
    const QString csv = folder->filePath(QStringLiteral("profilo.csv"));
    QVERIFY(exportResultsCsv(resultsFolderIn(context.dataRoot), QStringLiteral("anna"), csv, error));
    const QList<QStringList> rows = parseCsv(testsupport::readBytes(csv));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1][17], words);
}

void TestRisultati::windowLayoutAndKeys()
{
    ScriptedDialogs script;
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("PRIMA"), mainHistory));
    Trisultati window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(400, 300);
    QCOMPARE(window.size(), QSize(640, 480));
    window.resize(901, 650);
    QCOMPARE(qAbs(window.PaintCanvas1->width() - window.PaintCanvas2->width()) <= 1, true);
    QCOMPARE(window.panelCenter->width(), 21);
    QCOMPARE(window.panelBottom->height(), 174);
    for (QPushButton* b : {window.stampaBut, window.sintesiBut, window.CancelBtn})
        QCOMPARE(b->geometry().right() + 1, window.panelBottom->width() - 8);
    QCOMPARE(window.GroupBox1->width(), int(901 * 0.4));
    QVERIFY(window.Buttonpiu->toolTip().contains(QStringLiteral("successivo")));
    QVERIFY(window.stampaBut->toolTip().contains(QLatin1Char('\n')));   // broken at about 40

    // A long text scrolls with the one centre bar, and a chosen step comes into view.
    QStringList text;
    for (int i = 0; i < 60; ++i)
        text << QStringLiteral("~importante~") << QStringLiteral("Frase %1 del testo lungo.").arg(i);
    QVERIFY(storeRun(QStringLiteral("MARIO"), QStringLiteral("LUNGA"),
                     {{"1", "1", ""}, {"55", "2", ""}, {"0", "0", ""}}, text));
    openRun(window, QStringLiteral("MARIO"), QStringLiteral("LUNGA"));
    QVERIFY(window.ScrollBarCenter->maximum() > 0);
    QCOMPARE(window.ScrollBarCenter->value(), 0);
    window.ComboPassi->setCurrentIndex(1);
    QVERIFY(window.ScrollBarCenter->value() > 0);
    QVERIFY(hasColour(shown(window.PaintCanvas2), FrameColour));
    const QImage before = shown(window.PaintCanvas1);
    window.ScrollBarCenter->setValue(0);
    QVERIFY(!hasColour(shown(window.PaintCanvas2), FrameColour));
    QVERIFY(shown(window.PaintCanvas1) != before);
    window.ComboPassi->setCurrentIndex(3);   // finale goes back to the top
    QCOMPARE(window.ScrollBarCenter->value(), 0);

    // Esc that closes the step list or the menu closes only that.
    window.ComboPassi->showPopup();
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY(window.isVisible());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.windowHandle(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY(window.isVisible());

    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

void TestRisultati::mainWindowOpensTheArchiveWithF9()
{
    ScriptedDialogs script;
    Tmaschera main(context);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(main.risultatiBut->isEnabled());
    QString title;
    whenModalShown([&](QWidget* modal) {
        title = modal->windowTitle();
        QCOMPARE(Trisultati::instance(), qobject_cast<Trisultati*>(modal));
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("CancelBtn")), Qt::LeftButton);
    });
    QTest::keyClick(&main, Qt::Key_F9);
    QCOMPARE(title, QStringLiteral("  risultati"));
    QVERIFY(!Trisultati::instance());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestRisultati)
#include "tst_risultati.moc"
