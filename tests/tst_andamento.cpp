#include "results/Uandamento.h"
#include "results/Urisult.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QValueAxis>
#include <QtTest>

namespace {

// Four sentences; the teacher's levels: importante, non, molto, non.
const char* const textLines[] = {"~importante~",     "Il lupo beveva.", "~nonImportante~",
                                 "Era sera.",        "~moltoImportante~", "Arriva l'agnello.",
                                 "~nonImportante~", "Fine."};

QByteArray block(const char* id, const char* exercise, const char* date,
                 std::initializer_list<const char*> history)
{
    QByteArray out = QByteArray("[identificatore=") + id + "]\r\n[informazioni]\r\nNOME="
                     + QByteArray(id).left(QByteArray(id).indexOf('^'))
                     + "\r\nALTRE INFORMAZIONI:\r\nNOME ESERCIZIO=" + exercise
                     + "\r\nCOMPITO:\r\nSottolinea.\r\nDATA=" + date
                     + "\r\nTIPO DI VISUALIZZAZIONE=una frase per volta\r\n"
                       "TIPO DI FEEDBACK=dopo ogni frase\r\n[testo]\r\n";
    for (const char* line : textLines)
        out += QByteArray(line) + "\r\n";
    out += "[storia]\r\n";
    for (const char* line : history)
        out += QByteArray(line) + "\r\n";
    return out;
}

// Mario's runs of two exercises, out of date order in the file, with and
// without times; one of Anna's; one of Mario's whose date cannot be read.
QByteArray archive()
{
    return block("MARIO^SECONDA VOLPE", "La volpe e l'uva", "01/03/2024 11:00:00",
                 {"0|2| |5000", "-1|0|0", "2|2| |7000"})      // error 1 of 4, 6 s per answer
           + block("MARIO^PRIMA LUPO", "Il lupo e l'agnello", "01/02/2024 10:00:00",
                   {"0|1| |2000", "2|1| |4000"})              // 1 of 4, 3 s
           + block("ANNA^UNO", "Il lupo e l'agnello", "05/02/2024 08:15:00", {"0|1| |1500"})
           + block("MARIO^SECONDA LUPO", "Il lupo e l'agnello", "15/02/2024 09:00:00",
                   {"0|1| |1000", "2|2|Sei andato bene nella prima parte|3000"})   // 0, 2 s
           + block("MARIO^PRIMA VOLPE", "La volpe e l'uva", "08/02/2024 09:30:00",
                   {})                                         // 3 of 4, stored without times
           + block("MARIO^SENZA DATA", "La volpe e l'uva", "ieri", {"0|1|"});
}

double at(const char* date)
{
    return double(QDateTime::fromString(QLatin1String(date), QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                      .toMSecsSinceEpoch());
}

QList<QPointF> pointsOf(const QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) {
            if (auto line = qobject_cast<QLineSeries*>(series))
                return line->points();
        }
    }
    return {QPointF(-1, -1)};
}

QStringList namesOf(const QChart* chart)
{
    QStringList names;
    for (const QAbstractSeries* series : chart->series())
        names << series->name();
    return names;
}

QLineSeries* lineSeries(const QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name)
            return qobject_cast<QLineSeries*>(series);
    }
    return nullptr;
}

QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void checkCharts(TandamentoForm& form);

} // namespace

class TestAndamento : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void chartOfAPupilWithRunsOfTwoExercises();
    void printedAndSavedAsPictureAndPdf();

private:
    std::unique_ptr<QTemporaryDir> folder;
    AppContext context;
};

void TestAndamento::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    context = testsupport::makeContext(folder->path());
    const QString archiveFolder = resultsFolderIn(context.dataRoot);
    QVERIFY(QDir().mkpath(archiveFolder));
    QVERIFY(testsupport::writeBytes(archiveFolder + QStringLiteral("/risult.sal"), archive()));
}

void TestAndamento::chartOfAPupilWithRunsOfTwoExercises()
{
    // Opened from the results window on the pupil of the run on display.
    ScriptedDialogs script;
    Trisultati window(context);
    window.show();
    QVERIFY(window.loadRun(QStringLiteral("MARIO^PRIMA LUPO")));
    bool checked = false;
    testsupport::whenModalShown([&checked](QWidget* modal) {
        auto form = qobject_cast<TandamentoForm*>(modal);
        QVERIFY(form);
        checkCharts(*form);
        checked = !QTest::currentTestFailed();
    });
    window.andamento1->trigger();
    QVERIFY(checked);
    // The run whose point was clicked is on display.
    QCOMPARE(window.loadedIdentifier(), QStringLiteral("ANNA^UNO"));
    QVERIFY(script.messages().isEmpty());
}

namespace {

// Mario's charts, checked through the charts' own series; a click on one of
// Anna's points closes the window.
void checkCharts(TandamentoForm& form)
{
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("  andamento di MARIO"));
    QCOMPARE(form.ComboAlunni->currentText(), QStringLiteral("MARIO"));
    QCOMPARE(form.ComboAlunni->count(), 2);

    // The mean error of every dated run, by date: all runs, then one series
    // per exercise, over the three bands of the judgement.
    const QChart* errors = form.ChartErrori->chart();
    QCOMPARE(namesOf(errors), (QStringList{"bene", "abbastanza bene", "non molto bene",
                                           "tutti gli esercizi", "Il lupo e l'agnello",
                                           "La volpe e l'uva"}));
    QCOMPARE(pointsOf(errors, QStringLiteral("tutti gli esercizi")),
             (QList<QPointF>{{at("01/02/2024 10:00:00"), 0.25}, {at("08/02/2024 09:30:00"), 0.75},
                             {at("15/02/2024 09:00:00"), 0.0}, {at("01/03/2024 11:00:00"), 0.25}}));
    QCOMPARE(pointsOf(errors, QStringLiteral("Il lupo e l'agnello")),
             (QList<QPointF>{{at("01/02/2024 10:00:00"), 0.25}, {at("15/02/2024 09:00:00"), 0.0}}));
    QCOMPARE(pointsOf(errors, QStringLiteral("La volpe e l'uva")),
             (QList<QPointF>{{at("08/02/2024 09:30:00"), 0.75}, {at("01/03/2024 11:00:00"), 0.25}}));
    // The bands lie at the bounds 0.4 and 0.7.
    auto good = qobject_cast<QAreaSeries*>(errors->series().at(0));
    auto fair = qobject_cast<QAreaSeries*>(errors->series().at(1));
    QVERIFY(good && fair);
    QCOMPARE(good->lowerSeries()->at(0).y(), 0.0);
    QCOMPARE(good->upperSeries()->at(0).y(), 0.4);
    QCOMPARE(fair->lowerSeries()->at(1).y(), 0.4);
    QCOMPARE(fair->upperSeries()->at(1).y(), 0.7);
    auto dates = qobject_cast<QDateTimeAxis*>(errors->axes(Qt::Horizontal).value(0));
    QVERIFY(dates);
    QVERIFY(dates->min().toMSecsSinceEpoch() < at("01/02/2024 10:00:00"));
    QVERIFY(dates->max().toMSecsSinceEpoch() > at("01/03/2024 11:00:00"));

    // The mean time per answer, in seconds, of the runs that have times.
    const QChart* times = form.ChartTempi->chart();
    QCOMPARE(pointsOf(times, QStringLiteral("tutti gli esercizi")),
             (QList<QPointF>{{at("01/02/2024 10:00:00"), 3.0}, {at("15/02/2024 09:00:00"), 2.0},
                             {at("01/03/2024 11:00:00"), 6.0}}));
    QCOMPARE(pointsOf(times, QStringLiteral("La volpe e l'uva")),
             (QList<QPointF>{{at("01/03/2024 11:00:00"), 6.0}}));
    QVERIFY(form.LabelNote->text().contains(QStringLiteral("4 esercizi svolti")));
    QVERIFY(form.LabelNote->text().contains(QStringLiteral("1 senza una data leggibile")));
    QVERIFY(form.LabelNote->text().contains(QStringLiteral("1 senza i tempi")));

    // Pointing at a point shows the run's name and date.
    QLineSeries* fox = lineSeries(errors, QStringLiteral("La volpe e l'uva"));
    QVERIFY(fox);
    QCOMPARE(form.runOfPoint(fox, 1), 3);
    emit fox->hovered(fox->at(1), true);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text().startsWith(QStringLiteral("SECONDA VOLPE - 01/03/2024 11:00\n"
                                                        "La volpe e l'uva\nerrore medio 0,25")),
             qPrintable(QToolTip::text()));
    QLineSeries* allTimes = lineSeries(times, QStringLiteral("Il lupo e l'agnello"));
    emit allTimes->hovered(allTimes->at(1) + QPointF(1000, 0.05), true);   // near the point
    QTRY_VERIFY(QToolTip::text().startsWith(QStringLiteral("SECONDA LUPO - 15/02/2024 09:00")));
    QVERIFY(QToolTip::text().endsWith(QStringLiteral("tempo medio per risposta 2,0 s")));
    emit allTimes->hovered(allTimes->at(1), false);

    // Another pupil, with one run: the chart still draws it.
    form.ComboAlunni->setCurrentIndex(form.ComboAlunni->findText(QStringLiteral("ANNA")));
    emit form.ComboAlunni->textActivated(QStringLiteral("ANNA"));
    QCOMPARE(form.windowTitle(), QStringLiteral("  andamento di ANNA"));
    QCOMPARE(pointsOf(form.ChartErrori->chart(), QStringLiteral("Il lupo e l'agnello")),
             (QList<QPointF>{{at("05/02/2024 08:15:00"), 0.5}}));
    QCOMPARE(pointsOf(form.ChartTempi->chart(), QStringLiteral("tutti gli esercizi")),
             (QList<QPointF>{{at("05/02/2024 08:15:00"), 1.5}}));

    // A click on a point closes the window with that run chosen.
    QLineSeries* annas = lineSeries(form.ChartErrori->chart(), QStringLiteral("Il lupo e l'agnello"));
    emit annas->clicked(annas->at(0));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.chosenIdentifier(), QStringLiteral("ANNA^UNO"));
}

} // namespace

void TestAndamento::printedAndSavedAsPictureAndPdf()
{
    ScriptedDialogs script;
    TandamentoForm form(context, QString());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.progress().pupil, QStringLiteral("MARIO"));   // the first pupil of the archive

    const QString printed = folder->filePath(QStringLiteral("stampa.pdf"));
    script.answerPrinter([printed](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
    });
    QTest::mouseClick(form.stampaBut, Qt::LeftButton);
    QCOMPARE(script.messages().last(), QStringLiteral("Stampa effettuata"));
    const QString text = pdfText(printed);
    for (const char* expected : {"Andamento di MARIO", "Errore medio per frase", "Tempo medio per risposta",
                                 "La volpe e l'uva", "Il lupo e l'agnello", "abbastanza bene"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

    // A picture: the bands in their colours, the title written.
    const QString png = folder->filePath(QStringLiteral("andamento"));
    script.answerFile(png);
    QTest::mouseClick(form.immagineBut, Qt::LeftButton);
    QCOMPARE(script.messages().last(), QStringLiteral("Grafico salvato in andamento.png"));
    const QImage picture(png + QStringLiteral(".png"));
    QCOMPARE(picture.size(), QSize(1600, 1200));
    int green = 0;
    int red = 0;
    for (int y = 0; y < picture.height(); y += 4) {
        for (int x = 0; x < picture.width(); x += 4) {
            green += picture.pixelColor(x, y) == QColor(205, 240, 205);
            red += picture.pixelColor(x, y) == QColor(250, 215, 210);
        }
    }
    QVERIFY2(green > 1000 && red > 1000, qPrintable(QStringLiteral("%1 %2").arg(green).arg(red)));

    // An existing file is replaced only when the teacher says so.
    script.answerFile(png + QStringLiteral(".png"));
    script.answer(NoAnswerButton);
    const QByteArray before = testsupport::readBytes(png + QStringLiteral(".png"));
    QTest::mouseClick(form.immagineBut, Qt::LeftButton);
    QCOMPARE(script.last().text, QString::fromUtf8("Il file andamento.png esiste già: sostituirlo ?"));
    QCOMPARE(testsupport::readBytes(png + QStringLiteral(".png")), before);

    const QString pdf = folder->filePath(QStringLiteral("andamento.pdf"));
    script.answerFile(pdf);
    QTest::mouseClick(form.pdfBut, Qt::LeftButton);
    QCOMPARE(script.messages().last(), QStringLiteral("Grafico salvato in andamento.pdf"));
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Andamento di MARIO")));

    // A folder that cannot be written: said so, nothing claimed.
    script.answerFile(folder->filePath(QStringLiteral("manca/andamento.pdf")));
    QTest::mouseClick(form.pdfBut, Qt::LeftButton);
    QVERIFY(script.messages().last().startsWith(QStringLiteral("Errore nella scrittura del file andamento.pdf")));
}

QTEST_MAIN(TestAndamento)
#include "tst_andamento.moc"
