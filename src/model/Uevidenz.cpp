#include "model/Uevidenz.h"

#include "model/Clock.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/ResultsFile.h"
#include "model/SafeFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QRect>
#include <algorithm>

QString spokenText;

const std::array<ImportanceColour, 4> ImportanceColours = {{
    {QColor(0, 0, 0), QColor(255, 255, 255)},       // daDeterminare
    {QColor(255, 255, 255), QColor(0, 0, 0)},       // nonImportante
    {QColor(0, 255, 255), QColor(255, 0, 0)},       // importante
    {QColor(255, 0, 0), QColor(0, 255, 255)},       // moltoImportante
}};

const QColor FrameColour(255, 255, 0);

const ImportanceColour& importanceColour(int level)
{
    if (level < 0 || level > 3)
        level = nonImportante;
    return ImportanceColours[static_cast<size_t>(level)];
}

QString tagLineFor(ImportanceLevel level)
{
    switch (level) {
    case daDeterminare:
        return QStringLiteral("~daDeterminare~");
    case importante:
        return QStringLiteral("~importante~");
    case moltoImportante:
        return QStringLiteral("~moltoImportante~");
    case nonImportante:
        break;
    }
    return QStringLiteral("~nonImportante~");
}

namespace {

const QChar tagChar = QLatin1Char('~');
const QChar space = QLatin1Char(' ');

bool isTagLine(const QString& line)
{
    return line.contains(tagChar);
}

// Only the space character is trimmed; tabs stay.
QStringView stripSpaces(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == space)
        ++begin;
    while (end > begin && s.at(end - 1) == space)
        --end;
    return s.mid(begin, end - begin);
}

// A rounded box covering the pixels from (left, top) up to, not including,
// (right, bottom), with corners of the given radius, in the painter's pen and brush.
void roundBox(QPainter& canvas, int left, int top, int right, int bottom, qreal radius)
{
    if (right - left < 1 || bottom - top < 1)
        return;
    canvas.drawRoundedRect(QRectF(left, top, right - left - 1, bottom - top - 1), radius, radius);
}

// Widths of words in one font, measured once.
class WordWidths
{
public:
    explicit WordWidths(QPainter& canvas) { reset(canvas); }

    void reset(QPainter& canvas)
    {
        metrics = canvas.fontMetrics();
        metricsF = QFontMetricsF(canvas.font(), canvas.device());
        const QString key = canvas.font().key();
        auto it = tables.find(key);
        if (it == tables.end())
            it = tables.insert(key, QHash<QString, Word>());
        table = &it.value();
        spaceWidth = metricsF.horizontalAdvance(space);
        // Kerning and shaping across a word boundary move a line's width a
        // little away from the sum of its words; near the limit the whole
        // line is measured.
        slack = std::max<qreal>(2.0, metricsF.height() / 4.0);
    }

    struct Word {
        qreal width = 0;
        // A word whose width depends on where it stands (a tab, a mark that
        // joins the space before it, a script shaped across words): a line
        // that gets it is measured whole.
        bool measureLine = false;
    };

    const Word& word(const QString& w)
    {
        auto it = table->constFind(w);
        if (it != table->constEnd())
            return it.value();
        Word entry;
        entry.width = metricsF.horizontalAdvance(w);
        for (const QChar c : w) {
            const ushort u = c.unicode();
            if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u >= 0x0590 || c.isMark()) {
                entry.measureLine = true;
                break;
            }
        }
        return table->insert(w, entry).value();
    }

    int exact(const QString& text) const { return metrics.horizontalAdvance(text); }

    QFontMetrics metrics{QFont()};
    QFontMetricsF metricsF{QFont()};
    qreal spaceWidth = 0;
    qreal slack = 2;

private:
    QHash<QString, QHash<QString, Word>> tables;
    QHash<QString, Word>* table = nullptr;
};

// Wraps the words of the text lines it is given into display lines narrower
// than `available`: the words of every line added since the last flush flow
// together, joined by single spaces; a word wider than `available` stands
// alone on its line.
class LineWrapper
{
public:
    LineWrapper(WordWidths& w, int availableWidth) : widths(w), available(availableWidth) {}

    void add(QStringView text, QStringList& out)
    {
        qsizetype at = 0;
        const qsizetype size = text.size();
        while (at < size) {
            while (at < size && text.at(at) == space)
                ++at;
            if (at >= size)
                break;
            qsizetype end = at;
            while (end < size && text.at(end) != space)
                ++end;
            addWord(text.mid(at, end - at).toString(), out);
            at = end;
        }
    }

    // Ends the current display line.
    void flush(QStringList& out)
    {
        if (!current.isEmpty()) {
            out.append(current);
            current.clear();
        }
        currentWidth = 0;
        wordsSinceExact = 0;
    }

private:
    void addWord(const QString& word, QStringList& out)
    {
        const WordWidths::Word measured = widths.word(word);
        const qreal wordWidth = measured.width;
        if (current.isEmpty()) {
            current = word;
            currentWidth = wordWidth;
            wordsSinceExact = 1;
            return;
        }
        const qreal estimate = currentWidth + widths.spaceWidth + wordWidth;
        const qreal slack = widths.slack * (wordsSinceExact + 1);
        bool fits;
        int exactWidth = -1;
        if (measured.measureLine) {
            exactWidth = widths.exact(current + space + word);
            fits = exactWidth < available;
        } else if (estimate + slack < available) {
            fits = true;
        } else if (estimate - slack >= available) {
            fits = false;
        } else {
            exactWidth = widths.exact(current + space + word);
            fits = exactWidth < available;
        }
        if (fits) {
            current += space;
            current += word;
            if (exactWidth >= 0) {
                currentWidth = exactWidth;
                wordsSinceExact = 0;
            } else {
                currentWidth = estimate;
                ++wordsSinceExact;
            }
        } else {
            flush(out);
            current = word;
            currentWidth = wordWidth;
            wordsSinceExact = 1;
        }
    }

    WordWidths& widths;
    const int available;     // a line fits when narrower than this
    QString current;
    qreal currentWidth = 0;  // estimate of current's width
    int wordsSinceExact = 0; // words added since currentWidth was measured exactly
};

} // namespace

// ---------------------------------------------------------------------------
// The marked text

Tevidenziatore::Tevidenziatore(const Tparametri& params)
{
    switch (params.mode) {
    case fromPlainText: {
        const QString tag = tagLineFor(nonImportante);
        const QChar sep = params.separator;
        const bool keepSeparator = sep == QLatin1Char('.');
        lines.append(tag);
        for (const QString& source : params.source) {
            const QStringView t(source);
            qsizetype from = 0;
            qsizetype at = t.indexOf(sep, from);
            while (at >= 0) {
                const QStringView piece = t.mid(from, at - from + (keepSeparator ? 1 : 0));
                lines.append(stripSpaces(piece).toString());
                lines.append(tag);
                from = at + 1;
                at = t.indexOf(sep, from);
            }
            const QStringView rest = stripSpaces(t.mid(from));
            if (!rest.isEmpty())
                lines.append(rest.toString());
        }
        if (isTagLine(lines.constLast()))
            lines.removeLast();
        break;
    }
    case fromExercise:
        lines = params.source;
        compito = params.compito;
        break;
    case copyOf:
    case fromResults:
    default:
        lines = params.source;
        break;
    }
    sentenceCount = countSentences();
}

Tevidenziatore::~Tevidenziatore() = default;

void Tevidenziatore::dropIndex() const
{
    indexValid = false;
    indexedLines = QStringList();
}

void Tevidenziatore::ensureIndex() const
{
    if (indexValid && indexedLines.size() == lines.size()
        && indexedLines.constData() == lines.constData())
        return;
    // `lines` changed in a way the model did not make itself: the next layout
    // cannot build on the last one.
    laidOut.valid = false;
    laidOut.changed.clear();
    buildIndex();
}

void Tevidenziatore::reindex()
{
    dropIndex();
    buildIndex();
}

void Tevidenziatore::buildIndex() const
{
    indexedLines = lines;
    sentenceIndex.clear();
    textIndex.clear();
    sentenceLevels.clear();
    textIndex.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (isTagLine(line)) {
            Sentence s;
            s.tagLine = i;
            s.firstText = int(textIndex.size());
            sentenceIndex.append(s);
            sentenceLevels.append(parseTag(line));
        } else {
            textIndex.append(TextLine{i, int(sentenceIndex.size()) - 1});
            if (!sentenceIndex.isEmpty())
                ++sentenceIndex.last().textCount;
        }
    }
    widthCache.fill(-1, textIndex.size());
    indexValid = true;
}

int Tevidenziatore::tagLineIndex(int n) const
{
    ensureIndex();
    if (n < 0 || n >= sentenceIndex.size())
        return -1;
    return sentenceIndex.at(n).tagLine;
}

int Tevidenziatore::countSentences() const
{
    ensureIndex();
    return int(sentenceIndex.size());
}

ImportanceLevel Tevidenziatore::parseTag(const QString& line)
{
    const qsizetype first = line.indexOf(tagChar);
    if (first < 0)
        return nonImportante;
    QStringView word = QStringView(line).mid(first + 1, 255);
    const qsizetype next = word.indexOf(tagChar);
    if (next >= 0)
        word = word.left(next);
    word = stripSpaces(word);
    if (word == QLatin1String("nonImportante"))
        return nonImportante;
    if (word == QLatin1String("importante"))
        return importante;
    if (word == QLatin1String("moltoImportante"))
        return moltoImportante;
    if (word == QLatin1String("daDeterminare"))
        return daDeterminare;
    return nonImportante;
}

ImportanceLevel Tevidenziatore::importanceOf(int n) const
{
    const int t = tagLineIndex(n);
    // A last sentence whose tag line ends the list reads as nonImportante.
    if (t < 0 || t == lines.size() - 1)
        return nonImportante;
    return sentenceLevels.at(n);
}

void Tevidenziatore::setImportance(int n, ImportanceLevel level)
{
    if (level > moltoImportante)
        return;
    const int t = tagLineIndex(n);
    if (t < 0)
        return;
    // Only a tag line changes: the structure stays, so the index is kept and
    // the list is changed in place instead of being copied.
    indexedLines = QStringList();
    lines[t] = tagLineFor(level);
    indexedLines = lines;
    sentenceLevels[n] = level;
}

void Tevidenziatore::sentenceLines(int n, QStringList& out) const
{
    out.clear();
    const int t = tagLineIndex(n);
    if (t < 0)
        return;
    out = lines.mid(t + 1, sentenceIndex.at(n).textCount);
}

void Tevidenziatore::removeSentence(int n)
{
    const int t = tagLineIndex(n);
    if (t >= 0) {
        const int count = 1 + sentenceIndex.at(n).textCount;
        dropIndex();
        lines.remove(t, count);
        reindex();
        // The sentences below move up by one; the others keep their lines.
        QVector<int>& changed = laidOut.changed;
        changed.removeAll(n);
        for (int& c : changed) {
            if (c > n)
                --c;
        }
    }
    sentenceCount = countSentences();
}

void Tevidenziatore::insertSentence(int n, const QStringList& textLines, ImportanceLevel level)
{
    const int count = countSentences();
    if (n < 0 || n > count) {
        sentenceCount = count;
        return;
    }
    const QString tag = tagLineFor(level > moltoImportante ? nonImportante : level);
    if (n < count && textLines.isEmpty()) {
        sentenceCount = count;
        return;
    }
    const int at = n == count ? int(lines.size()) : tagLineIndex(n);
    dropIndex();
    lines.insert(at, textLines.size() + 1, QString());
    lines[at] = tag;
    for (qsizetype i = 0; i < textLines.size(); ++i)
        lines[at + 1 + i] = textLines.at(i);
    reindex();
    // The new sentence waits for its layout; the ones below move down by one.
    QVector<int>& changed = laidOut.changed;
    for (int& c : changed) {
        if (c >= n)
            ++c;
    }
    changed.insert(std::lower_bound(changed.begin(), changed.end(), n), n);
    // A text line that reads as a tag line makes more than one sentence:
    // the next layout is a whole one.
    for (const QString& line : textLines) {
        if (isTagLine(line))
            laidOut.valid = false;
    }
    sentenceCount = countSentences();
}

QStringList Tevidenziatore::sentenceBlock(int n) const
{
    const int t = tagLineIndex(n);
    if (t < 0)
        return {};
    return lines.mid(t, 1 + sentenceIndex.at(n).textCount);
}

void Tevidenziatore::replaceSentences(int first, int count, const QStringList& block)
{
    const int total = countSentences();
    if (first < 0 || count < 0 || first + count > total) {
        sentenceCount = total;
        return;
    }
    const int at = first == total ? int(lines.size()) : tagLineIndex(first);
    const int end = first + count == total ? int(lines.size()) : tagLineIndex(first + count);
    // Only levels changed (a level change undone or redone): the structure
    // stays, so the lines change in place, as setImportance does.
    if (block.size() == end - at) {
        bool levelsOnly = true;
        for (qsizetype i = 0; i < block.size() && levelsOnly; ++i) {
            const QString& old = lines.at(at + i);
            levelsOnly = old == block.at(i) || (isTagLine(old) && isTagLine(block.at(i)));
        }
        if (levelsOnly) {
            indexedLines = QStringList();
            int n = first;
            for (qsizetype i = 0; i < block.size(); ++i) {
                if (!isTagLine(block.at(i)))
                    continue;
                if (lines.at(at + i) != block.at(i)) {
                    lines[at + i] = block.at(i);
                    sentenceLevels[n] = parseTag(block.at(i));
                }
                ++n;
            }
            indexedLines = lines;
            sentenceCount = total;
            return;
        }
    }
    int added = 0;
    for (const QString& line : block) {
        if (isTagLine(line))
            ++added;
    }
    dropIndex();
    lines.remove(at, end - at);
    lines.insert(at, block.size(), QString());
    for (qsizetype i = 0; i < block.size(); ++i)
        lines[at + i] = block.at(i);
    reindex();
    // The new sentences wait for their layout; the ones below move.
    QVector<int>& changed = laidOut.changed;
    QVector<int> kept;
    for (const int c : std::as_const(changed)) {
        if (c < first)
            kept.append(c);
        else if (c >= first + count)
            kept.append(c - count + added);
    }
    for (int n = first; n < first + added; ++n)
        kept.append(n);
    std::sort(kept.begin(), kept.end());
    changed = kept;
    // Text lines with no tag line of their own would join the sentence above.
    if (!block.isEmpty() && !isTagLine(block.first()))
        laidOut.valid = false;
    sentenceCount = countSentences();
}

void Tevidenziatore::hideAnswers()
{
    ensureIndex();
    indexedLines = QStringList();
    const QString plain = tagLineFor(nonImportante);
    for (int n = 0; n < sentenceIndex.size(); ++n) {
        QString& line = lines[sentenceIndex.at(n).tagLine];
        hiddenAnswers.append(line);
        line = plain;
        sentenceLevels[n] = nonImportante;
    }
    indexedLines = lines;
}

void Tevidenziatore::restoreAnswers()
{
    ensureIndex();
    indexedLines = QStringList();
    for (int n = 0; n < sentenceIndex.size() && n < hiddenAnswers.size(); ++n) {
        QString line = hiddenAnswers.at(n);
        if (!isTagLine(line)) {
            // A kept line without "~" would end the sentence's tag: the
            // structure changes, so the index is rebuilt.
            lines[sentenceIndex.at(n).tagLine] = line;
            indexValid = false;
            continue;
        }
        sentenceLevels[n] = parseTag(line);
        lines[sentenceIndex.at(n).tagLine] = std::move(line);
    }
    indexedLines = lines;
}

QStringList Tevidenziatore::expectedLines() const
{
    QStringList out = lines;
    int k = 0;
    for (int i = 0; i < out.size() && k < hiddenAnswers.size(); ++i) {
        if (isTagLine(out.at(i)))
            out[i] = hiddenAnswers.at(k++);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Layout

int Tevidenziatore::lineHeight(QPainter& canvas) const
{
    return canvas.fontMetrics().height() + 2 * boxPadY;
}

int Tevidenziatore::layout(int width, QPainter& canvas)
{
    return layoutImpl(width, canvas, false);
}

int Tevidenziatore::layoutStyled(int width, QPainter& canvas)
{
    return layoutImpl(width, canvas, true);
}

int Tevidenziatore::layoutImpl(int width, QPainter& canvas, bool styled)
{
    const int lh = lineHeight(canvas);
    // Notices a change to `lines` made from outside, which forbids building
    // on the last layout.
    ensureIndex();
    const QPaintDevice* device = canvas.device();
    const int dpiX = device ? device->logicalDpiX() : 0;
    const int dpiY = device ? device->logicalDpiY() : 0;
    if (!styled && laidOut.valid && laidOut.width == width && laidOut.margin == leftMargin
        && laidOut.font == canvas.font() && laidOut.dpiX == dpiX && laidOut.dpiY == dpiY) {
        // Every sentence but the changed ones is wrapped for this width and
        // font already, and a sentence's wrapping depends on its words alone.
        if (!laidOut.changed.isEmpty()) {
            WordWidths widths(canvas);
            LineWrapper wrapper(widths, width - 2 * leftMargin);
            dropIndex();
            // From the last one up, so that the lines above keep their places.
            for (auto c = laidOut.changed.crbegin(); c != laidOut.changed.crend(); ++c) {
                const Sentence& s = sentenceIndex.at(*c);
                QStringList wrapped;
                for (int i = 0; i < s.textCount; ++i)
                    wrapper.add(lines.at(s.tagLine + 1 + i), wrapped);
                wrapper.flush(wrapped);
                lines.remove(s.tagLine + 1, s.textCount);
                lines.insert(s.tagLine + 1, wrapped.size(), QString());
                for (qsizetype i = 0; i < wrapped.size(); ++i)
                    lines[s.tagLine + 1 + i] = wrapped.at(i);
            }
            laidOut.changed.clear();
            reindex();
        }
        return lh * int(textIndex.size()) + sentenceGap * int(sentenceIndex.size()) + topMargin;
    }

    const QStringList source = lines;
    QStringList out;
    out.reserve(source.size());
    int sentences = 0;
    WordWidths widths(canvas);
    LineWrapper wrapper(widths, width - 2 * leftMargin);
    for (const QString& line : source) {
        if (isTagLine(line)) {
            ++sentences;
            wrapper.flush(out);
            out.append(line);
            if (styled) {
                const ImportanceLevel level = parseTag(line);
                if (level != daDeterminare) {
                    QFont font = canvas.font();
                    font.setBold(level == moltoImportante);
                    font.setUnderline(level == importante);
                    font.setItalic(false);
                    font.setStrikeOut(false);
                    canvas.setFont(font);
                    widths.reset(canvas);
                }
            }
            continue;
        }
        wrapper.add(line, out);
    }
    wrapper.flush(out);
    const int displayLines = int(out.size()) - sentences;

    if (styled) {
        QFont font = canvas.font();
        font.setBold(false);
        font.setUnderline(false);
        font.setItalic(false);
        font.setStrikeOut(false);
        canvas.setFont(font);
    }
    lines = out;
    reindex();
    laidOut.changed.clear();
    laidOut.valid = !styled;
    laidOut.width = width;
    laidOut.margin = leftMargin;
    laidOut.font = canvas.font();
    laidOut.dpiX = dpiX;
    laidOut.dpiY = dpiY;
    return lh * displayLines + sentenceGap * sentences + topMargin;
}

// ---------------------------------------------------------------------------
// Painting

void Tevidenziatore::checkFont(QPainter& canvas) const
{
    const QPaintDevice* device = canvas.device();
    const int dpiX = device ? device->logicalDpiX() : 0;
    const int dpiY = device ? device->logicalDpiY() : 0;
    if (dpiX != widthDpiX || dpiY != widthDpiY || !(canvas.font() == widthFont)) {
        widthFont = canvas.font();
        widthDpiX = dpiX;
        widthDpiY = dpiY;
        widthCache.fill(-1);
    }
}

int Tevidenziatore::lineWidth(QPainter& canvas, int textLine) const
{
    int& w = widthCache[textLine];
    if (w < 0)
        w = canvas.fontMetrics().horizontalAdvance(lines.at(textIndex.at(textLine).line));
    return w;
}

ImportanceLevel Tevidenziatore::levelOfText(int textLine) const
{
    const int j = textIndex.at(textLine).sentence;
    return j < 0 ? nonImportante : sentenceLevels.at(j);
}

int Tevidenziatore::textTop(int textLine, int lh) const
{
    return topMargin + lh * textLine + sentenceGap * textIndex.at(textLine).sentence;
}

void Tevidenziatore::drawLine(int x, int y, bool marked, ImportanceLevel level, QPainter& canvas,
                              const QString& text) const
{
    if (text.isEmpty())
        return;
    const QFontMetrics metrics = canvas.fontMetrics();
    const int lh = metrics.height() + 2 * boxPadY;
    const int w = metrics.horizontalAdvance(text);
    const ImportanceColour& colours = importanceColour(level);
    canvas.setPen(colours.fill);
    canvas.setBrush(colours.fill);
    if (marked) {
        drawFrame(canvas, x - boxPadX, y - boxPadY, colours.fill, lh, w + 2 * boxPadX);
    } else {
        roundBox(canvas, x - boxPadX, y - boxPadY, x + w + boxPadX, y - boxPadY + lh,
                 (lh / 2) / 2.0);
    }
    canvas.setPen(colours.text);
    canvas.drawText(x, y + metrics.ascent(), text);
    canvas.setBrush(colours.fill);
}

void Tevidenziatore::drawFrame(QPainter& canvas, int left, int top, const QColor& fill,
                               int height, int width) const
{
    const qreal radius = (height / 2) / 2.0;
    canvas.setPen(QColor(0, 0, 0));
    canvas.setBrush(FrameColour);
    roundBox(canvas, left, top, left + width, top + height, radius);
    canvas.setBrush(fill);
    roundBox(canvas, left + frameWidth, top + frameWidth, left + width - frameWidth,
             top + height - frameWidth, radius);
}

void Tevidenziatore::drawConnector(QPainter& canvas, int seam, int widthHere, int widthBefore,
                                   ImportanceLevel level, int lh) const
{
    const int f = frameWidth;
    const int xL = leftMargin - boxPadX + lh / 2;
    const int xR = xL + std::min(widthHere, widthBefore) + 2 * boxPadX - lh;
    const QColor& fill = importanceColour(level).fill;
    // Hide the frame lines along the seam over the width both boxes share.
    if (xR > xL)
        canvas.fillRect(QRect(xL, seam - f - 1, xR - xL, 2 * f + 2), fill);
    const QRectF left(xL - f - 4, seam - f - 1, 2 * f + 7, 2 * f + 1);
    const QRectF right(xR - f - 4, seam - f - 1, 2 * f + 7, 2 * f + 1);
    canvas.setPen(FrameColour);
    canvas.setBrush(FrameColour);
    canvas.drawPie(left, -90 * 16, 180 * 16);     // right half, bottom to top
    canvas.drawPie(right, 90 * 16, 180 * 16);     // left half, top to bottom
    canvas.setPen(QColor(0, 0, 0));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawArc(left, -90 * 16, 180 * 16);
    canvas.drawArc(right, 90 * 16, 180 * 16);
    canvas.setBrush(fill);
}

void Tevidenziatore::paintAll(QPainter& canvas, int scroll, bool markCurrent, int bottom)
{
    ensureIndex();
    checkFont(canvas);
    const int count = int(textIndex.size());
    if (count == 0)
        return;
    const QFontMetrics metrics = canvas.fontMetrics();
    const int lh = metrics.height() + 2 * boxPadY;
    const int ascent = metrics.ascent();
    const qreal radius = (lh / 2) / 2.0;

    // The first line whose box reaches into the view (the tops only grow
    // along the text), and one before it for good measure.
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (textTop(mid, lh) - scroll - boxPadY + lh > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    const int start = std::max(0, lo - 1);

    for (int k = start; k < count; ++k) {
        const int y = textTop(k, lh) - scroll;
        // Connectors reach frameWidth + 1 above a box.
        if (y - boxPadY - frameWidth - 1 > bottom)
            break;
        const TextLine& entry = textIndex.at(k);
        const ImportanceLevel level = levelOfText(k);
        const bool current = markCurrent && entry.sentence >= 0 && entry.sentence == currentSentence;
        const QString& text = lines.at(entry.line);
        const int x = leftMargin;
        if (!text.isEmpty()) {
            const int w = lineWidth(canvas, k);
            const ImportanceColour& colours = importanceColour(level);
            canvas.setPen(colours.fill);
            canvas.setBrush(colours.fill);
            if (current) {
                drawFrame(canvas, x - boxPadX, y - boxPadY, colours.fill, lh, w + 2 * boxPadX);
            } else {
                roundBox(canvas, x - boxPadX, y - boxPadY, x + w + boxPadX, y - boxPadY + lh,
                         radius);
            }
            canvas.setPen(colours.text);
            canvas.drawText(x, y + ascent, text);
        }
        const bool followsInSentence =
            k > 0 && entry.sentence >= 0 && textIndex.at(k - 1).sentence == entry.sentence;
        if (current && followsInSentence) {
            drawConnector(canvas, y - boxPadY, lineWidth(canvas, k), lineWidth(canvas, k - 1),
                          level, lh);
        }
    }
}

void Tevidenziatore::paintSentence(QPainter& canvas, int top, int n, bool markCurrent)
{
    const int t = tagLineIndex(n);
    if (t < 0 || t == lines.size() - 1)
        return;
    spokenText.clear();
    const ImportanceLevel level = sentenceLevels.at(n);
    const int lh = lineHeight(canvas);
    const bool marked = markCurrent && n == currentSentence;
    const int textCount = sentenceIndex.at(n).textCount;
    for (int c = 0; c < textCount; ++c) {
        const QString& text = lines.at(t + 1 + c);
        drawLine(leftMargin, top + topMargin + c * lh, marked, level, canvas, text);
        if (c > 0)
            spokenText += space;
        spokenText += text;
    }
}

// ---------------------------------------------------------------------------
// Hit test and extents

HitResult Tevidenziatore::hitTest(int x, int y, QPainter& canvas)
{
    HitResult result;
    if (y < topMargin - boxPadY)
        return result;
    ensureIndex();
    checkFont(canvas);
    const int lh = lineHeight(canvas);
    const int target = y - topMargin;
    // The first text line k (of sentence j) whose band ends below the point:
    // (k + 1) * lh + boxPadY + (j - 1) * sentenceGap > target. The band ends
    // grow along the text.
    auto bandEnd = [&](int k) {
        return qint64(k + 1) * lh + boxPadY + qint64(textIndex.at(k).sentence - 1) * sentenceGap;
    };
    int lo = 0;
    int hi = int(textIndex.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (bandEnd(mid) > target)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (lo >= textIndex.size())
        return result;
    const int j = textIndex.at(lo).sentence;
    if (j < 0)
        return result;
    result.level = sentenceLevels.at(j);
    const int w = lineWidth(canvas, lo);
    if (x < leftMargin - boxPadX || x > leftMargin + boxPadX + w)
        return result;
    result.sentence = j;
    return result;
}

std::pair<int, int> Tevidenziatore::sentenceExtent(QPainter& canvas, int n)
{
    ensureIndex();
    if (n < 0 || n >= sentenceIndex.size())
        return {0, 0};
    const int lh = lineHeight(canvas);
    const Sentence& s = sentenceIndex.at(n);
    const int top = lh * s.firstText + topMargin + sentenceGap * n - boxPadY;
    const int bottom = lh * (s.firstText + s.textCount) + topMargin + sentenceGap * n;
    return {top, bottom};
}

QString Tevidenziatore::sentenceText(int n) const
{
    QStringList parts;
    sentenceLines(n, parts);
    return parts.join(space);
}

QRect Tevidenziatore::textRangeRect(QPainter& canvas, int n, int start, int length, bool alone)
{
    ensureIndex();
    if (n < 0 || n >= sentenceIndex.size() || start < 0 || length <= 0)
        return QRect();
    checkFont(canvas);
    const Sentence& s = sentenceIndex.at(n);
    const int lh = lineHeight(canvas);
    const QFontMetrics metrics = canvas.fontMetrics();
    int from = 0;
    for (int c = 0; c < s.textCount; ++c) {
        const QString& text = lines.at(s.tagLine + 1 + c);
        if (start >= from && start + length <= from + text.size()) {
            const int x = leftMargin + metrics.horizontalAdvance(text.left(start - from));
            const int w = metrics.horizontalAdvance(text.mid(start - from, length));
            const int y = alone ? topMargin + c * lh : textTop(s.firstText + c, lh);
            return QRect(x, y, w, metrics.height());
        }
        from += int(text.size()) + 1;
    }
    return QRect();
}

int Tevidenziatore::sentenceHeight(int n, QPainter& canvas)
{
    ensureIndex();
    const int textCount = (n < 0 || n >= sentenceIndex.size()) ? 0 : sentenceIndex.at(n).textCount;
    return textCount * lineHeight(canvas) + topMargin;
}

// ---------------------------------------------------------------------------
// Exercise and results files

namespace {

const QString crlf = QStringLiteral("\r\n");

// The physical lines an item becomes in a file: CR LF, a lone CR and a lone
// LF each end a line, as the readers see them.
QStringList physicalLines(const QString& item)
{
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < item.size(); ++i) {
        const QChar c = item.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        out.append(item.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < item.size() && item.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    out.append(item.mid(start));
    return out;
}

bool hasLineBreak(const QString& s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

// An item that may span lines (the task, a note) with every line end made
// CR LF: text from Qt's editors ends its lines with a bare LF.
QString withCrLf(const QString& item)
{
    return hasLineBreak(item) ? physicalLines(item).join(crlf) : item;
}

QStringList withCrLf(const QStringList& items)
{
    QStringList out;
    out.reserve(items.size());
    for (const QString& item : items)
        out << withCrLf(item);
    return out;
}

QString describeChar(const QString& c)
{
    if (c.size() == 1 && (!c.at(0).isPrint() || c.at(0).isSpace()))
        return QStringLiteral("il carattere di codice U+")
               + QStringLiteral("%1").arg(c.at(0).unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("il carattere «") + c + QStringLiteral("»");
}

// The first character (a whole surrogate pair when there is one) of `s` that
// windows-1252 cannot hold, or an empty string.
QString firstUnwritable(const QString& s)
{
    if (fitsCp1252(s))
        return QString();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const qsizetype n = (s.at(i).isHighSurrogate() && i + 1 < s.size()
                             && s.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QString c = s.mid(i, n);
        if (!fitsCp1252(c))
            return c;
        i += n - 1;
    }
    return QString();
}

QString quoted(const QString& line)
{
    const int limit = 60;
    return QStringLiteral("«") + (line.size() > limit ? line.left(limit) + QStringLiteral("…") : line)
           + QStringLiteral("»");
}

// The section word of a line as the exercise reader sees it: after the first
// "[" (from the start when there is none) up to the first "]".
QString exerciseSectionWord(const QString& line)
{
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0)
        return QString();
    const qsizetype open = line.indexOf(QLatin1Char('['));
    const qsizetype start = open >= 0 ? open + 1 : 0;
    if (close < start)
        return QString();
    return trimSpaces(line.mid(start, close - start));
}

// Why a line of a run block would not read back as written, or empty.
QString runLineProblem(const QString& line)
{
    const QString bad = firstUnwritable(line);
    if (!bad.isEmpty())
        return describeChar(bad) + QStringLiteral(", che non si può scrivere nel file");
    if (isRunHeader(line)) {
        return QStringLiteral("la riga ") + quoted(line)
               + QStringLiteral(", che verrebbe letta come l'inizio di un altro risultato");
    }
    if (runSectionOf(line) != RunSection::None) {
        return QStringLiteral("la riga ") + quoted(line)
               + QStringLiteral(", che verrebbe letta come l'inizio di una sezione");
    }
    return QString();
}

// Checks every physical line of the items; on a problem shows the message
// and returns false.
bool checkRunItems(const QStringList& items, const QString& where)
{
    for (const QString& item : items) {
        for (const QString& line : physicalLines(item)) {
            const QString problem = runLineProblem(line);
            if (!problem.isEmpty()) {
                showMessage(QStringLiteral("Il risultato non è stato salvato: ") + where
                            + QStringLiteral(" contiene ") + problem
                            + QStringLiteral(". Correggi e ripeti il salvataggio."));
                return false;
            }
        }
    }
    return true;
}

// A one-line field (a name, a history field): no line break, none of `forbidden`.
bool checkRunField(const QString& field, const QString& where, const QString& forbidden)
{
    QString problem;
    if (hasLineBreak(field)) {
        problem = QStringLiteral("un ritorno a capo");
    } else {
        for (const QChar c : forbidden) {
            if (field.contains(c)) {
                problem = describeChar(QString(c)) + QStringLiteral(", che non è ammesso");
                break;
            }
        }
    }
    if (!problem.isEmpty()) {
        showMessage(QStringLiteral("Il risultato non è stato salvato: ") + where
                    + QStringLiteral(" contiene ") + problem
                    + QStringLiteral(". Correggi e ripeti il salvataggio."));
        return false;
    }
    return checkRunItems({field}, where);
}

QString displayName(DisplayMode mode)
{
    return mode == sentenceBySentence ? QStringLiteral("una frase per volta")
                                      : QStringLiteral("tutto assieme");
}

QString feedbackName(FeedbackMode mode)
{
    switch (mode) {
    case midAndEnd:
        return QString::fromUtf8("a metà e alla fine");
    case everySentence:
        return QStringLiteral("dopo ogni frase");
    case noFeedback:
        break;
    }
    return QStringLiteral("nessun feedback");
}

} // namespace

bool Tevidenziatore::saveExercise(const QString& folder, const QString& fileName)
{
    auto refuse = [](const QString& where, const QString& problem) {
        showMessage(QString::fromUtf8("L'esercizio non è stato salvato: ") + where
                    + QStringLiteral(" contiene ") + problem
                    + QStringLiteral(". Correggi e ripeti il salvataggio."));
        return false;
    };
    auto sectionProblem = [](const QString& line) {
        const QString word = exerciseSectionWord(line);
        if (word == QLatin1String("compito") || word == QLatin1String("testo"))
            return QStringLiteral("la riga ") + quoted(line)
                   + QStringLiteral(", che verrebbe letta come l'inizio di una sezione");
        return QString();
    };

    // The task is written line by line; each line must read back as a task line.
    for (const QString& line : physicalLines(compito)) {
        const QString bad = firstUnwritable(line);
        if (!bad.isEmpty())
            return refuse(QStringLiteral("il compito"),
                          describeChar(bad) + QStringLiteral(", che non si può scrivere nel file"));
        const QString problem = sectionProblem(line);
        if (!problem.isEmpty())
            return refuse(QStringLiteral("il compito"), problem);
    }
    for (const QString& line : std::as_const(lines)) {
        const QString bad = firstUnwritable(line);
        if (!bad.isEmpty())
            return refuse(QStringLiteral("il testo"),
                          describeChar(bad) + QStringLiteral(", che non si può scrivere nel file"));
        if (hasLineBreak(line))
            return refuse(QStringLiteral("il testo"), QStringLiteral("un ritorno a capo dentro una riga"));
        const QString problem = sectionProblem(line);
        if (!problem.isEmpty())
            return refuse(QStringLiteral("il testo"), problem);
    }

    QStringList out;
    out.reserve(lines.size() + 3);
    out << QStringLiteral("[compito]") << withCrLf(compito) << QStringLiteral("[testo]");
    out.append(lines);
    const QString path = (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
                             ? folder + fileName
                             : folder + QLatin1Char('/') + fileName;
    if (!saveText(out, path)) {
        showMessage(QStringLiteral("Errore nella scrittura del file ") + fileName
                    + QString::fromUtf8(": l'esercizio non è stato salvato."));
        return false;
    }
    return true;
}

bool Tevidenziatore::writeRun(const QString& folder, const QString& name, const QString& extension,
                              const TesercizioSvolto& run, bool* fileFailed)
{
    if (fileFailed)
        *fileFailed = false;
    const auto failedFile = [fileFailed] {
        if (fileFailed)
            *fileFailed = true;
        return false;
    };
    const QString pupil = trimSpaces(run.pupilName);
    const QString runName = trimSpaces(run.runName);
    const RunIdentifier id(pupil, runName);

    // Everything is checked before the file is touched: a block that would
    // not read back as written is not written at all.
    if (!checkRunField(pupil, QStringLiteral("il nome dell'alunno"), RunIdentifier::forbiddenInPupil())
        || !checkRunField(runName, QStringLiteral("il nome della prova"),
                          RunIdentifier::forbiddenInRunName())
        || !checkRunField(run.exerciseName, QStringLiteral("il nome dell'esercizio"), QString())
        || !checkRunField(run.profileLine, QStringLiteral("il profilo dell'alunno"),
                          QStringLiteral("[]"))
        || !checkRunItems(run.pupilInfo, QStringLiteral("il testo delle altre informazioni"))
        || !checkRunItems({compito}, QStringLiteral("il compito")))
        return false;
    const QStringList text = expectedLines();
    for (const QString& line : text) {
        if (hasLineBreak(line)) {
            showMessage(QString::fromUtf8("Il risultato non è stato salvato: il testo contiene un "
                                          "ritorno a capo dentro una riga."));
            return false;
        }
    }
    if (!checkRunItems(text, QStringLiteral("il testo")))
        return false;
    const qsizetype steps = std::max({run.historyFirst.size(), run.historySecond.size(),
                                      run.historyThird.size()});
    QStringList history;
    history.reserve(steps);
    const QString where = QStringLiteral("la storia delle risposte");
    for (qsizetype i = 0; i < steps; ++i) {
        const QString first = run.historyFirst.value(i);
        const QString second = run.historySecond.value(i);
        const QString third = run.historyThird.value(i);
        const QString time = first == QLatin1String("-1") ? QString() : run.historyTime.value(i);
        for (const QString* field : {&first, &second, &third, &time}) {
            if (!checkRunField(*field, where, QStringLiteral("|")))
                return false;
        }
        history << historyLine(first, second, third, time);
    }
    if (!checkRunItems(history, where))
        return false;

    QStringList block;
    block.reserve(text.size() + history.size() + 16);
    block << runHeaderLine(id) << runSectionLine(RunSection::Informazioni)
          << QStringLiteral("NOME=") + pupil
          << QStringLiteral("ALTRE INFORMAZIONI:");
    block.append(withCrLf(run.pupilInfo));
    block << QStringLiteral("NOME ESERCIZIO=") + run.exerciseName << QStringLiteral("COMPITO:")
          << withCrLf(compito)
          << QStringLiteral("DATA=")
                 + msClock().dateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))
          << QStringLiteral("TIPO DI VISUALIZZAZIONE=") + displayName(run.displayMode)
          << QStringLiteral("TIPO DI FEEDBACK=") + feedbackName(run.feedbackMode);
    if (!trimSpaces(run.profileLine).isEmpty())
        block << QStringLiteral("PROFILO=") + trimSpaces(run.profileLine);
    block << runSectionLine(RunSection::Testo);
    block.append(text);
    block << runSectionLine(RunSection::Storia);
    block.append(history);

    // The archive's lock is held from the look for the identifier to the
    // write, but not while the user answers: another copy of the program may
    // save meanwhile, so the look is repeated once the answer is given.
    const QString path = sectionFilePath(folder, name, extension);
    bool replaceAllowed = false;
    for (;;) {
        {
            const FileLock lock(path);
            if (!lock.ok()) {
                showMessage(QString::fromUtf8("Il risultato non è stato salvato: il file ") + name
                            + QString::fromUtf8(" è in uso altrove."));
                return failedFile();
            }
            QStringList values;
            listValues(values, resultsKey, folder, name, extension);
            if (!values.contains(id.text()))
                return appendLines(block, folder, name, extension) || failedFile();
            if (replaceAllowed) {
                // One rewrite: the old run stays until the new one takes its place.
                if (replaceBlock(resultsKey, id.text(), block, folder, name, extension))
                    return true;
                showMessage(QString::fromUtf8("Il risultato non è stato salvato: la prova "
                                              "precedente con lo stesso nome è rimasta nel file."));
                return failedFile();
            }
            if (isReadOnlyFile(path)) {
                showMessage(QString::fromUtf8("Il risultato non è stato salvato: il file ") + name
                            + QString::fromUtf8(" è di sola lettura."));
                return failedFile();
            }
        }
        const DialogButton answer = askQuestion(
            QStringLiteral("Attenzione!"),
            QStringLiteral("l'esercizio ") + runName + QStringLiteral(" svolto da ") + pupil
                + QString::fromUtf8(" esiste già: sostituirlo ?"),
            YesButton | NoAnswerButton, DialogIcon::Warning);
        if (answer != YesButton)
            return false;
        replaceAllowed = true;
    }
}

std::unique_ptr<Tevidenziatore> openExercise(const QString& path)
{
    QStringList text;
    QString task;
    if (!readExercise(path, text, task)) {
        showMessage(QStringLiteral("Errore di lettura del file ") + QFileInfo(path).fileName());
        return nullptr;
    }
    Tparametri params;
    params.mode = fromExercise;
    params.source = text;
    params.compito = task;
    return std::make_unique<Tevidenziatore>(params);
}
