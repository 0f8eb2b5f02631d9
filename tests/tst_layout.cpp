#include "model/Token.h"
#include "model/Uevidenz.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QtTest>

// Layout, painting, hit test and extents of a marked text, checked on the
// pixels of a QImage.
class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void wordsFlowTogetherAndSpacesCollapse();
    void aWideWordStandsAlone();
    void totalHeights();
    void layoutAgreesWithMeasuringEveryCandidate();
    void changedSentencesLayOutAsTheWholeText();
    void styledLayoutMeasuresBoldWords();
    void boxesAndTextInTheColoursOfTheirLevel();
    void currentSentenceIsFramedInYellow();
    void connectorJoinsTheLinesOfTheFrame();
    void noFrameWithoutACurrentSentence();
    void scrolledPaintingMatchesTheWholePicture();
    void paintSentenceSetsSpokenText();
    void hitTestAtLineAndSentenceBoundaries();
    void extentsAndHeights();
    void paintsOnAPdfPage();
};

namespace {

const QColor white(255, 255, 255);
const QColor black(0, 0, 0);
const QColor cyan(0, 255, 255);
const QColor red(255, 0, 0);
const QColor yellow(255, 255, 0);

QFont textFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(19);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QStringList L(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}

Tparametri copy(const QStringList& source)
{
    Tparametri p;
    p.mode = copyOf;
    p.source = source;
    return p;
}

// A white picture with a painter on it in the text font.
struct Canvas {
    explicit Canvas(int width = 800, int height = 600)
        : image(width, height, QImage::Format_RGB32)
    {
        image.fill(white);
        painter.begin(&image);
        painter.setFont(textFont());
    }
    QColor at(int x, int y) const { return image.pixelColor(x, y); }
    int lineHeight() { return painter.fontMetrics().height() + 12; }
    int width(const QString& text) { return painter.fontMetrics().horizontalAdvance(text); }
    // True when some pixel of the rectangle has the colour.
    bool contains(const QRect& area, const QColor& colour) const
    {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.valid(x, y) && image.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    QImage image;
    QPainter painter;
};


QStringList kerningText(int seed, int sentences)
{
    // Pairs that kern (AV, To, Ty, W., "L'") and punctuation next to spaces.
    const QStringList words = L({"AVVISO", "To", "Ty", "W.", "L'albero", "Yacht", "VA", "è",
                                 "perché", "«Tutto»", "città,", "P.", "fff", "iii", "WWW", "a",
                                 "Già", "T.", "—", "Vò", "LT", "AY", "l'uomo", "Fa"});
    QRandomGenerator random{quint32(seed)};
    QStringList out;
    for (int s = 0; s < sentences; ++s) {
        out << tagLineFor(static_cast<ImportanceLevel>(random.bounded(4)));
        const int lineCount = random.bounded(4);
        for (int l = 0; l < lineCount; ++l) {
            QString line;
            const int count = random.bounded(25);
            for (int w = 0; w < count; ++w) {
                line += QString(random.bounded(3), QLatin1Char(' '));
                line += words.at(random.bounded(int(words.size())));
                line += QLatin1Char(' ');
            }
            out << line;
        }
    }
    return out;
}

} // namespace

void TestLayout::wordsFlowTogetherAndSpacesCollapse()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~importante~", "Il gatto", "dorme sul divano.",
                                 "~nonImportante~", "uno   due", "   tre  "})));
    const int lh = c.lineHeight();
    const int height = model.layout(2000, c.painter);
    QCOMPARE(model.lines, L({"~importante~", "Il gatto dorme sul divano.", "~nonImportante~",
                             "uno due tre"}));
    QCOMPARE(height, 2 * lh + 2 * 10 + 10);
    QCOMPARE(model.sentenceCount, 2);

    // Text before the first tag flows into one line ahead of it.
    Tevidenziatore early(copy(L({"a", "b", "~importante~", "c"})));
    early.layout(2000, c.painter);
    QCOMPARE(early.lines, L({"a b", "~importante~", "c"}));
}

void TestLayout::aWideWordStandsAlone()
{
    Canvas c;
    const QString wide = QStringLiteral("Precipitevolissimevolmente");
    const int width = c.width(wide) + 30;   // the word alone is not narrower than width - 30
    Tevidenziatore model(copy(L({"~nonImportante~", "a Precipitevolissimevolmente b c"})));
    model.layout(width, c.painter);
    QCOMPARE(model.lines.at(1), QStringLiteral("a"));
    QCOMPARE(model.lines.at(2), wide);
    QCOMPARE(model.lines.at(3), QStringLiteral("b c"));

    // A line exactly as wide as the limit does not fit; one pixel more does.
    const QString pair = QStringLiteral("uno due");
    Tevidenziatore exact(copy(L({"~nonImportante~", "uno due"})));
    exact.layout(c.width(pair) + 30, c.painter);
    QCOMPARE(exact.lines, L({"~nonImportante~", "uno", "due"}));
    exact.layout(c.width(pair) + 31, c.painter);
    QCOMPARE(exact.lines, L({"~nonImportante~", "uno due"}));
}

void TestLayout::totalHeights()
{
    Canvas c;
    const int lh = c.lineHeight();
    QVERIFY(lh > 12);
    Tevidenziatore empty(copy({}));
    QCOMPARE(empty.layout(800, c.painter), 10);
    Tevidenziatore one(copy(L({"~nonImportante~", "Una riga."})));
    QCOMPARE(one.layout(800, c.painter), lh + 20);
    // A sentence without text takes no line but its gap.
    Tevidenziatore bare(copy(L({"~nonImportante~", "Una riga.", "~importante~"})));
    QCOMPARE(bare.layout(800, c.painter), lh + 30);
    QCOMPARE(bare.lines, L({"~nonImportante~", "Una riga.", "~importante~"}));
    // Blank text lines vanish.
    Tevidenziatore blank(copy(L({"~nonImportante~", "   ", "", "~importante~", "x"})));
    QCOMPARE(blank.layout(800, c.painter), lh + 30);
    QCOMPARE(blank.lines, L({"~nonImportante~", "~importante~", "x"}));
}

void TestLayout::layoutAgreesWithMeasuringEveryCandidate()
{
    Canvas c;
    for (bool bold : {false, true}) {
        QFont font = textFont();
        font.setBold(bold);
        c.painter.setFont(font);
        for (int seed = 1; seed <= 6; ++seed) {
            const QStringList source = kerningText(seed, 40);
            for (int width = 90; width <= 900; width += 53) {
                int expectedHeight = 0;
                const QStringList expected = testsupport::referenceLayout(source, width, c.painter.fontMetrics(), &expectedHeight);
                Tevidenziatore model(copy(source));
                const int height = model.layout(width, c.painter);
                if (model.lines != expected) {
                    for (int i = 0; i < std::min(model.lines.size(), expected.size()); ++i)
                        if (model.lines.at(i) != expected.at(i))
                            qWarning() << "line" << i << model.lines.at(i) << "expected" << expected.at(i);
                    QFAIL(qPrintable(QStringLiteral("layout differs at width %1, seed %2, bold %3")
                                         .arg(width).arg(seed).arg(bold)));
                }
                QCOMPARE(height, expectedHeight);
                // Laying out again changes nothing.
                QCOMPARE(model.layout(width, c.painter), height);
                QCOMPARE(model.lines, expected);
            }
        }
    }
}

// Sentences inserted, removed or replaced after a layout: the next layout
// gives the lines, the height, the places and the pixels of a whole layout of
// the same text; so does a new width, a new font and a change made to the
// lines from outside.
void TestLayout::changedSentencesLayOutAsTheWholeText()
{
    Canvas c(700, 400);
    QRandomGenerator random(2026);
    const QStringList words = L({"il", "gatto", "dorme", "sul", "divano", "AVVISO", "Ty", "W.",
                                 "perché", "città,", "Precipitevolissimevolmente", "è", "—"});
    auto newSentence = [&]() {
        QStringList lines;
        const int count = random.bounded(4);   // a sentence may have no text at all
        for (int l = 0; l < count; ++l) {
            QString line;
            const int length = random.bounded(30);
            for (int w = 0; w < length; ++w)
                line += QString(random.bounded(3), QLatin1Char(' ')) + words.at(random.bounded(int(words.size())));
            lines << line;
        }
        return lines;
    };
    // Text lines before the first tag line flow together ahead of it.
    QStringList source = L({"Prima del primo segno.", "Ancora."});
    source.append(kerningText(11, 60));

    Tevidenziatore model(copy(source));      // laid out again after each change
    Tevidenziatore plain(copy(source));      // the same changes, never laid out
    int width = 320;
    auto expectWhole = [&](const char* what) {
        const int height = model.layout(width, c.painter);
        Tevidenziatore whole(copy(plain.lines));
        whole.leftMargin = plain.leftMargin;
        const int expectedHeight = whole.layout(width, c.painter);
        if (whole.leftMargin == 15) {
            int referenceHeight = 0;
            QCOMPARE(whole.lines, testsupport::referenceLayout(plain.lines, width, c.painter.fontMetrics(), &referenceHeight));
            QCOMPARE(expectedHeight, referenceHeight);
        }
        QVERIFY2(model.lines == whole.lines, what);
        QCOMPARE(height, expectedHeight);
        QCOMPARE(model.sentenceCount, whole.sentenceCount);
        for (int n = 0; n < whole.sentenceCount; ++n)
            QCOMPARE(model.sentenceExtent(c.painter, n), whole.sentenceExtent(c.painter, n));
    };
    expectWhole("first layout");
    for (int round = 0; round < 150; ++round) {
        // One to three changes between two layouts.
        const int changes = 1 + random.bounded(3);
        for (int k = 0; k < changes; ++k) {
            const int count = model.sentenceCount;
            const int n = random.bounded(count + 1);
            const ImportanceLevel level = static_cast<ImportanceLevel>(random.bounded(4));
            switch (random.bounded(3)) {
            case 0: {   // insertion (before sentence n, or at the end)
                const QStringList lines = newSentence();
                model.insertSentence(n, lines, level);
                plain.insertSentence(n, lines, level);
                break;
            }
            case 1:     // removal
                model.removeSentence(n);
                plain.removeSentence(n);
                break;
            default: {  // replacement, as the preparation window makes it
                QStringList lines = newSentence();
                if (lines.isEmpty())
                    lines << QStringLiteral("Frase nuova.");
                model.removeSentence(n);
                model.insertSentence(n, lines, level);
                plain.removeSentence(n);
                plain.insertSentence(n, lines, level);
                break;
            }
            }
            QCOMPARE(model.sentenceCount, plain.sentenceCount);
        }
        // A level change in between does not disturb the layout.
        const int marked = random.bounded(std::max(1, model.sentenceCount));
        model.setImportance(marked, importante);
        plain.setImportance(marked, importante);
        expectWhole(qPrintable(QStringLiteral("round %1").arg(round)));
        if (QTest::currentTestFailed())
            return;
    }

    // The same pixels as the whole layout, seen from the middle of the text.
    Canvas mine(700, 400);
    Canvas theirs(700, 400);
    Tevidenziatore whole(copy(plain.lines));
    whole.layout(width, theirs.painter);
    model.currentSentence = whole.currentSentence = model.sentenceCount / 2;
    const int scroll = model.sentenceExtent(mine.painter, model.currentSentence).first - 100;
    model.paintAll(mine.painter, scroll, true, 400);
    whole.paintAll(theirs.painter, scroll, true, 400);
    QCOMPARE(mine.image, theirs.image);

    // A new width, a new font, a new margin, and lines changed from outside.
    width = 455;
    expectWhole("new width");
    QFont bigger = textFont();
    bigger.setPixelSize(23);
    c.painter.setFont(bigger);
    expectWhole("new font");
    model.leftMargin = plain.leftMargin = 40;
    expectWhole("new margin");
    model.lines[model.lines.size() - 1] += QStringLiteral(" aggiunto da fuori con parole in più per andare a capo");
    plain.lines[plain.lines.size() - 1] += QStringLiteral(" aggiunto da fuori con parole in più per andare a capo");
    expectWhole("lines changed from outside");
}

void TestLayout::styledLayoutMeasuresBoldWords()
{
    Canvas c;
    const QString text = QStringLiteral("Mamma mia che bella giornata");
    const int plainWidth = c.width(text);
    QFont bold = textFont();
    bold.setBold(true);
    const int boldWidth = QFontMetrics(bold, &c.image).horizontalAdvance(text);
    QVERIFY(boldWidth > plainWidth);
    const int width = plainWidth + 31;       // fits in the plain font only

    Tevidenziatore plain(copy(L({"~moltoImportante~", "Mamma mia che bella giornata"})));
    plain.layout(width, c.painter);
    QCOMPARE(plain.lines.size(), 2);

    Tevidenziatore styled(copy(L({"~moltoImportante~", "Mamma mia che bella giornata",
                                  "~importante~", "Mamma mia che bella giornata",
                                  "~nonImportante~", "Mamma mia che bella giornata"})));
    const int lh = c.lineHeight();
    const int height = styled.layoutStyled(width, c.painter);
    QCOMPARE(styled.lines.at(0), QStringLiteral("~moltoImportante~"));
    QVERIFY(styled.lines.at(1) != text);                 // bold wraps earlier
    // Underlined words are as wide as plain ones: one line each.
    QCOMPARE(styled.lines.at(styled.lines.size() - 4), QStringLiteral("~importante~"));
    QCOMPARE(styled.lines.at(styled.lines.size() - 3), text);
    QCOMPARE(styled.lines.at(styled.lines.size() - 2), QStringLiteral("~nonImportante~"));
    QCOMPARE(styled.lines.constLast(), text);
    const int displayLines = int(styled.lines.size()) - 3;
    QCOMPARE(height, lh * displayLines + 30 + 10);
    // The canvas is left without style.
    QVERIFY(!c.painter.font().bold());
    QVERIFY(!c.painter.font().underline());
    QCOMPARE(c.painter.font().family(), textFont().family());
}

void TestLayout::boxesAndTextInTheColoursOfTheirLevel()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~daDeterminare~", "Uno", "~nonImportante~", "Due",
                                 "~importante~", "Tre", "~moltoImportante~", "Quattro"})));
    model.currentSentence = -1;
    const int lh = c.lineHeight();
    model.paintAll(c.painter, 0, true, 600);
    const QList<QPair<QColor, QColor>> expected = {
        {black, white}, {white, black}, {cyan, red}, {red, cyan}};
    const QStringList texts = L({"Uno", "Due", "Tre", "Quattro"});
    for (int j = 0; j < 4; ++j) {
        const int y = 10 + lh * j + 10 * j;          // top of the text cell
        const int w = c.width(texts.at(j));
        // Padding left of the text, at mid height: the fill colour.
        QCOMPARE(c.at(15 - 5, y - 6 + lh / 2), expected.at(j).first);
        QCOMPARE(c.at(15 + w + 5, y - 6 + lh / 2), expected.at(j).first);
        // The text colour inside the text cell, and nothing else but fill and text.
        const QRect cell(15, y, w, lh - 12);
        QVERIFY2(c.contains(cell, expected.at(j).second), qPrintable(texts.at(j)));
        // Outside the box: white page (left of the box, and in the gap below it).
        QCOMPARE(c.at(15 - 11, y - 6 + lh / 2), white);
        QCOMPARE(c.at(15 + w / 2, y - 6 + lh + 4), white);
    }
    QVERIFY(!c.contains(QRect(0, 0, 800, 600), yellow));
    // Rounded corners: the very corner pixel of a coloured box stays white.
    QCOMPARE(c.at(5, 10 + 2 * (lh + 10) - 6), white);
    QCOMPARE(c.at(5 + 8, 10 + 2 * (lh + 10) - 6 + lh / 2), cyan);
}

void TestLayout::currentSentenceIsFramedInYellow()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~nonImportante~", "Prima", "~importante~", "Seconda"})));
    model.currentSentence = 1;
    const int lh = c.lineHeight();
    model.paintAll(c.painter, 0, true, 600);
    const int top = 10 + lh + 10 - 6;                // box top of sentence 1
    const int mid = top + lh / 2;
    const int left = 5;
    QCOMPARE(c.at(left, mid), black);                // outer outline
    QCOMPARE(c.at(left + 1, mid), yellow);
    QCOMPARE(c.at(left + 2, mid), yellow);
    QCOMPARE(c.at(left + 3, mid), black);            // inner outline
    QCOMPARE(c.at(left + 4, mid), cyan);             // the level's fill inside
    const int right = 15 + c.width(QStringLiteral("Seconda")) + 10 - 1;
    QCOMPARE(c.at(right, mid), black);
    QCOMPARE(c.at(right - 1, mid), yellow);
    QCOMPARE(c.at(right - 3, mid), black);
    QCOMPARE(c.at(right - 4, mid), cyan);
    // Top edge at the middle of the box, and the red text inside.
    const int cx = 15 + c.width(QStringLiteral("Seconda")) / 2;
    QCOMPARE(c.at(cx, top), black);
    QCOMPARE(c.at(cx, top + 1), yellow);
    QVERIFY(c.contains(QRect(15, top + 6, c.width(QStringLiteral("Seconda")), lh - 12), red));
    // The other sentence has no frame.
    QVERIFY(!c.contains(QRect(0, 0, 800, top - 1), yellow));
}

void TestLayout::connectorJoinsTheLinesOfTheFrame()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~importante~", "Una riga abbastanza lunga di prova",
                                 "e una seconda riga"})));
    model.currentSentence = 0;
    const int lh = c.lineHeight();
    const int f = 3;
    model.paintAll(c.painter, 0, true, 600);
    const int seam = 10 + lh - 6;                    // top of the second box
    const int xL = 15 - 10 + lh / 2;
    const int shorter = c.width(QStringLiteral("e una seconda riga"));
    const int xR = xL + shorter + 20 - lh;
    QVERIFY(xR > xL + 20);
    // Between the two half-ellipses the seam is the level's fill, over the
    // whole band: no frame line crosses it.
    for (int y = seam - f - 1; y <= seam + f; ++y) {
        QCOMPARE(c.at(xL + 12, y), cyan);
        QCOMPARE(c.at((xL + xR) / 2, y), cyan);
        QCOMPARE(c.at(xR - 12, y), cyan);
    }
    // The half-ellipses: yellow inside, a black arc around.
    QCOMPARE(c.at(xL + 2, seam), yellow);
    QCOMPARE(c.at(xR - 2, seam), yellow);
    QVERIFY(c.contains(QRect(xL + 4, seam - 1, 4, 3), black));
    QVERIFY(c.contains(QRect(xR - 8, seam - 1, 4, 3), black));
    // Beyond the shorter line the frame of the longer one shows its outlines.
    const int beyond = 15 + shorter + 10 + 8;
    QCOMPARE(c.at(beyond, seam - 1), black);         // outer bottom of the first box
    QVERIFY(c.contains(QRect(beyond, seam - f - 1, 1, f + 1), yellow));

    // Without marking the same seam shows plain touching boxes, no yellow.
    Canvas plain;
    model.paintAll(plain.painter, 0, false, 600);
    QVERIFY(!plain.contains(QRect(0, 0, 800, 200), yellow));
    QCOMPARE(plain.at(xL + 2, seam), cyan);
}

void TestLayout::noFrameWithoutACurrentSentence()
{
    const QStringList source = L({"~importante~", "a b c", "d e f", "~moltoImportante~", "g h"});
    for (int current : {-1, 2, 7}) {
        Canvas c;
        Tevidenziatore model(copy(source));
        model.currentSentence = current;
        model.paintAll(c.painter, 0, true, 600);
        QVERIFY(!c.contains(QRect(0, 0, 300, 200), yellow));
        model.paintSentence(c.painter, 200, 0, true);
        QVERIFY(!c.contains(QRect(0, 0, 300, 400), yellow));
    }
    Canvas c;
    Tevidenziatore model(copy(source));
    model.currentSentence = 1;
    model.paintSentence(c.painter, 0, 1, true);
    QVERIFY(c.contains(QRect(0, 0, 300, 100), yellow));
}

void TestLayout::scrolledPaintingMatchesTheWholePicture()
{
    // Many sentences, painted whole from the top, and painted from deep
    // scroll positions into a small picture: the small one must be the
    // same pixels as the matching band of the whole one.
    QStringList source;
    QRandomGenerator random(7);
    for (int s = 0; s < 120; ++s) {
        source << tagLineFor(static_cast<ImportanceLevel>(random.bounded(4)));
        const int words = 1 + random.bounded(30);
        QString line;
        for (int w = 0; w < words; ++w)
            line += QStringLiteral("parola%1 ").arg(random.bounded(100));
        source << line;
    }
    Canvas probe;
    Tevidenziatore model(copy(source));
    model.currentSentence = 57;
    const int height = model.layout(500, probe.painter);
    QVERIFY(height > 3000);

    Canvas whole(500, height + 300);
    model.paintAll(whole.painter, 0, true, height + 300);
    whole.painter.end();
    for (int scroll : {0, 1, 13, 700, 1234, height / 2, height - 300, height - 100}) {
        Canvas view(500, 300);
        model.paintAll(view.painter, scroll, true, 300);
        view.painter.end();
        const QImage band = whole.image.copy(0, scroll, 500, 300);
        QVERIFY2(view.image == band, qPrintable(QStringLiteral("scroll %1").arg(scroll)));
    }
}

void TestLayout::paintSentenceSetsSpokenText()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~importante~", "Il gatto dorme", "sul divano.",
                                 "~moltoImportante~", "Il cane.", "~nonImportante~"})));
    spokenText = QStringLiteral("prima");
    model.paintSentence(c.painter, 100, 0, false);
    QCOMPARE(spokenText, QStringLiteral("Il gatto dorme sul divano."));
    const int lh = c.lineHeight();
    // Drawn from top + topMargin, line after line, without a gap.
    QCOMPARE(c.at(10, 100 + 10 - 6 + lh / 2), cyan);
    QCOMPARE(c.at(10, 100 + 10 - 6 + lh + lh / 2), cyan);
    QVERIFY(c.contains(QRect(15, 110, c.width(QStringLiteral("Il gatto dorme")), lh - 12), red));
    QCOMPARE(c.at(10, 100 + 10 - 6 - 2), white);

    model.paintSentence(c.painter, 0, 1, false);
    QCOMPARE(spokenText, QStringLiteral("Il cane."));
    // No such sentence, or a tag that ends the list: nothing changes.
    model.paintSentence(c.painter, 0, 2, false);
    QCOMPARE(spokenText, QStringLiteral("Il cane."));
    model.paintSentence(c.painter, 0, 3, false);
    model.paintSentence(c.painter, 0, -1, false);
    QCOMPARE(spokenText, QStringLiteral("Il cane."));
}

void TestLayout::hitTestAtLineAndSentenceBoundaries()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~importante~", "riga lunga della prima frase", "corta",
                                 "~moltoImportante~", "seconda"})));
    const int lh = c.lineHeight();
    auto hit = [&](int x, int y) { return model.hitTest(x, y, c.painter); };

    QCOMPARE(hit(20, 3).sentence, -1);               // above topMargin - boxPadY
    QCOMPARE(hit(20, 4).sentence, 0);
    QCOMPARE(hit(20, 4).level, importante);
    // Line 0 owns y < lh + 6, line 1 (same sentence) y < 2 lh + 6.
    QCOMPARE(hit(20, lh + 5).sentence, 0);
    QCOMPARE(hit(20, 2 * lh + 5).sentence, 0);      // 2 pixels below the box of line 1
    QCOMPARE(hit(20, 2 * lh + 6).sentence, 1);      // the rest of the gap: the next sentence
    QCOMPARE(hit(20, 2 * lh + 6).level, moltoImportante);
    QCOMPARE(hit(20, 3 * lh + 15).sentence, 1);
    QCOMPARE(hit(20, 3 * lh + 16).sentence, -1);    // below the last line
    QCOMPARE(hit(20, 100000).sentence, -1);

    // Horizontally each line counts only over its own box.
    const int longW = c.width(QStringLiteral("riga lunga della prima frase"));
    const int shortW = c.width(QStringLiteral("corta"));
    QCOMPARE(hit(4, 20).sentence, -1);
    QCOMPARE(hit(5, 20).sentence, 0);
    QCOMPARE(hit(25 + longW, 20).sentence, 0);
    QCOMPARE(hit(26 + longW, 20).sentence, -1);
    QCOMPARE(hit(25 + shortW, lh + 20).sentence, 0);
    QCOMPARE(hit(26 + shortW, lh + 20).sentence, -1);
    QCOMPARE(hit(26 + shortW, lh + 20).level, importante);

    // Text before the first tag belongs to no sentence; an empty text hits nothing.
    Tevidenziatore early(copy(L({"intro", "~importante~", "frase"})));
    QCOMPARE(early.hitTest(20, 10, c.painter).sentence, -1);
    QCOMPARE(early.hitTest(20, lh + 10, c.painter).sentence, 0);
    Tevidenziatore empty(copy({}));
    QCOMPARE(empty.hitTest(20, 20, c.painter).sentence, -1);

    // After a level changes the hit reports the new level.
    model.setImportance(1, importante);
    QCOMPARE(hit(20, 2 * lh + 20).level, importante);
}

void TestLayout::extentsAndHeights()
{
    Canvas c;
    Tevidenziatore model(copy(L({"~importante~", "a", "b", "~nonImportante~",
                                 "~moltoImportante~", "c"})));
    const int lh = c.lineHeight();
    QCOMPARE(model.sentenceExtent(c.painter, 0), std::make_pair(10 - 6, 2 * lh + 10));
    QCOMPARE(model.sentenceExtent(c.painter, 2), std::make_pair(2 * lh + 10 + 20 - 6, 3 * lh + 30));
    QCOMPARE(model.sentenceHeight(0, c.painter), 2 * lh + 10);
    QCOMPARE(model.sentenceHeight(1, c.painter), 10);
    QCOMPARE(model.sentenceHeight(2, c.painter), lh + 10);
    QCOMPARE(model.sentenceHeight(-1, c.painter), 10);
    // The extent is where paintAll draws: the box of "c" starts at its top.
    model.paintAll(c.painter, 0, false, 600);
    const auto extent = model.sentenceExtent(c.painter, 2);
    QCOMPARE(c.at(10, extent.first + lh / 2), red);
    QCOMPARE(c.at(10, extent.first - 2), white);
}

void TestLayout::paintsOnAPdfPage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("stampa.pdf"));
    {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("Liberation Serif"), 12));
        Tevidenziatore model(copy(kerningText(3, 30)));
        model.leftMargin = 200;
        const int height = model.layoutStyled(writer.width(), painter);
        QVERIFY(height > 10);
        model.paintAll(painter, 0, true, writer.height());
        QVERIFY(model.hitTest(250, 300, painter).sentence >= -1);
    }
    QVERIFY(QFileInfo(path).size() > 1000);
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
