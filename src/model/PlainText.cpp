#include "model/PlainText.h"

#include "model/Funzioni.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBoundaryFinder>

#include <uchardet/uchardet.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");
const QByteArray utf16LeBom("\xFF\xFE");
const QByteArray utf16BeBom("\xFE\xFF");

// Decodes `bytes` with `decoder`; false when they are not valid in its encoding.
bool decodeStrictly(QStringDecoder& decoder, const QByteArray& bytes, QString& out)
{
    out = decoder.decode(bytes);
    return !decoder.hasError();
}

QStringDecoder decoderFor(const QByteArray& encoding)
{
    const auto flags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    if (encoding == "UTF-8")
        return QStringDecoder(QStringConverter::Utf8, flags);
    if (encoding == "UTF-16LE")
        return QStringDecoder(QStringConverter::Utf16LE, flags);
    if (encoding == "UTF-16BE")
        return QStringDecoder(QStringConverter::Utf16BE, flags);
    return QStringDecoder(encoding.constData(), flags);
}

QStringEncoder encoderFor(const QByteArray& encoding)
{
    if (encoding == "UTF-8")
        return QStringEncoder(QStringConverter::Utf8);
    if (encoding == "UTF-16LE")
        return QStringEncoder(QStringConverter::Utf16LE);
    if (encoding == "UTF-16BE")
        return QStringEncoder(QStringConverter::Utf16BE);
    return QStringEncoder(encoding.constData(), QStringConverter::Flag::Stateless);
}

QString decodeAs(const QByteArray& encoding, const QByteArray& bytes)
{
    if (encoding == "windows-1252")
        return decodeCp1252(bytes);
    QStringDecoder decoder = decoderFor(encoding);
    return decoder.decode(bytes);
}

QByteArray encodeAs(const QByteArray& encoding, const QString& text)
{
    if (encoding == "windows-1252")
        return encodeCp1252(text);
    QStringEncoder encoder = encoderFor(encoding);
    return encoder.encode(text);
}

// UTF-16 without a byte-order mark: most characters of a Latin text have a
// zero high byte, so one of the two byte positions is mostly zero and the
// other hardly ever. Empty when `bytes` do not look so.
QByteArray utf16WithoutMark(const QByteArray& bytes)
{
    if (bytes.size() < 4 || bytes.size() % 2 != 0)
        return {};
    const qsizetype n = qMin<qsizetype>(bytes.size(), 8192);
    qsizetype zeroEven = 0;
    qsizetype zeroOdd = 0;
    for (qsizetype i = 0; i + 1 < n; i += 2) {
        zeroEven += bytes[i] == 0;
        zeroOdd += bytes[i + 1] == 0;
    }
    const qsizetype pairs = n / 2;
    if (zeroOdd * 10 >= pairs * 3 && zeroEven * 20 < pairs)
        return "UTF-16LE";
    if (zeroEven * 10 >= pairs * 3 && zeroOdd * 20 < pairs)
        return "UTF-16BE";
    return {};
}

// Bytes that windows-1252 leaves undefined: a text holding one was written
// in some other encoding.
bool hasCp1252Gap(const QByteArray& bytes)
{
    for (const char c : bytes) {
        const uchar b = uchar(c);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            return true;
    }
    return false;
}

// An 8-bit text: windows-1252, unless libuchardet names an encoding of
// another alphabet and has enough to go on. On a few accented words
// libuchardet often names a Baltic, Vietnamese or Central European encoding
// for an Italian windows-1252 text, so its answer is taken only when the text
// has at least 40 bytes outside ASCII, or bytes windows-1252 does not define,
// and only for the encodings listed; and only when the bytes decode and
// encode back unchanged, so the text can be saved as it was.
QByteArray eightBitEncoding(const QByteArray& bytes)
{
    static const QList<QByteArray> trusted = {
        "WINDOWS-1250", "ISO-8859-2",                                // Central European
        "WINDOWS-1251", "ISO-8859-5", "KOI8-R", "KOI8-U", "IBM866",  // Cyrillic
        "WINDOWS-1253", "ISO-8859-7",                                // Greek
    };
    qsizetype outsideAscii = 0;
    for (const char c : bytes)
        outsideAscii += uchar(c) >= 0x80;
    const bool gap = hasCp1252Gap(bytes);
    if (outsideAscii == 0 || (outsideAscii < 40 && !gap))
        return "windows-1252";
    std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    // A quarter of a megabyte is more than enough to tell an alphabet.
    const size_t sample = size_t(qMin<qsizetype>(bytes.size(), 256 * 1024));
    if (!detector || uchardet_handle_data(detector.get(), bytes.constData(), sample) != 0)
        return "windows-1252";
    uchardet_data_end(detector.get());
    const QByteArray named = QByteArray(uchardet_get_charset(detector.get())).toUpper();
    if (!trusted.contains(named))
        return "windows-1252";
    QStringDecoder decoder = decoderFor(named);
    if (!decoder.isValid())
        return "windows-1252";
    QString text;
    if (!decodeStrictly(decoder, bytes, text) || encodeAs(named, text) != bytes)
        return "windows-1252";
    return named.toLower();
}

} // namespace

QString TextFormat::encodingName() const
{
    if (encoding.startsWith("UTF-16"))
        return QStringLiteral("UTF-16");
    return QString::fromLatin1(encoding);
}

bool looksBinary(const QByteArray& bytes)
{
    if (!bytes.contains('\0'))
        return false;
    if (bytes.startsWith(utf16LeBom) || bytes.startsWith(utf16BeBom))
        return false;
    return utf16WithoutMark(bytes).isEmpty();
}

PlainText PlainText::fromBytes(const QByteArray& bytes)
{
    PlainText t;
    t.fromFile = true;
    t.readBytes = bytes;
    TextFormat& f = t.format;
    f.byteOrderMark = false;
    QString decoded;
    if (bytes.startsWith(utf8Bom)) {
        f.encoding = "UTF-8";
        f.byteOrderMark = true;
        decoded = decodeAs(f.encoding, bytes.mid(utf8Bom.size()));
    } else if (bytes.startsWith(utf16LeBom) || bytes.startsWith(utf16BeBom)) {
        f.encoding = bytes.startsWith(utf16LeBom) ? "UTF-16LE" : "UTF-16BE";
        f.byteOrderMark = true;
        decoded = decodeAs(f.encoding, bytes.mid(2));
    } else {
        QStringDecoder utf8 = decoderFor("UTF-8");
        const QByteArray utf16 = bytes.contains('\0') ? utf16WithoutMark(bytes) : QByteArray();
        if (!utf16.isEmpty()) {
            f.encoding = utf16;
            decoded = decodeAs(f.encoding, bytes);
        } else if (decodeStrictly(utf8, bytes, decoded)) {
            f.encoding = "UTF-8";   // pure ASCII too: it is both, and UTF-8 is the norm
        } else {
            f.encoding = eightBitEncoding(bytes);
            decoded = decodeAs(f.encoding, bytes);
        }
    }

    // The line end: the first one met; a text without any takes the usual
    // one of its encoding.
    qsizetype end = 0;
    while (end < decoded.size() && decoded.at(end) != u'\r' && decoded.at(end) != u'\n')
        ++end;
    if (end < decoded.size()) {
        const bool crLf = decoded.at(end) == u'\r' && end + 1 < decoded.size() && decoded.at(end + 1) == u'\n';
        f.lineEnd = crLf ? "\r\n" : decoded.at(end) == u'\r' ? "\r" : "\n";
    } else {
        f.lineEnd = f.isUnicode() ? "\n" : "\r\n";
    }
    f.finalLineEnd = decoded.endsWith(u'\n') || decoded.endsWith(u'\r');

    decoded.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    decoded.replace(u'\r', u'\n');
    if (f.finalLineEnd)
        decoded.chop(1);
    t.text = decoded;
    t.readText = decoded;
    return t;
}

QByteArray PlainText::toBytes(const QString& newText) const
{
    if (fromFile && newText == readText)
        return readBytes;
    QString s = newText;
    if (format.finalLineEnd && !s.isEmpty())
        s += u'\n';
    if (format.lineEnd != "\n")
        s.replace(u'\n', QString::fromLatin1(format.lineEnd));
    QByteArray out;
    if (format.byteOrderMark)
        out = format.encoding == "UTF-8" ? utf8Bom : format.encoding == "UTF-16LE" ? utf16LeBom : utf16BeBom;
    out += encodeAs(format.encoding, s);
    return out;
}

void PlainText::markSaved(const QString& savedText, const QByteArray& bytes)
{
    fromFile = true;
    readText = savedText;
    readBytes = bytes;
    text = savedText;
}

bool PlainText::canHold(const QString& s) const
{
    if (format.isUnicode())
        return true;
    if (format.encoding == "windows-1252")
        return fitsCp1252(s);
    return decodeAs(format.encoding, encodeAs(format.encoding, s)) == s;
}

// ---------------------------------------------------------------------------
// Nearest equivalents

namespace {

// Signs with a plain form of their own. Nothing here may give "~", "[" or
// "]", which an exercise reserves.
const QHash<char32_t, QString>& typographicEquivalents()
{
    static const QHash<char32_t, QString> table = {
        {U'\u2190', QStringLiteral("<-")},  {U'\u2192', QStringLiteral("->")},
        {U'\u2194', QStringLiteral("<->")}, {U'\u21D0', QStringLiteral("<=")},
        {U'\u21D2', QStringLiteral("=>")},  {U'\u21D4', QStringLiteral("<=>")},
        {U'\u27F5', QStringLiteral("<-")},  {U'\u27F6', QStringLiteral("->")},
        {U'\u2264', QStringLiteral("<=")},  {U'\u2265', QStringLiteral(">=")},
        {U'\u2260', QStringLiteral("!=")},  {U'\u2248', QStringLiteral("=")},
        {U'\u2212', QStringLiteral("-")},   {U'\u2010', QStringLiteral("-")},
        {U'\u2011', QStringLiteral("-")},   {U'\u2043', QStringLiteral("-")},
        {U'\u2012', QStringLiteral("\u2013")}, {U'\u2015', QStringLiteral("\u2014")},
        {U'\u2032', QStringLiteral("'")},   {U'\u2033', QStringLiteral("\"")},
        {U'\u201B', QStringLiteral("'")},   {U'\u201F', QStringLiteral("\"")},
        {U'\u2044', QStringLiteral("/")},   {U'\u2215', QStringLiteral("/")},
        {U'\u2219', QStringLiteral("\u00B7")}, {U'\u22C5', QStringLiteral("\u00B7")},
        {U'\u25E6', QStringLiteral("\u2022")}, {U'\u25AA', QStringLiteral("\u2022")},
        {U'\u25CF', QStringLiteral("\u2022")}, {U'\u2023', QStringLiteral("\u2022")},
        {U'\u2043', QStringLiteral("-")},   {U'\u2025', QStringLiteral("..")},
        {U'\u202F', QStringLiteral("\u00A0")}, {U'\u2007', QStringLiteral("\u00A0")},
        {U'\u0142', QStringLiteral("l")},   {U'\u0141', QStringLiteral("L")},
        {U'\u0111', QStringLiteral("d")},   {U'\u0110', QStringLiteral("D")},
        {U'\u0131', QStringLiteral("i")},   {U'\u0127', QStringLiteral("h")},
        {U'\u0126', QStringLiteral("H")},   {U'\u0167', QStringLiteral("t")},
        {U'\u0166', QStringLiteral("T")},
    };
    return table;
}

// The plain form of one character, or a null string when it has none.
QString equivalentOf(char32_t c, const std::function<bool(const QString&)>& fits)
{
    const auto& table = typographicEquivalents();
    const auto it = table.constFind(c);
    if (it != table.constEnd() && fits(*it))
        return *it;
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Separator_Space || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph)
        return QStringLiteral(" ");
    if (category == QChar::Other_Format)
        return QString(QLatin1String(""));   // invisible: zero-width space, direction marks
    // The compatibility decomposition without its marks: "ő" -> "o",
    // "ﬁ" -> "fi", "⅓" -> "1⁄3" (whose fraction slash is then looked up).
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    QString plain;
    for (qsizetype i = 0; i < decomposed.size();) {
        const char32_t d = decomposed.at(i).isHighSurrogate() && i + 1 < decomposed.size()
            ? QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1))
            : decomposed.at(i).unicode();
        i += d > 0xFFFF ? 2 : 1;
        if (QChar::isMark(d))
            continue;
        const QString one = QString::fromUcs4(&d, 1);
        if (fits(one)) {
            plain += one;
            continue;
        }
        const auto again = table.constFind(d);
        if (again == table.constEnd() || !fits(*again))
            return {};
        plain += *again;
    }
    if (plain.isEmpty() || plain.contains(u'~') || plain.contains(u'[') || plain.contains(u']'))
        return {};
    return plain;
}

QString replaceUnfit(const QString& text, const std::function<bool(const QString&)>& fits,
                     QList<Replacement>* replaced)
{
    if (fits(text))
        return text;
    QString out;
    out.reserve(text.size());
    // One grapheme at a time: an emoji with its modifiers, or a letter with
    // its combining marks, is one character to the reader.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype to = graphemes.toNextBoundary();
        if (to <= from)
            to = text.size();
        const QString g = text.mid(from, to - from);
        from = to;
        if (fits(g)) {
            out += g;
            continue;
        }
        // A letter written with a separate mark may exist whole.
        const QString composed = g.normalized(QString::NormalizationForm_C);
        if (fits(composed)) {
            out += composed;
            continue;
        }
        const char32_t first = composed.at(0).isHighSurrogate() && composed.size() > 1
            ? QChar::surrogateToUcs4(composed.at(0), composed.at(1))
            : composed.at(0).unicode();
        const qsizetype firstLength = first > 0xFFFF ? 2 : 1;
        QString instead;
        // Only a letter with marks is read as its letter; a symbol with a
        // modifier (an emoji with a skin tone) is one unknown sign.
        bool onlyMarks = true;
        for (qsizetype i = firstLength; i < composed.size(); ++i)
            onlyMarks = onlyMarks && (composed.at(i).isMark() || composed.at(i).isLowSurrogate());
        if (onlyMarks || composed.size() == firstLength)
            instead = equivalentOf(first, fits);
        if (instead.isNull())
            instead = QStringLiteral(" ");
        out += instead;
        if (replaced) {
            const bool known = std::any_of(replaced->cbegin(), replaced->cend(),
                                           [&](const Replacement& r) { return r.original == g; });
            if (!known)
                replaced->append({g, instead});
        }
    }
    return out;
}

} // namespace

QString replaceOutsideCp1252(const QString& text, QList<Replacement>* replaced)
{
    return replaceUnfit(text, [](const QString& s) { return fitsCp1252(s); }, replaced);
}

QStringList replaceOutsideCp1252(const QStringList& lines, QList<Replacement>* replaced)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        out.append(replaceOutsideCp1252(line, replaced));
    return out;
}

QString PlainText::replaceUnstorable(const QString& s, QList<Replacement>* replaced) const
{
    if (format.encoding == "windows-1252")
        return replaceOutsideCp1252(s, replaced);
    return replaceUnfit(s, [this](const QString& part) { return canHold(part); }, replaced);
}

QString replacementMessage(const QList<Replacement>& replaced, const QString& where)
{
    constexpr int shown = 15;
    QString text = QStringLiteral("Alcuni caratteri non si possono salvare ") + where
                   + QStringLiteral(" e sono stati sostituiti:");
    for (int i = 0; i < replaced.size() && i < shown; ++i) {
        const Replacement& r = replaced.at(i);
        QString what = r.original;
        const char32_t first = r.original.toUcs4().value(0);
        const QString code = QStringLiteral(" (U+")
                             + QString::number(uint(first), 16).toUpper().rightJustified(4, QLatin1Char('0'))
                             + QLatin1Char(')');
        if (QChar::isSpace(first)) {
            what = QStringLiteral("uno spazio speciale") + code;
        } else if (QChar::category(first) == QChar::Other_Format) {
            what = QStringLiteral("un segno invisibile") + code;
        } else {
            what = QString::fromUtf8("«") + what + QString::fromUtf8("»");
        }
        QString with;
        if (r.replacement.isEmpty())
            with = QStringLiteral("tolto");
        else if (r.replacement == QLatin1String(" "))
            with = QStringLiteral("con uno spazio");
        else if (r.replacement == QString(QChar(0xA0)))
            with = QStringLiteral("con uno spazio unificatore");
        else
            with = QString::fromUtf8("con «") + r.replacement + QString::fromUtf8("»");
        text += QLatin1Char('\n') + what + QLatin1Char(' ') + with;
    }
    if (replaced.size() > shown)
        text += QStringLiteral("\ne altri %1 caratteri.").arg(replaced.size() - shown);
    return text;
}
