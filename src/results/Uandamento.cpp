#include "results/Uandamento.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/ResultsFile.h"
#include "model/RunHistory.h"
#include "results/Urisult.h"
#include "results/Ustampa.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QDateTime>
#include <ctime>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {


// The bounds of the final judgement on the mean error.
constexpr double goodBound = 0.4;
constexpr double fairBound = 0.7;

QString italianNumber(double value, int decimals)
{
    return QLocale(QLocale::Italian, QLocale::Italy).toString(value, 'f', decimals);
}

QString dateText(const QDateTime& date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

// Colours of the series of the exercises, one after the other.
QColor exerciseColour(int index)
{
    static const QColor colours[] = {
        QColor(0, 90, 200),  QColor(200, 60, 0),  QColor(0, 140, 60),  QColor(150, 0, 150),
        QColor(0, 150, 160), QColor(170, 120, 0), QColor(90, 90, 220), QColor(200, 0, 90),
    };
    return colours[index % int(std::size(colours))];
}

QLineSeries* pointSeries(const QString& name, const QColor& colour, qreal width, qreal marker)
{
    auto series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(width);
    series->setPen(pen);
    series->setPointsVisible(marker > 0);
    if (marker > 0)
        series->setMarkerSize(marker);
    return series;
}

QDateTimeAxis* dateAxis(const QVector<ProgressRun>& runs)
{
    auto axis = new QDateTimeAxis;
    axis->setFormat(QStringLiteral("dd/MM/yy"));
    axis->setTitleText(QStringLiteral("data"));
    const QDateTime first = runs.isEmpty() ? QDateTime::currentDateTime()
                                           : QDateTime::fromMSecsSinceEpoch(runs.first().moment);
    const QDateTime last = runs.isEmpty() ? first : QDateTime::fromMSecsSinceEpoch(runs.last().moment);
    // Room on both sides, so that the first and the last point are not on the frame.
    const qint64 span = std::max<qint64>(first.msecsTo(last), 24LL * 3600 * 1000);
    axis->setRange(first.addMSecs(-span / 20), last.addMSecs(span / 20));
    axis->setTickCount(6);
    return axis;
}

// A band between two values, over the whole width of the chart.
QAreaSeries* band(QChart* chart, const QString& name, double from, double to, const QColor& colour,
                  QAbstractAxis* x, QAbstractAxis* y)
{
    const double left = static_cast<QDateTimeAxis*>(x)->min().toMSecsSinceEpoch();
    const double right = static_cast<QDateTimeAxis*>(x)->max().toMSecsSinceEpoch();
    auto lower = new QLineSeries;
    lower->append(left, from);
    lower->append(right, from);
    auto upper = new QLineSeries;
    upper->append(left, to);
    upper->append(right, to);
    auto area = new QAreaSeries(upper, lower);
    lower->setParent(area);
    upper->setParent(area);
    area->setName(name);
    area->setColor(colour);
    area->setPen(Qt::NoPen);
    chart->addSeries(area);
    area->attachAxis(x);
    area->attachAxis(y);
    return area;
}

// Ticks at round values from 0 (0,1 0,2 ... or 1 2 5 10 ...), at most about
// `most` of them (a low chart has room for few labels).
void roundTicks(QValueAxis* axis, double top, int decimals, int most = 8)
{
    double interval = 0.1;
    for (double scale = 0.1; top / interval > most; scale *= 10) {
        for (double step : {1.0, 2.0, 5.0}) {
            interval = step * scale;
            if (top / interval <= most)
                break;
        }
    }
    axis->setRange(0, std::ceil(top / interval - 1e-9) * interval);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

QChart* newChart(const QString& title)
{
    auto chart = new QChart;
    // Decimal commas on the axes.
    chart->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    chart->setLocalizeNumbers(true);
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    titleFont.setPointSize(11);
    chart->setTitleFont(titleFont);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

} // namespace

// ---------------------------------------------------------------------------
// The runs of a pupil

namespace {

// Milliseconds since 1970 of a local date and time, through the C library's
// conversion of a moment (a QDateTime in local time, or mktime, looks at the
// time zone files again for every date).
qint64 localMoment(const QDate& date, const QTime& time)
{
    const qint64 asUtc = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    auto offsetAt = [](qint64 seconds) {
        const time_t t = time_t(seconds);
        tm local{};
        return localtime_r(&t, &local) ? qint64(local.tm_gmtoff) : 0;
    };
    const qint64 guess = asUtc - offsetAt(asUtc);
    return (asUtc - offsetAt(guess)) * 1000 + time.msec();
}

// "dd/MM/yyyy HH:mm:ss", as this program writes it, read digit by digit.
bool writtenMoment(const QString& text, qint64& moment)
{
    if (text.size() != 19)
        return false;
    static const char pattern[] = "00/00/0000 00:00:00";
    int numbers[6] = {};
    int field = 0;
    for (int i = 0; i < 19; ++i) {
        const QChar c = text.at(i);
        if (pattern[i] == '0') {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            numbers[field] = numbers[field] * 10 + (c.unicode() - '0');
        } else if (c != QLatin1Char(pattern[i])) {
            return false;
        } else {
            ++field;
        }
    }
    const QDate date(numbers[2], numbers[1], numbers[0]);
    const QTime time(numbers[3], numbers[4], numbers[5]);
    if (!date.isValid() || !time.isValid())
        return false;
    moment = localMoment(date, time);
    return true;
}

} // namespace

bool storedRunMoment(const QString& value, qint64& moment, QString& shown)
{
    const QString text = trimSpaces(value);
    if (writtenMoment(text, moment)) {
        shown = text.left(16);
        return true;
    }
    for (const char* format : {"d/M/yyyy H:mm:ss", "d/M/yyyy H:mm", "d/M/yy H:mm:ss", "d/M/yy H:mm",
                               "d/M/yyyy", "d/M/yy", "d.M.yyyy H:mm:ss", "d-M-yyyy H:mm:ss",
                               "yyyy-MM-dd HH:mm:ss"}) {
        QDateTime date = QDateTime::fromString(text, QLatin1String(format));
        if (date.isValid()) {
            // A two-digit year is of this century.
            if (date.date().year() < 1970)
                date = date.addYears(100);
            moment = date.toMSecsSinceEpoch();
            shown = dateText(date);
            return true;
        }
    }
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return false;
    moment = date.toMSecsSinceEpoch();
    shown = dateText(date);
    return true;
}

bool readPupilProgress(const QString& archiveFolder, const QString& pupil, PupilProgress& progress)
{
    progress = PupilProgress();
    // The runs of the pupil asked for and of the first pupil, who is shown
    // when the other is not in the archive; only what the charts need is
    // read of them.
    QString wanted = pupil.toCaseFolded();
    QString first;
    bool firstSeen = false;
    QList<BlockBytes> blocks;
    QStringList identifiers;
    if (!readBlockBytes(blocks, resultsKey, archiveFolder, resultsName, resultsExtension,
                        [&wanted, &first, &firstSeen](const QString& id) {
                            const QString who = RunIdentifier::fromStored(id).pupil().toCaseFolded();
                            if (!firstSeen) {
                                first = who;
                                firstSeen = true;
                            }
                            return who == wanted || who == first;
                        },
                        &identifiers))
        return false;
    QSet<QString> seen;
    for (const QString& id : std::as_const(identifiers)) {
        const QString who = RunIdentifier::fromStored(id).pupil();
        if (!seen.contains(who.toCaseFolded())) {
            seen.insert(who.toCaseFolded());
            progress.pupils << who;
        }
    }
    if (progress.pupils.isEmpty())
        return true;
    progress.pupil = progress.pupils.first();
    for (const QString& who : std::as_const(progress.pupils)) {
        if (who.toCaseFolded() == wanted)
            progress.pupil = who;
    }
    wanted = progress.pupil.toCaseFolded();
    for (const BlockBytes& block : std::as_const(blocks)) {
        if (RunIdentifier::fromStored(block.value).pupil().toCaseFolded() != wanted)
            continue;
        const RunSummary summary = summariseRun(block);
        ProgressRun point;
        point.identifier = block.value;
        point.runName = RunIdentifier::fromStored(block.value).runName();
        point.exerciseName = summary.exerciseName;
        if (!storedRunMoment(summary.date, point.moment, point.dateShown)) {
            ++progress.undated;
            continue;
        }
        point.meanError = summary.meanError;
        point.meanTime = summary.times.mean();
        progress.runs << point;
    }
    std::stable_sort(progress.runs.begin(), progress.runs.end(),
                     [](const ProgressRun& a, const ProgressRun& b) { return a.moment < b.moment; });
    return true;
}

// ---------------------------------------------------------------------------
// The window

TandamentoForm::TandamentoForm(const AppContext& appContext, const QString& pupil, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      context(appContext)
{
    setObjectName(QStringLiteral("TandamentoForm"));
    setWindowTitle(QStringLiteral("  andamento"));
    setModal(true);
    setMinimumSize(640, 480);
    resize(900, 700);

    auto outer = new QHBoxLayout(this);
    auto left = new QVBoxLayout;
    outer->addLayout(left, 1);
    auto top = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("alunno"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboAlunni = new QComboBox(this);
    ComboAlunni->setObjectName(QStringLiteral("ComboAlunni"));
    ComboAlunni->setMinimumWidth(220);
    top->addWidget(Label1);
    top->addWidget(ComboAlunni);
    top->addStretch(1);
    left->addLayout(top);
    ChartErrori = new QChartView(this);
    ChartErrori->setObjectName(QStringLiteral("ChartErrori"));
    ChartErrori->setRenderHint(QPainter::Antialiasing, false);
    ChartTempi = new QChartView(this);
    ChartTempi->setObjectName(QStringLiteral("ChartTempi"));
    ChartTempi->setRenderHint(QPainter::Antialiasing, false);
    left->addWidget(ChartErrori, 3);
    left->addWidget(ChartTempi, 2);
    LabelNote = new QLabel(this);
    LabelNote->setObjectName(QStringLiteral("LabelNote"));
    LabelNote->setWordWrap(true);
    left->addWidget(LabelNote);

    auto buttons = new QVBoxLayout;
    outer->addLayout(buttons);
    auto button = [this, buttons](const char* name, const QString& caption) {
        auto b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumSize(110, 33);
        buttons->addWidget(b);
        return b;
    };
    stampaBut = button("stampaBut", QStringLiteral("&stampa"));
    immagineBut = button("immagineBut", QStringLiteral("salva &immagine..."));
    pdfBut = button("pdfBut", QStringLiteral("salva &PDF..."));
    buttons->addStretch(1);
    CancelBtn = button("CancelBtn", QStringLiteral("&Esci"));
    stampaBut->setToolTip(QStringLiteral("Stampa i due grafici."));
    immagineBut->setToolTip(QStringLiteral("Salva i due grafici come immagine PNG."));
    pdfBut->setToolTip(QStringLiteral("Salva i due grafici in un file PDF."));

    connect(stampaBut, &QPushButton::clicked, this, &TandamentoForm::stampaButClick);
    connect(immagineBut, &QPushButton::clicked, this, &TandamentoForm::immagineButClick);
    connect(pdfBut, &QPushButton::clicked, this, &TandamentoForm::pdfButClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ComboAlunni, &QComboBox::textActivated, this, &TandamentoForm::showPupil);

    showPupil(pupil);
}

void TandamentoForm::showPupil(const QString& pupil)
{
    // An archive that cannot be read has been reported; the charts stay empty.
    readPupilProgress(resultsFolderIn(context.dataRoot), pupil, shown);
    {
        const QSignalBlocker blocker(ComboAlunni);
        ComboAlunni->clear();
        ComboAlunni->addItems(shown.pupils);
        ComboAlunni->setCurrentIndex(int(shown.pupils.indexOf(shown.pupil)));
    }
    setWindowTitle(QStringLiteral("  andamento di ") + shown.pupil);
    seriesRuns.clear();
    buildErrorChart();
    buildTimeChart();

    QStringList notes;
    const int runs = int(shown.runs.size());
    notes << (runs == 1 ? QStringLiteral("1 esercizio svolto.")
                        : QStringLiteral("%1 esercizi svolti.").arg(runs));
    if (shown.undated > 0)
        notes << QStringLiteral("%1 senza una data leggibile, non sono nel grafico.").arg(shown.undated);
    const auto untimed = std::count_if(shown.runs.cbegin(), shown.runs.cend(),
                                       [](const ProgressRun& r) { return r.meanTime < 0; });
    if (untimed > 0)
        notes << QStringLiteral("%1 senza i tempi delle risposte (salvati prima che si misurassero).")
                     .arg(untimed);
    notes << QStringLiteral("Un clic su un punto apre quell'esercizio svolto.");
    LabelNote->setText(notes.join(QLatin1Char(' ')));
}

void TandamentoForm::watchSeries(QXYSeries* series, bool time)
{
    connect(series, &QXYSeries::hovered, this, [this, series, time](const QPointF& point, bool state) {
        const int run = nearestRun(series, point);
        if (!state || run < 0) {
            QToolTip::hideText();
            return;
        }
        QString text = pointText(run);
        if (time)
            text += QStringLiteral("\ntempo medio per risposta ")
                    + answerTimeText(shown.runs.at(run).meanTime);
        QToolTip::showText(QCursor::pos(), text, this);
    });
    connect(series, &QXYSeries::clicked, this, [this, series](const QPointF& point) {
        const int run = nearestRun(series, point);
        if (run < 0)
            return;
        chosen = shown.runs.at(run).identifier;
        accept();
    });
}

void TandamentoForm::buildErrorChart()
{
    QChart* chart = newChart(QStringLiteral("Errore medio per frase"));
    QDateTimeAxis* x = dateAxis(shown.runs);
    auto y = new QValueAxis;
    double highest = 0;
    for (const ProgressRun& run : std::as_const(shown.runs))
        highest = std::max(highest, run.meanError);
    roundTicks(y, std::min(2.0, std::max(1.0, highest + 0.1)), 1);
    y->setTitleText(QStringLiteral("errore medio"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    band(chart, QStringLiteral("bene"), 0, goodBound, QColor(205, 240, 205), x, y);
    band(chart, QStringLiteral("abbastanza bene"), goodBound, fairBound, QColor(250, 240, 190), x, y);
    band(chart, QStringLiteral("non molto bene"), fairBound, y->max(), QColor(250, 215, 210), x, y);

    addRunSeries(chart, x, y, false);
    QChart* old = ChartErrori->chart();
    ChartErrori->setChart(chart);
    delete old;
}

void TandamentoForm::buildTimeChart()
{
    QChart* chart = newChart(QStringLiteral("Tempo medio per risposta"));
    QVector<ProgressRun> timed;
    for (const ProgressRun& run : std::as_const(shown.runs)) {
        if (run.meanTime >= 0)
            timed << run;
    }
    QDateTimeAxis* x = dateAxis(shown.runs);
    auto y = new QValueAxis;
    double highest = 0;
    for (const ProgressRun& run : std::as_const(timed))
        highest = std::max(highest, double(run.meanTime) / 1000.0);
    roundTicks(y, std::max(1.0, highest * 1.1), highest * 1.1 > 2 ? 0 : 1, 4);
    y->setTitleText(QStringLiteral("secondi"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    addRunSeries(chart, x, y, true);
    QChart* old = ChartTempi->chart();
    ChartTempi->setChart(chart);
    delete old;
}

void TandamentoForm::addRunSeries(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, bool time)
{
    // The points of all runs, and of each exercise in the order the
    // exercises first appear (each keeps its colour in both charts, with or
    // without times). Each series gets its points at once.
    struct Points {
        QList<QPointF> points;
        QVector<int> runs;
    };
    Points all;
    QStringList exercises;
    QHash<QString, Points> perExercise;
    for (int i = 0; i < shown.runs.size(); ++i) {
        const ProgressRun& run = shown.runs.at(i);
        if (!perExercise.contains(run.exerciseName))
            exercises << run.exerciseName;
        Points& mine = perExercise[run.exerciseName];
        if (time && run.meanTime < 0)
            continue;
        const QPointF point(double(run.moment), time ? double(run.meanTime) / 1000.0 : run.meanError);
        all.points << point;
        all.runs << i;
        mine.points << point;
        mine.runs << i;
    }
    auto add = [&](const QString& name, const QColor& colour, qreal width, qreal marker,
                   const Points& points, bool pointed) {
        QLineSeries* series = pointSeries(name, colour, width, marker);
        series->replace(points.points);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        seriesRuns.insert(series, points.runs);
        if (pointed)
            watchSeries(series, time);
    };
    // All runs as a thin line. Its points are those of the exercises, drawn
    // over it, which are pointed at and clicked (a line that is watched for
    // the pointer costs Qt Charts an outline of its whole path).
    add(QStringLiteral("tutti gli esercizi"), QColor(90, 90, 90), 1.5, 0, all, false);
    for (int e = 0; e < exercises.size(); ++e)
        add(exercises.at(e), exerciseColour(e), 2.5, 10, perExercise.value(exercises.at(e)), true);
}

int TandamentoForm::runOfPoint(const QXYSeries* series, int point) const
{
    const auto found = seriesRuns.constFind(series);
    if (found == seriesRuns.constEnd() || point < 0 || point >= found->size())
        return -1;
    return found->at(point);
}

int TandamentoForm::nearestRun(const QXYSeries* series, const QPointF& value) const
{
    QChart* chart = series->chart();
    if (!chart)
        return -1;
    const QPointF at = chart->mapToPosition(value, const_cast<QXYSeries*>(series));
    const QList<QPointF> points = series->points();
    int best = -1;
    qreal bestDistance = 0;
    for (int i = 0; i < points.size(); ++i) {
        const QPointF d = chart->mapToPosition(points.at(i), const_cast<QXYSeries*>(series)) - at;
        const qreal distance = d.x() * d.x() + d.y() * d.y();
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return runOfPoint(series, best);
}

QString TandamentoForm::pointText(int index) const
{
    if (index < 0 || index >= shown.runs.size())
        return QString();
    const ProgressRun& run = shown.runs.at(index);
    return run.runName + QStringLiteral(" - ") + run.dateShown + QLatin1Char('\n')
           + run.exerciseName + QStringLiteral("\nerrore medio ") + italianNumber(run.meanError, 2);
}

void TandamentoForm::paintReport(QPainter& painter, const QRectF& page)
{
    painter.save();
    QFont title(QStringLiteral("Arial"));
    title.setBold(true);
    title.setPixelSize(std::max(12, int(page.height() / 40)));
    painter.setFont(title);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(title, painter.device());
    const qreal titleHeight = metrics.height() * 1.6;
    painter.drawText(QRectF(page.left(), page.top(), page.width(), titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Andamento di ") + shown.pupil);
    // The charts share the rest of the page as they share the window.
    const qreal rest = page.height() - titleHeight;
    const qreal errorsHeight = rest * 0.58;
    const QRectF errors(page.left(), page.top() + titleHeight, page.width(), errorsHeight);
    const QRectF times(page.left(), errors.bottom(), page.width(), rest - errorsHeight);
    for (auto [view, target] : {std::pair{ChartErrori, errors}, std::pair{ChartTempi, times}}) {
        QChart* chart = view->chart();
        // Drawn at the size of the target, in the target's own units, so
        // that a page or a large picture gets sharp lines and text.
        const QSizeF before = chart->size();
        const qreal scale = std::max<qreal>(1.0, target.width() / 900.0);
        chart->resize(target.size() / scale);
        QGraphicsScene* scene = chart->scene();
        scene->render(&painter, target, chart->sceneBoundingRect(), Qt::IgnoreAspectRatio);
        chart->resize(before);
    }
    painter.restore();
}

void TandamentoForm::stampaButClick()
{
    printWithDialog([this](QPrinter& printer, QPainter& painter) {
        paintReport(painter, QRectF(0, 0, printer.width(), printer.height()));
    });
}

QString TandamentoForm::askFileName(const QString& caption, const QString& filter,
                                    const QString& suffix)
{
    QString path = dialogs().saveFileName(caption, context.dataRoot, filter);
    if (path.isEmpty())
        return QString();
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    if (QFileInfo::exists(path)
        && askQuestion(QStringLiteral("Attenzione!"),
                       QStringLiteral("Il file ") + QFileInfo(path).fileName()
                           + QString::fromUtf8(" esiste già: sostituirlo ?"),
                       YesButton | NoAnswerButton, DialogIcon::Warning)
               != YesButton)
        return QString();
    return path;
}

void TandamentoForm::immagineButClick()
{
    const QString path = askFileName(QStringLiteral("Salva il grafico come immagine"),
                                     QStringLiteral("Immagini PNG (*.png)"), QStringLiteral(".png"));
    if (path.isEmpty())
        return;
    QImage picture(1600, 1200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        paintReport(painter, QRectF(20, 10, picture.width() - 40, picture.height() - 20));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
        showMessage(QStringLiteral("Errore nella scrittura del file ") + QFileInfo(path).fileName()
                    + QString::fromUtf8(": il grafico non è stato salvato."));
        return;
    }
    showMessage(QStringLiteral("Grafico salvato in ") + QFileInfo(path).fileName());
}

void TandamentoForm::pdfButClick()
{
    const QString path = askFileName(QStringLiteral("Salva il grafico in PDF"),
                                     QStringLiteral("Documenti PDF (*.pdf)"), QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Andamento di ") + shown.pupil);
        pdf.setCreator(QStringLiteral("Salienta"));
        QPainter painter;
        written = painter.begin(&pdf);
        if (written) {
            painter.setRenderHint(QPainter::Antialiasing);
            paintReport(painter, QRectF(0, 0, pdf.width(), pdf.height()));
            written = painter.end();
        }
    }
    if (!written || !file.commit()) {
        showMessage(QStringLiteral("Errore nella scrittura del file ") + QFileInfo(path).fileName()
                    + QString::fromUtf8(": il grafico non è stato salvato."));
        return;
    }
    showMessage(QStringLiteral("Grafico salvato in ") + QFileInfo(path).fileName());
}
