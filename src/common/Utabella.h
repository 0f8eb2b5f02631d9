#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <array>

class QPainter;

// How many sentences of a run had each pair of levels: count(e, g) for the
// expected level e (the teacher's) and the given level g (the pupil's), both
// 1 (non importante) .. 3 (molto importante). Sentences with daDeterminare on
// either side are not counted. Stored in the order (1,1), (1,2), (1,3), (2,1),
// ... (3,3), the expected level first.
struct AnswerCounts {
    std::array<int, 9> values{};

    int& count(int expected, int given) { return values[index(expected, given)]; }
    int count(int expected, int given) const { return values[index(expected, given)]; }
    // Adds one answer; levels outside 1..3 (daDeterminare) are not counted.
    void add(int expected, int given);
    int total() const;
    bool operator==(const AnswerCounts& other) const { return values == other.values; }

private:
    static size_t index(int expected, int given)
    {
        return static_cast<size_t>((expected - 1) * 3 + (given - 1));
    }
};

// Where and how the results table is drawn, in the units of its surface.
struct TableGeometry {
    int left = 0;
    int top = 0;
    int width = 0;               // the whole area: carried, not used by the drawing
    int height = 0;
    int titleColumnWidth = 0;    // column of the vertical title "esercizio svolto"
    int titleRowHeight = 0;      // row of the title "testo proposto"
    int labelColumnWidth = 0;    // column of the three vertical row labels
    int labelRowHeight = 0;      // row of the three column labels
    int cellWidth = 0;
    int cellHeight = 0;
    QColor lineColour = Qt::black;   // lines and the two titles
    QColor backColour = Qt::white;   // left in the painter's brush after drawing
    bool forPrinter = false;         // no colours
};

// The 3 x 3 table of expected against given levels of one run. Columns are
// the expected levels ("testo proposto"), rows the given ones ("esercizio
// svolto"); the diagonal cells, in the colours of their level, hold the right
// answers. Draws on a window's painter or on a printer page's painter alike;
// the painter is not owned and may be changed between paints (a window
// paints through a new painter at every paint event).
class TTabella
{
public:
    static constexpr int screenLabelHeight = 15;
    static constexpr int countPointSize = 28;
    static constexpr int infoPointSize = 14;

    TTabella(QPainter* canvas, const AnswerCounts& counts, const TableGeometry& geometry);

    void setCanvas(QPainter* canvas) { surface = canvas; }
    const AnswerCounts& counts() const { return answerCounts; }
    const TableGeometry& geometry() const { return tableGeometry; }
    // The height of the label cells asked for: 15 on screen, cellWidth / 8.5 for the printer.
    int labelFontHeight() const { return labelHeight; }

    // Draws grid, headings and counts. Afterwards the painter has its earlier
    // font, a pen of lineColour and a solid brush of backColour.
    void paint();
    // Writes `lines` under the table.
    void printInfoLines(const QStringList& lines);

private:
    void paintGrid();
    void paintHeadings();
    void paintCounts();
    void drawTextCentred(int x, int y, const QString& text, const QColor& colour, bool rotated);
    QColor textColour(int level) const;

    QPainter* surface;
    AnswerCounts answerCounts;
    TableGeometry tableGeometry;
    int labelHeight;
    QFont straightLabelFont;    // for the column labels and "testo proposto"
    QFont rotatedLabelFont;     // drawn turned by 90 degrees, reading upward
};
