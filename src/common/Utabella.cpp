#include "common/Utabella.h"

#include "common/TextFont.h"
#include "model/Uevidenz.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

void AnswerCounts::add(int expected, int given)
{
    if (expected < 1 || expected > 3 || given < 1 || given > 3)
        return;
    ++count(expected, given);
}

int AnswerCounts::total() const
{
    int sum = 0;
    for (int value : values)
        sum += value;
    return sum;
}

namespace {

const QString levelLabels[3] = {QStringLiteral("non importante"), QStringLiteral("importante"),
                                QStringLiteral("molto importante")};
const QString expectedTitle = QStringLiteral("testo proposto");
const QString givenTitle = QStringLiteral("esercizio svolto");

// A font of `family` with every style set, so that nothing is taken from the
// font of the window painted on (a bold window font would make bold counts).
QFont plainFont(const QString& family)
{
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// A bold Arial whose line height is `height` pixels, made smaller when needed
// so that each of `texts` is at most `room` wide (a narrow table keeps its
// labels inside their cells instead of writing over the neighbours).
QFont labelFont(int height, int room, const QStringList& texts)
{
    QFont font = plainFont(QStringLiteral("Arial"));
    font.setBold(true);
    height = qMax(1, height);
    font.setPixelSize(height);
    const int natural = QFontMetrics(font).height();
    if (natural > height)
        font.setPixelSize(qMax(1, height * height / natural));
    auto widest = [&texts](const QFont& f) {
        const QFontMetrics metrics(f);
        int w = 0;
        for (const QString& text : texts)
            w = qMax(w, metrics.horizontalAdvance(text));
        return w;
    };
    while (font.pixelSize() > 6 && widest(font) > room)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

// The lines broken at spaces so that each fits in `width` (when it is set);
// a word wider than that keeps a line of its own.
QStringList wrapLines(const QStringList& lines, const QFontMetrics& metrics, int width)
{
    if (width <= 0)
        return lines;
    QStringList out;
    for (const QString& line : lines) {
        if (metrics.horizontalAdvance(line) <= width) {
            out << line;
            continue;
        }
        QString current;
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (current.isEmpty() || metrics.horizontalAdvance(candidate) <= width) {
                current = candidate;
            } else {
                out << current;
                current = word;
            }
        }
        out << current;
    }
    return out;
}

} // namespace

TTabella::TTabella(QPainter* canvas, const AnswerCounts& counts, const TableGeometry& geometry)
    : surface(canvas),
      answerCounts(counts),
      tableGeometry(geometry),
      labelHeight(geometry.forPrinter ? static_cast<int>(geometry.cellWidth / 8.5)
                                      : screenLabelHeight)
{
    const QStringList labels{levelLabels[0], levelLabels[1], levelLabels[2]};
    const int margin = 4;
    straightLabelFont = labelFont(labelHeight, geometry.cellWidth - margin, labels);
    rotatedLabelFont = labelFont(labelHeight, geometry.cellHeight - margin, labels);
}

QColor TTabella::textColour(int level) const
{
    return tableGeometry.forPrinter ? QColor(Qt::black) : importanceColour(level).text;
}

void TTabella::paint()
{
    if (!surface)
        return;
    paintGrid();
    paintHeadings();
    paintCounts();
}

void TTabella::paintGrid()
{
    const TableGeometry& g = tableGeometry;
    QPainter& p = *surface;
    const int x0 = g.left;
    const int y0 = g.top;
    const int x1 = x0 + g.titleColumnWidth + g.labelColumnWidth;
    const int y1 = y0 + g.titleRowHeight + g.labelRowHeight;
    const int cw = g.cellWidth;
    const int ch = g.cellHeight;
    const QColor pen = g.forPrinter ? QColor(Qt::black) : g.lineColour;

    if (!g.forPrinter) {
        for (int k = 0; k < 3; ++k) {
            const QColor fill = importanceColour(k + 1).fill;
            p.fillRect(QRect(x0 + g.titleColumnWidth, y1 + k * ch, g.labelColumnWidth, ch), fill);
            p.fillRect(QRect(x1 + k * cw, y1 + k * ch, cw, ch), fill);
            p.fillRect(QRect(x1 + k * cw, y0 + g.titleRowHeight, cw, g.labelRowHeight), fill);
        }
    }

    p.setPen(QPen(pen, 2));
    const int right = x1 + 3 * cw;
    const int bottom = y1 + 3 * ch;
    p.drawLine(x1, y0, right, y0);
    p.drawLine(x1, y0 + g.titleRowHeight, right, y0 + g.titleRowHeight);
    p.drawLine(x0, y1, right, y1);
    p.drawLine(x0, bottom, right, bottom);
    for (int k = 1; k <= 2; ++k)
        p.drawLine(x1 + k * cw, y0 + g.titleRowHeight, x1 + k * cw, y1);
    p.drawLine(x0, y1, x0, bottom);
    p.drawLine(x0 + g.titleColumnWidth, y1, x0 + g.titleColumnWidth, bottom);
    p.drawLine(x1, y0, x1, bottom);
    p.drawLine(right, y0, right, bottom);
    for (int k = 1; k <= 2; ++k)
        p.drawLine(x0 + g.titleColumnWidth, y1 + k * ch, x1, y1 + k * ch);

    p.setPen(QPen(pen, 1));
    for (int k = 1; k <= 2; ++k) {
        p.drawLine(x1, y1 + k * ch, right, y1 + k * ch);
        p.drawLine(x1 + k * cw, y1, x1 + k * cw, bottom);
    }
}

void TTabella::paintHeadings()
{
    const TableGeometry& g = tableGeometry;
    const int x0 = g.left;
    const int y0 = g.top;
    const int x1 = x0 + g.titleColumnWidth + g.labelColumnWidth;
    const int y1 = y0 + g.titleRowHeight + g.labelRowHeight;
    const QColor titleColour = g.forPrinter ? QColor(Qt::black) : g.lineColour;

    drawTextCentred(x1 + (3 * g.cellWidth) / 2, y0 + g.titleRowHeight / 2, expectedTitle,
                    titleColour, false);
    for (int k = 0; k < 3; ++k)
        drawTextCentred(x1 + k * g.cellWidth + g.cellWidth / 2,
                        y0 + g.titleRowHeight + g.labelRowHeight / 2, levelLabels[k],
                        textColour(k + 1), false);
    drawTextCentred(x0 + g.titleColumnWidth / 2, y1 + (3 * g.cellHeight) / 2, givenTitle,
                    titleColour, true);
    for (int k = 0; k < 3; ++k)
        drawTextCentred(x0 + g.titleColumnWidth + g.labelColumnWidth / 2,
                        y1 + k * g.cellHeight + g.cellHeight / 2, levelLabels[k],
                        textColour(k + 1), true);
    surface->setPen(g.lineColour);
    surface->setBrush(g.backColour);
}

void TTabella::paintCounts()
{
    const TableGeometry& g = tableGeometry;
    QPainter& p = *surface;
    const QFont kept = p.font();
    const int x1 = g.left + g.titleColumnWidth + g.labelColumnWidth;
    const int y1 = g.top + g.titleRowHeight + g.labelRowHeight;
    QFont font = plainFont(textFontFamily);
    font.setPointSize(countPointSize);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const QString text = QString::number(answerCounts.count(i + 1, j + 1));
            // A count too wide or too tall for its cell is written smaller, never clipped.
            QFont cellFont = font;
            p.setFont(cellFont);
            QFontMetrics metrics = p.fontMetrics();
            while (cellFont.pointSize() > 4
                   && (metrics.horizontalAdvance(text) > g.cellWidth - 8
                       || metrics.height() > g.cellHeight)) {
                cellFont.setPointSize(cellFont.pointSize() - 1);
                p.setFont(cellFont);
                metrics = p.fontMetrics();
            }
            const QColor colour = (!g.forPrinter && i == j) ? textColour(i + 1)
                                                            : QColor(Qt::black);
            const int w = metrics.horizontalAdvance(text);
            const int h = metrics.height();
            p.setPen(colour);
            p.drawText(x1 + i * g.cellWidth + (g.cellWidth - w) / 2,
                       y1 + j * g.cellHeight + (g.cellHeight - h) / 2 + metrics.ascent(), text);
        }
    }
    p.setPen(g.lineColour);
    p.setBrush(QBrush(g.backColour, Qt::SolidPattern));
    p.setFont(kept);
}

void TTabella::drawTextCentred(int x, int y, const QString& text, const QColor& colour,
                               bool rotated)
{
    QPainter& p = *surface;
    p.save();
    p.setFont(rotated ? rotatedLabelFont : straightLabelFont);
    p.setPen(colour);
    const QFontMetrics metrics = p.fontMetrics();
    const int h = metrics.height();
    const int w = metrics.horizontalAdvance(text);
    p.translate(x, y);
    if (rotated)
        p.rotate(-90);   // reads from bottom to top
    p.drawText(QRect(-w / 2 - 1, -h / 2, w + 2, h), Qt::AlignHCenter | Qt::AlignTop, text);
    p.restore();
}

void TTabella::printInfoLines(const QStringList& lines)
{
    if (!surface)
        return;
    const TableGeometry& g = tableGeometry;
    QPainter& p = *surface;
    const QFont kept = p.font();
    QFont font = plainFont(textFontFamily);
    font.setPointSize(infoPointSize);
    p.setFont(font);
    const QFontMetrics metrics = p.fontMetrics();
    const int lineHeight = metrics.height();
    int y = g.top + g.titleRowHeight + g.labelRowHeight + 3 * g.cellHeight
            + g.titleRowHeight / 2;
    // On a printer page a line that would run past the bottom of the page
    // goes on at the top of a new page; nothing is written off the paper.
    auto* paged = dynamic_cast<QPagedPaintDevice*>(p.device());
    const int pageBottom = p.device() ? p.device()->height() : 0;
    for (const QString& line : wrapLines(lines, metrics, g.width)) {
        if (paged && y + lineHeight > pageBottom && y > g.top) {
            paged->newPage();
            y = g.top;
        }
        p.drawText(g.left, y + metrics.ascent(), line);
        y += lineHeight;
    }
    p.setFont(kept);
}
