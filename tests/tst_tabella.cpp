#include "results/Usintesi.h"
#include "common/Utabella.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QColor grey(212, 208, 200);
const QColor cyan(0, 255, 255);
const QColor red(255, 0, 0);

// The geometry the summary window gives the table for its 436-pixel surface.
TableGeometry summaryGeometry()
{
    TableGeometry g;
    g.left = 15;
    g.top = 10;
    g.width = g.height = 436 - 30;
    g.titleColumnWidth = g.titleRowHeight = 25;
    g.labelColumnWidth = g.labelRowHeight = 30;
    g.cellWidth = g.cellHeight = (436 - 30 - 55) / 3;
    g.lineColour = Qt::black;
    g.backColour = grey;
    return g;
}

// The geometry of the end-of-run table for a surface `s` pixels wide.
TableGeometry runWindowGeometry(int s)
{
    TableGeometry g;
    g.left = 10;
    g.top = 20;
    g.width = s - 20;
    g.height = s - 20 + 25;
    g.titleColumnWidth = g.titleRowHeight = 20;
    g.labelColumnWidth = g.labelRowHeight = 25;
    g.cellWidth = (s - 20 - 45) / 3;
    g.cellHeight = (s - 20 - 20) / 3;
    g.backColour = grey;
    return g;
}

AnswerCounts countsOf(std::array<int, 9> values)
{
    AnswerCounts counts;
    counts.values = values;
    return counts;
}

QImage render(const AnswerCounts& counts, const TableGeometry& g, QSize size = {436, 428})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(grey);
    QPainter painter(&image);
    TTabella table(&painter, counts, g);
    table.paint();
    return image;
}

// The rectangle of count cell (expected e, given g), 1-based, without its border lines.
QRect cellInside(const TableGeometry& g, int expected, int given)
{
    const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
    const int y1 = g.top + g.titleRowHeight + g.labelRowHeight;
    return QRect(x1 + (expected - 1) * g.cellWidth, y1 + (given - 1) * g.cellHeight, g.cellWidth,
                 g.cellHeight)
        .adjusted(3, 3, -3, -3);
}

// The bounding box of the pixels of `colour` inside `area`.
QRect pixelsOf(const QImage& image, const QRect& area, const QColor& colour)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Pixels that are neither the fill nor the background: text, drawn anti-aliased or not.
QRect inkOf(const QImage& image, const QRect& area, const QColor& fill)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != fill)
                box |= QRect(x, y, 1, 1);
    return box;
}

QString pdfText(const QString& pdf, int page = 0)
{
    QProcess process;
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    args << pdf << QStringLiteral("-");
    process.start(QStringLiteral("pdftotext"), args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    process.waitForFinished(30000);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestTabella : public QObject
{
    Q_OBJECT

private slots:
    void countsSkipUndecidedLevels();
    void diagonalInLevelColoursOffDiagonalGrey();
    void everyCountIsWrittenCentredEvenWhenZero();
    void fourDigitCountsStayInsideSmallCells();
    void paintLeavesThePainterAsDocumented();
    void aBoldWindowFontDoesNotReachTheCounts();
    void printerTableHasNoColourAndScaledLabels();
    void printedTableAndInfoLinesReachThePdf();
};

void TestTabella::countsSkipUndecidedLevels()
{
    AnswerCounts counts;
    counts.add(1, 1);
    counts.add(2, 3);
    counts.add(2, 3);
    counts.add(0, 2);
    counts.add(3, 0);
    counts.add(4, 1);
    QCOMPARE(counts.values, (std::array<int, 9>{1, 0, 0, 0, 0, 2, 0, 0, 0}));
    QCOMPARE(counts.total(), 3);
    QCOMPARE(counts.count(2, 3), 2);
}

void TestTabella::diagonalInLevelColoursOffDiagonalGrey()
{
    const TableGeometry g = summaryGeometry();
    const QImage image = render(countsOf({1, 2, 3, 4, 5, 6, 7, 8, 9}), g);
    const QColor fills[3] = {Qt::white, cyan, red};
    const QColor texts[3] = {Qt::black, red, cyan};
    for (int e = 1; e <= 3; ++e) {
        for (int given = 1; given <= 3; ++given) {
            const QRect inside = cellInside(g, e, given);
            // A corner of the cell, away from its number, shows the cell's fill.
            const QColor corner = image.pixelColor(inside.topLeft());
            QCOMPARE(corner, e == given ? fills[e - 1] : grey);
            // The number is written in the level's text colour on the diagonal, black elsewhere.
            const QRect ink = pixelsOf(image, inside, e == given ? texts[e - 1] : QColor(Qt::black));
            QVERIFY2(ink.width() > 5 && ink.height() > 10,
                     qPrintable(QStringLiteral("cell %1,%2").arg(e).arg(given)));
        }
        // The label cells of the level carry its fill and its text colour.
        const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
        const int y1 = g.top + g.titleRowHeight + g.labelRowHeight;
        const QRect columnLabel(x1 + (e - 1) * g.cellWidth + 2, g.top + g.titleRowHeight + 2,
                                g.cellWidth - 4, g.labelRowHeight - 4);
        const QRect rowLabel(g.left + g.titleColumnWidth + 2, y1 + (e - 1) * g.cellHeight + 2,
                             g.labelColumnWidth - 4, g.cellHeight - 4);
        QCOMPARE(image.pixelColor(columnLabel.topLeft()), fills[e - 1]);
        QCOMPARE(image.pixelColor(rowLabel.topLeft()), fills[e - 1]);
        QVERIFY(!pixelsOf(image, columnLabel, texts[e - 1]).isEmpty());
        const QRect rowInk = inkOf(image, rowLabel, fills[e - 1]);
        // Row labels are written upright: a tall, narrow run of letters.
        QVERIFY(rowInk.height() > 3 * rowInk.width());
    }
    // The corner left of the column labels and above the row labels stays empty.
    const QRect corner(g.left + 2, g.top + 2, g.titleColumnWidth + g.labelColumnWidth - 4,
                       g.titleRowHeight + g.labelRowHeight - 4);
    QVERIFY(inkOf(image, corner, grey).isEmpty());
    // Both titles are written in black in their own strips.
    const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
    QVERIFY(!pixelsOf(image, QRect(x1 + 2, g.top + 2, 3 * g.cellWidth - 4, g.titleRowHeight - 4),
                      Qt::black)
                 .isEmpty());
    const QRect givenTitle(g.left + 2, g.top + g.titleRowHeight + g.labelRowHeight + 2,
                           g.titleColumnWidth - 4, 3 * g.cellHeight - 4);
    const QRect titleInk = pixelsOf(image, givenTitle, Qt::black);
    QVERIFY(titleInk.height() > 60);
    QVERIFY(qAbs(titleInk.center().y() - givenTitle.center().y()) <= 3);
}

void TestTabella::everyCountIsWrittenCentredEvenWhenZero()
{
    // Square and non-square cells alike: each number sits in the middle of its cell.
    for (const TableGeometry& g : {summaryGeometry(), runWindowGeometry(300)}) {
        const QImage image = render(AnswerCounts(), g);
        for (int e = 1; e <= 3; ++e) {
            for (int given = 1; given <= 3; ++given) {
                const QRect inside = cellInside(g, e, given);
                const QColor fill = e == given ? image.pixelColor(inside.topLeft()) : grey;
                const QRect ink = inkOf(image, inside, fill);
                QVERIFY2(ink.width() > 5 && ink.height() > 10,
                         qPrintable(QStringLiteral("zero in %1,%2").arg(e).arg(given)));
                QVERIFY(qAbs(ink.center().x() - inside.center().x()) <= 3);
                QVERIFY(qAbs(ink.center().y() - inside.center().y()) <= 6);
            }
        }
    }
}

void TestTabella::fourDigitCountsStayInsideSmallCells()
{
    // A narrow end-of-run window: cells of 35 x 40 pixels.
    const TableGeometry g = runWindowGeometry(170);
    QCOMPARE(g.cellWidth, 35);
    const QImage image = render(countsOf({1234, 9999, 0, 7, 2025, 10, 5555, 0, 8888}), g, {200, 220});
    for (int e = 1; e <= 3; ++e) {
        for (int given = 1; given <= 3; ++given) {
            const QRect cell = cellInside(g, e, given).adjusted(-2, -2, 2, 2);
            const QColor fill = e == given ? image.pixelColor(cell.topLeft() + QPoint(1, 1)) : grey;
            const QRect ink = inkOf(image, cell.adjusted(1, 1, -1, -1), fill);
            QVERIFY(!ink.isEmpty());
            // Nothing touches the borders of the cell: the number was not clipped.
            QVERIFY2(ink.left() > cell.left() + 1 && ink.right() < cell.right() - 1,
                     qPrintable(QStringLiteral("cell %1,%2").arg(e).arg(given)));
            QVERIFY(qAbs(ink.center().x() - cell.center().x()) <= 3);
        }
    }
    // A roomy cell shows a four-digit number at full size.
    const TableGeometry wide = summaryGeometry();
    const QImage big = render(countsOf({1234, 0, 0, 0, 0, 0, 0, 0, 0}), wide);
    const QRect ink = pixelsOf(big, cellInside(wide, 1, 1), Qt::black);
    QVERIFY(ink.width() > 60);
    QVERIFY(ink.height() > 20);
}

void TestTabella::paintLeavesThePainterAsDocumented()
{
    QImage image(436, 428, QImage::Format_RGB32);
    image.fill(grey);
    QPainter painter(&image);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(11);
    painter.setFont(font);
    painter.setPen(Qt::green);
    TableGeometry g = summaryGeometry();
    g.lineColour = QColor(0, 0, 128);
    TTabella table(&painter, AnswerCounts(), g);
    QCOMPARE(table.labelFontHeight(), 15);
    table.paint();
    QCOMPARE(painter.font().family(), font.family());
    QCOMPARE(painter.font().pointSize(), 11);
    QCOMPARE(painter.pen().color(), g.lineColour);
    QCOMPARE(painter.brush().color(), grey);
    QCOMPARE(painter.brush().style(), Qt::SolidPattern);
    // Lines come in the line colour.
    const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
    QCOMPARE(image.pixelColor(x1, g.top + 2 * g.cellHeight), g.lineColour);
    // Without a painter nothing is drawn and nothing breaks.
    TTabella idle(nullptr, AnswerCounts(), g);
    idle.paint();
    idle.printInfoLines({QStringLiteral("x")});
}

// A window surface that paints the table, as the summary window does.
class TableSurface : public QWidget
{
public:
    TableSurface(const AnswerCounts& counts, const TableGeometry& g) : table(nullptr, counts, g)
    {
        resize(436, 428);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, grey);
        setPalette(p);
    }
    TTabella table;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        table.setCanvas(&painter);
        table.paint();
        table.setCanvas(nullptr);
    }
};

void TestTabella::aBoldWindowFontDoesNotReachTheCounts()
{
    const TableGeometry g = summaryGeometry();
    const AnswerCounts counts = countsOf({10, 20, 30, 40, 50, 60, 70, 80, 90});
    TableSurface surface(counts, g);
    QFont bold(QStringLiteral("Arial"));
    bold.setBold(true);
    bold.setItalic(true);
    bold.setPixelSize(13);
    surface.setFont(bold);
    const QImage onWindow = surface.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage onImage = render(counts, g);
    // The same ink, cell by cell, as on a plain picture.
    for (int e = 1; e <= 3; ++e) {
        const QRect cell = cellInside(g, e, e == 1 ? 2 : 1);
        auto ink = [&cell](const QImage& image) {
            int n = 0;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    n += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
            return n;
        };
        QVERIFY(ink(onImage) > 50);
        QVERIFY2(qAbs(ink(onWindow) - ink(onImage)) * 10 < ink(onImage),
                 qPrintable(QStringLiteral("%1 against %2").arg(ink(onWindow)).arg(ink(onImage))));
    }
}

void TestTabella::printerTableHasNoColourAndScaledLabels()
{
    TableGeometry g = TsintesiForm::printerGeometry(600);
    g.cellWidth = g.cellHeight = 170;
    QImage image(700, 800, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TTabella table(&painter, countsOf({1, 2, 3, 4, 5, 6, 7, 8, 9}), g);
    QCOMPARE(table.labelFontHeight(), 20);
    table.paint();
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            QVERIFY2(c.red() == c.green() && c.green() == c.blue(),
                     qPrintable(QStringLiteral("colour at %1,%2").arg(x).arg(y)));
        }
    QCOMPARE(image.pixelColor(cellInside(g, 2, 2).topLeft()), QColor(Qt::white));
    QVERIFY(!pixelsOf(image, cellInside(g, 3, 3), Qt::black).isEmpty());
}

void TestTabella::printedTableAndInfoLinesReachThePdf()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("tabella.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QStringList info{QStringLiteral("NOME ALUNNO=MARIO ROSSI"),
                     QStringLiteral("NOME ESERCIZIO=Il lupo e l'agnello"),
                     QStringLiteral("COMPITO:")};
    // A task long enough to be broken into lines and to run onto a second page.
    QString longLine;
    for (int i = 0; i < 40; ++i)
        longLine += QStringLiteral("parola%1 ").arg(i);
    info << longLine;
    for (int i = 0; i < 40; ++i)
        info << QStringLiteral("riga numero %1 perché sì").arg(i);
    {
        QPainter painter(&printer);
        const int pw = printer.width();
        TTabella table(&painter, countsOf({12, 3, 0, 4, 2025, 6, 0, 8, 1}), TsintesiForm::printerGeometry(pw));
        table.paint();
        table.printInfoLines(info);
    }
    QVERIFY(QFileInfo::exists(pdf));
    const QString first = pdfText(pdf, 1);
    QVERIFY2(first.contains(QStringLiteral("testo proposto")), qPrintable(first));
    QVERIFY(first.contains(QStringLiteral("molto importante")));
    QVERIFY(first.contains(QStringLiteral("2025")));
    QVERIFY(first.contains(QStringLiteral("NOME ESERCIZIO=Il lupo e l'agnello")));
    QVERIFY(first.contains(QStringLiteral("parola0 parola1")));
    // The long line was broken: its last word is on a line of its own text, not cut off.
    QVERIFY(first.contains(QStringLiteral("parola39")) || pdfText(pdf, 2).contains(QStringLiteral("parola39")));
    QCOMPARE(pdfPages(pdf), 2);
    const QString second = pdfText(pdf, 2);
    QVERIFY2(second.contains(QStringLiteral("riga numero 39 perché sì")), qPrintable(second));
    QVERIFY(!first.contains(QStringLiteral("riga numero 39")));
}

QTEST_MAIN(TestTabella)
#include "tst_tabella.moc"
