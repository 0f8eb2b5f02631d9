#include "model/TextSources.h"

#include "model/DocumentModule.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QRectF>
#include <QStringDecoder>
#include <QTextDocument>
#include <QXmlStreamReader>


#include <algorithm>
#include <memory>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Messages

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString unreadable(const QString& path)
{
    return QStringLiteral("Errore di lettura del file ") + nameOf(path);
}

QString damaged(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" è danneggiato o incompleto: non si può leggere.");
}

QString protectedByPassword(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" è protetto da una password: non si può leggere. Salvalo senza "
                               "password con il programma che l'ha creato e ripeti l'operazione.");
}

QString withoutText(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path) + QStringLiteral(" non contiene testo.");
}

QString scanWithoutText(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" non contiene testo: le sue pagine sono immagini (forse fogli "
                               "acquisiti con lo scanner), da cui non si può leggere il testo.");
}

QString tooBig(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" è troppo grande: si possono leggere file fino a %1 MB.")
                 .arg(maxSourceBytes / (1024 * 1024));
}

QString tooLong(const QString& path)
{
    return QStringLiteral("Il testo del file ") + nameOf(path)
           + QString::fromUtf8(" è troppo lungo: si possono leggere testi fino a %1 caratteri.")
                 .arg(QLocale(QLocale::Italian).toString(qlonglong(maxSourceCharacters)));
}

QString notReadable(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" non è un testo né un documento che il programma sa leggere "
                               "(testo, .odt, .docx, .html, .pdf).");
}

QString oldOfficeFormat(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" è un documento nel vecchio formato di Word (.doc), che il "
                               "programma non legge: salvalo come .docx o .odt e ripeti l'operazione.");
}

QString rtfFormat(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" è un documento RTF, che il programma non legge: salvalo come "
                               ".docx, .odt o testo e ripeti l'operazione.");
}

QString withoutReader(const QString& path)
{
    return QStringLiteral("Il file ") + nameOf(path)
           + QString::fromUtf8(" non si può leggere: manca il modulo del programma che legge i "
                               "documenti (salienta_documents.so). Reinstalla il programma.");
}

SourceText failure(const QString& error)
{
    SourceText s;
    s.status = SourceText::Failed;
    s.error = error;
    return s;
}

SourceText cancelled()
{
    SourceText s;
    s.status = SourceText::Cancelled;
    return s;
}

bool isCancelled(const ReadProgress* progress)
{
    return progress && progress->cancelled.load();
}

void report(ReadProgress* progress, int done, int total)
{
    if (!progress)
        return;
    progress->total = total;
    progress->done = done;
    if (progress->afterStep)
        progress->afterStep(done);
}

// The paragraphs of a document as a new text. Blanks at both ends of each
// line go; blank lines at the start and the end go; a document with nothing but
// blanks has no text.
SourceText documentText(const QString& path, SourceKind kind, QStringList lines)
{
    for (QString& line : lines) {
        qsizetype begin = 0;
        qsizetype end = line.size();
        while (begin < end && (line.at(begin) == u' ' || line.at(begin) == u'\t'))
            ++begin;
        while (end > begin && (line.at(end - 1) == u' ' || line.at(end - 1) == u'\t'))
            --end;
        line = line.mid(begin, end - begin);
    }
    while (!lines.isEmpty() && lines.constFirst().trimmed().isEmpty())
        lines.removeFirst();
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return failure(withoutText(path));
    SourceText s;
    s.status = SourceText::Read;
    s.kind = kind;
    s.plain.text = lines.join(u'\n');
    if (s.plain.text.size() > maxSourceCharacters)
        return failure(tooLong(path));
    return s;
}

// ---------------------------------------------------------------------------
// Zip packages (.odt, .docx), unpacked by the documents module

// Paragraph lines gathered from a document's XML: text goes into the current
// line; a paragraph or a line break ends it.
class LineCollector
{
public:
    void add(QStringView s) { current += s; }
    void addChar(QChar c) { current += c; }
    // Ends the current line (kept even when empty: an empty paragraph is a
    // blank line).
    void endLine()
    {
        lines.append(current);
        current.clear();
    }
    // A paragraph that starts inside another (a text box) ends the words
    // gathered so far as a line of their own.
    void breakIfPending()
    {
        if (!current.isEmpty())
            endLine();
    }
    bool hasPending() const { return !current.isEmpty(); }
    QStringList take()
    {
        breakIfPending();
        return std::move(lines);
    }

private:
    QStringList lines;
    QString current;
};

// Reports the reading of an XML part as per mille of its characters.
class XmlProgress
{
public:
    XmlProgress(ReadProgress* p, qsizetype size) : progress(p), total(qMax<qsizetype>(size, 1)) {}
    // False when the reading is to stop.
    bool step(const QXmlStreamReader& xml)
    {
        if (!progress || ++tokens % 4096 != 0)
            return true;
        report(progress, int(qMin<qint64>(1000, xml.characterOffset() * 1000 / total)), 1000);
        return !isCancelled(progress);
    }

private:
    ReadProgress* progress;
    qsizetype total;
    qint64 tokens = 0;
};

const QString odfText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString odfOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString odfDraw = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
const QString odfSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString odfManifest = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");

// True when the manifest says that content.xml is encrypted.
bool odfContentEncrypted(const QByteArray& manifest)
{
    QXmlStreamReader xml(manifest);
    bool inContentEntry = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.namespaceUri() == odfManifest) {
            if (xml.name() == QLatin1String("file-entry"))
                inContentEntry = xml.attributes().value(odfManifest, QStringLiteral("full-path"))
                                 == QLatin1String("content.xml");
            else if (inContentEntry && xml.name() == QLatin1String("encryption-data"))
                return true;
        }
    }
    return false;
}

// What an element of an OpenDocument text means for its text.
enum class OdfRole { Other, Paragraph, Skip, Space, Tab, LineBreak, Body };

OdfRole odfRole(const QXmlStreamReader& xml)
{
    static const QHash<QString, OdfRole> textElements = {
        {QStringLiteral("p"), OdfRole::Paragraph},
        {QStringLiteral("h"), OdfRole::Paragraph},
        {QStringLiteral("s"), OdfRole::Space},
        {QStringLiteral("tab"), OdfRole::Tab},
        {QStringLiteral("line-break"), OdfRole::LineBreak},
        // Notes, tracked changes (deleted text among them), generated
        // indexes and declarations are not part of the running text.
        {QStringLiteral("note"), OdfRole::Skip},
        {QStringLiteral("tracked-changes"), OdfRole::Skip},
        {QStringLiteral("table-of-content"), OdfRole::Skip},
        {QStringLiteral("alphabetical-index"), OdfRole::Skip},
        {QStringLiteral("illustration-index"), OdfRole::Skip},
        {QStringLiteral("table-index"), OdfRole::Skip},
        {QStringLiteral("object-index"), OdfRole::Skip},
        {QStringLiteral("user-index"), OdfRole::Skip},
        {QStringLiteral("bibliography"), OdfRole::Skip},
        {QStringLiteral("sequence-decls"), OdfRole::Skip},
        {QStringLiteral("variable-decls"), OdfRole::Skip},
        {QStringLiteral("user-field-decls"), OdfRole::Skip},
    };
    const QStringView ns = xml.namespaceUri();
    if (ns == odfText)
        return textElements.value(xml.name().toString(), OdfRole::Other);
    if (ns == odfOffice) {
        if (xml.name() == QLatin1String("text"))
            return OdfRole::Body;
        if (xml.name() == QLatin1String("annotation") || xml.name() == QLatin1String("forms"))
            return OdfRole::Skip;
    }
    if (ns == odfSvg && (xml.name() == QLatin1String("title") || xml.name() == QLatin1String("desc")))
        return OdfRole::Skip;
    if (ns == odfDraw && xml.name() == QLatin1String("object"))
        return OdfRole::Skip;
    return OdfRole::Other;
}

// The paragraphs of an OpenDocument text's content.xml. Only the body text
// is read: page headers and footers live in styles.xml, comments and notes
// are skipped. Runs of white space inside text collapse to one space, as the
// format says; <text:s> gives its spaces.
bool readOdfContent(const QByteArray& content, ReadProgress* progress, QStringList& out, bool& stopped)
{
    QXmlStreamReader xml(content);
    XmlProgress steps(progress, content.size());
    LineCollector lines;
    int bodyDepth = 0;
    int skipDepth = 0;
    int paragraphDepth = 0;
    bool lastWasSpace = true;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!steps.step(xml)) {
            stopped = true;
            return false;
        }
        if (xml.isStartElement()) {
            if (skipDepth > 0) {
                ++skipDepth;
                continue;
            }
            switch (odfRole(xml)) {
            case OdfRole::Body:
                ++bodyDepth;
                break;
            case OdfRole::Skip:
                skipDepth = 1;
                break;
            case OdfRole::Paragraph:
                if (bodyDepth > 0) {
                    lines.breakIfPending();
                    ++paragraphDepth;
                    lastWasSpace = true;
                }
                break;
            case OdfRole::Space:
                if (paragraphDepth > 0) {
                    const int count = qMax(1, xml.attributes().value(odfText, QStringLiteral("c")).toInt());
                    lines.add(QString(count, u' '));
                    lastWasSpace = true;
                }
                break;
            case OdfRole::Tab:
                if (paragraphDepth > 0) {
                    lines.addChar(u'\t');
                    lastWasSpace = true;
                }
                break;
            case OdfRole::LineBreak:
                if (paragraphDepth > 0) {
                    lines.endLine();
                    lastWasSpace = true;
                }
                break;
            case OdfRole::Other:
                break;
            }
        } else if (xml.isEndElement()) {
            if (skipDepth > 0) {
                --skipDepth;
                continue;
            }
            const OdfRole role = odfRole(xml);
            if (role == OdfRole::Body)
                --bodyDepth;
            else if (role == OdfRole::Paragraph && paragraphDepth > 0) {
                --paragraphDepth;
                if (paragraphDepth == 0 || lines.hasPending())
                    lines.endLine();
            }
        } else if (xml.isCharacters() && skipDepth == 0 && paragraphDepth > 0) {
            for (const QChar c : xml.text()) {
                if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
                    if (!lastWasSpace)
                        lines.addChar(u' ');
                    lastWasSpace = true;
                } else {
                    lines.addChar(c);
                    lastWasSpace = false;
                }
            }
        }
    }
    if (xml.hasError())
        return false;
    out = lines.take();
    return true;
}

const QString wordMain = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString wordStrict = QStringLiteral("http://purl.oclc.org/ooxml/wordprocessingml/main");
const QString markupCompatibility = QStringLiteral("http://schemas.openxmlformats.org/markup-compatibility/2006");

// The paragraphs of a Word document's word/document.xml. Only the main text
// is read: headers, footers, comments and notes live in parts of their own.
// Deleted and moved-away text of tracked changes, field codes and the second
// copy of a text box that older programs read (mc:Fallback) are left out.
bool readWordDocument(const QByteArray& content, ReadProgress* progress, QStringList& out, bool& stopped)
{
    QXmlStreamReader xml(content);
    XmlProgress steps(progress, content.size());
    LineCollector lines;
    int skipDepth = 0;
    int paragraphDepth = 0;
    bool inText = false;   // inside <w:t>
    QStringList parents;   // element names, for <w:tab> inside a run
    while (!xml.atEnd()) {
        xml.readNext();
        if (!steps.step(xml)) {
            stopped = true;
            return false;
        }
        if (xml.isStartElement()) {
            const bool word = xml.namespaceUri() == wordMain || xml.namespaceUri() == wordStrict;
            const QStringView name = xml.name();
            const QString parent = parents.isEmpty() ? QString() : parents.constLast();
            parents.append(word ? name.toString() : QString());
            if (skipDepth > 0) {
                ++skipDepth;
                continue;
            }
            if (xml.namespaceUri() == markupCompatibility && name == QLatin1String("Fallback")) {
                skipDepth = 1;
                continue;
            }
            if (!word)
                continue;
            if (name == QLatin1String("moveFrom") || name == QLatin1String("del")) {
                skipDepth = 1;
            } else if (name == QLatin1String("p")) {
                lines.breakIfPending();
                ++paragraphDepth;
            } else if (paragraphDepth > 0) {
                if (name == QLatin1String("t"))
                    inText = true;
                else if (name == QLatin1String("tab") && parent == QLatin1String("r"))
                    lines.addChar(u'\t');
                else if ((name == QLatin1String("br") || name == QLatin1String("cr"))
                         && parent == QLatin1String("r"))
                    lines.endLine();
                else if (name == QLatin1String("noBreakHyphen"))
                    lines.addChar(u'-');
            }
        } else if (xml.isEndElement()) {
            const bool word = xml.namespaceUri() == wordMain || xml.namespaceUri() == wordStrict;
            if (!parents.isEmpty())
                parents.removeLast();
            if (skipDepth > 0) {
                --skipDepth;
                continue;
            }
            if (!word)
                continue;
            if (xml.name() == QLatin1String("t")) {
                inText = false;
            } else if (xml.name() == QLatin1String("p") && paragraphDepth > 0) {
                --paragraphDepth;
                if (paragraphDepth == 0 || lines.hasPending())
                    lines.endLine();
            }
        } else if (xml.isCharacters() && inText && skipDepth == 0 && paragraphDepth > 0) {
            lines.add(xml.text());
        }
    }
    if (xml.hasError())
        return false;
    out = lines.take();
    return true;
}

SourceText readPackage(const QString& path, const QByteArray& bytes, ReadProgress* progress)
{
    bool available = false;
    const std::unique_ptr<ZipPackage> opened = openZipPackage(bytes, available);
    if (!available)
        return failure(withoutReader(path));
    if (!opened || !opened->isOpen())
        return failure(damaged(path));
    const ZipPackage& package = *opened;
    ZipPackage::Error error = ZipPackage::Error::None;
    auto fail = [&](ZipPackage::Error e) {
        return failure(e == ZipPackage::Error::Password ? protectedByPassword(path)
                       : e == ZipPackage::Error::TooBig ? tooBig(path)
                                                        : damaged(path));
    };
    QStringList lines;
    bool stopped = false;
    if (package.has("word/document.xml")) {
        const QByteArray content = package.read("word/document.xml", error);
        if (error != ZipPackage::Error::None)
            return fail(error);
        if (!readWordDocument(content, progress, lines, stopped))
            return stopped ? cancelled() : failure(damaged(path));
        return documentText(path, SourceKind::Word, lines);
    }
    if (package.has("content.xml")) {
        if (package.has("mimetype")) {
            const QByteArray type = package.read("mimetype", error).trimmed();
            if (error == ZipPackage::Error::None && !type.startsWith("application/vnd.oasis.opendocument.text"))
                return failure(notReadable(path));
        }
        const QByteArray manifest = package.read("META-INF/manifest.xml", error);
        if (error == ZipPackage::Error::None && odfContentEncrypted(manifest))
            return failure(protectedByPassword(path));
        const QByteArray content = package.read("content.xml", error);
        if (error != ZipPackage::Error::None)
            return fail(error);
        if (!readOdfContent(content, progress, lines, stopped))
            return stopped ? cancelled() : failure(damaged(path));
        return documentText(path, SourceKind::OpenDocument, lines);
    }
    return failure(notReadable(path));
}

// ---------------------------------------------------------------------------
// Web pages through Qt's HTML reader

// The text of a QTextDocument with its non-breaking spaces kept: blocks and
// line breaks become '\n', objects (pictures) go.
QString rawDocumentText(const QTextDocument& document)
{
    QString text = document.toRawText();
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0:   // start and end of a frame (a table)
        case 0xFDD1:
            out += u'\n';
            break;
        case QChar::ObjectReplacementCharacter:
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString decodeWebPage(const QByteArray& bytes)
{
    QStringDecoder declared = QStringDecoder::decoderForHtml(bytes);
    const QByteArray name = QByteArray(declared.name()).toLower();
    // A page that declares UTF-8 or nothing, or Latin-1 (which browsers read
    // as windows-1252), is read as a plain text is: UTF-8 when it is valid
    // UTF-8, else windows-1252. Another declared encoding is taken as it is.
    if (!declared.isValid() || name == "utf-8" || name == "iso-8859-1" || name == "us-ascii"
        || name == "latin1" || name == "ascii" || name == "windows-1252")
        return PlainText::fromBytes(bytes).text;
    QString text = declared.decode(bytes);
    if (declared.hasError())
        return PlainText::fromBytes(bytes).text;
    return text;
}

SourceText readWebPage(const QString& path, const QByteArray& bytes, ReadProgress* progress)
{
    report(progress, 0, 1000);
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    document.setHtml(decodeWebPage(bytes));
    if (isCancelled(progress))
        return cancelled();
    report(progress, 1000, 1000);
    return documentText(path, SourceKind::WebPage, rawDocumentText(document).split(u'\n'));
}

// ---------------------------------------------------------------------------
// PDF documents
//
// A PDF has no paragraphs, only words placed on pages. The documents module
// gives the lines of each page in reading order (columns included, through
// poppler); the lines are joined into paragraphs here. A line ends its
// paragraph when the next line's first word would have fitted after it (a
// short last line), when the next line is set in a different size (a title),
// begins with a bullet or stands further down than the lines around it. A word
// divided at the end of a line with a hyphen is joined again. Lines repeated at
// the top or the bottom of most pages (page headers and footers) and page
// numbers are left out; the module has taken out the footnotes already.

// The text of a header or footer line, with its numbers made alike, so the
// same header is recognised on every page.
QString marginKey(const QString& text)
{
    QString key;
    for (const QChar c : text)
        key += c.isDigit() ? u'#' : c.toLower();
    return key;
}

bool isPageNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^(?:pag(?:ina|\\.)?\\s*)?[-\u2013\u2014(]?\\s*\\d{1,4}\\s*[-\u2013\u2014)]?"
                       "(?:\\s*(?:/|di)\\s*\\d{1,4})?$"),
        QRegularExpression::CaseInsensitiveOption);
    return number.match(text.trimmed()).hasMatch();
}

void dropHeadersAndFooters(std::vector<PdfPage>& pages)
{
    QHash<QString, int> seen;   // margin line -> pages it is on
    for (const PdfPage& page : pages) {
        QSet<QString> keys;
        for (const PdfLine& line : page.lines) {
            if (line.inMargin)
                keys.insert(marginKey(line.text));
        }
        for (const QString& key : keys)
            ++seen[key];
    }
    const int repeatedOn = std::max(2, int((pages.size() + 1) / 2));
    for (PdfPage& page : pages) {
        page.lines.erase(std::remove_if(page.lines.begin(), page.lines.end(),
                                        [&](const PdfLine& line) {
                                            return line.inMargin
                                                   && (seen.value(marginKey(line.text)) >= repeatedOn
                                                       || isPageNumber(line.text));
                                        }),
                         page.lines.end());
    }
}

bool startsWithBullet(const QString& text)
{
    static const QString bullets = QString::fromUtf8("•‣◦▪●■□–—-*·");
    return !text.isEmpty() && bullets.contains(text.at(0)) && (text.size() == 1 || text.at(1).isSpace());
}

// True when the line `b` starts a new paragraph after the line `a` of the
// same flow; `rightEdge` is where full lines end, `step` the usual distance
// from one line to the next.
bool startsParagraph(const PdfLine& a, const PdfLine& b, double rightEdge, double step, bool samePage)
{
    if (std::abs(a.height - b.height) > 0.15 * std::max(a.height, b.height))
        return true;
    if (startsWithBullet(b.text))
        return true;
    const double space = 0.3 * a.height;
    if (a.right + space + b.firstWordWidth < rightEdge - 1.0)
        return true;
    if (samePage && step > 0 && b.top > a.top && b.top - a.top > 1.35 * step)
        return true;
    return false;
}

QStringList pdfParagraphs(const std::vector<PdfPage>& pages)
{
    QStringList paragraphs;
    QString current;
    const PdfLine* previous = nullptr;
    double previousRightEdge = 0;
    double previousStep = 0;
    auto endsWithDivision = [](const QString& s) {
        return s.size() >= 2 && (s.endsWith(u'-') || s.endsWith(QChar(0x00AD)) || s.endsWith(QChar(0x2010)))
               && s.at(s.size() - 2).isLetter();
    };
    for (const PdfPage& page : pages) {
        double rightEdge = 0;
        std::vector<double> steps;
        for (std::size_t i = 0; i < page.lines.size(); ++i) {
            rightEdge = std::max(rightEdge, page.lines[i].right);
            if (i > 0) {
                const PdfLine& a = page.lines[i - 1];
                const PdfLine& b = page.lines[i];
                const double d = b.top - a.top;
                if (d > 0 && d < 3 * a.height && std::abs(a.height - b.height) < 0.15 * a.height)
                    steps.push_back(d);
            }
        }
        double step = 0;
        if (!steps.empty()) {
            std::nth_element(steps.begin(), steps.begin() + long(steps.size() / 2), steps.end());
            step = steps[steps.size() / 2];
        }
        for (const PdfLine& line : page.lines) {
            if (previous) {
                const bool samePage = &line != page.lines.data();
                const bool breakHere = samePage
                    ? startsParagraph(*previous, line, rightEdge, step, true)
                    : startsParagraph(*previous, line, previousRightEdge, previousStep, false);
                if (breakHere) {
                    paragraphs.append(current);
                    current.clear();
                } else if (endsWithDivision(current) && !line.text.isEmpty() && line.text.at(0).isLower()) {
                    current.chop(1);
                } else {
                    current += u' ';
                }
            }
            current += line.text;
            previous = &line;
        }
        previousRightEdge = rightEdge;
        previousStep = step;
    }
    if (!current.isEmpty())
        paragraphs.append(current);
    return paragraphs;
}

SourceText readPdf(const QString& path, const QByteArray& bytes, ReadProgress* progress)
{
    PdfDocument::Opened opened = PdfDocument::Opened::Damaged;
    bool available = false;
    const std::unique_ptr<PdfDocument> document = openPdfDocument(bytes, opened, available);
    if (!available)
        return failure(withoutReader(path));
    if (!document)
        return failure(opened == PdfDocument::Opened::Locked ? protectedByPassword(path) : damaged(path));
    const int count = document->pageCount();
    if (count <= 0)
        return failure(damaged(path));
    std::vector<PdfPage> pages;
    pages.reserve(std::size_t(count));
    qsizetype characters = 0;
    report(progress, 0, count);
    for (int i = 0; i < count; ++i) {
        if (isCancelled(progress))
            return cancelled();
        PdfPage page;
        if (document->page(i, page)) {
            pages.push_back(std::move(page));
            for (const PdfLine& line : pages.back().lines)
                characters += line.text.size() + 1;
            if (characters > maxSourceCharacters)
                return failure(tooLong(path));
        }
        report(progress, i + 1, count);
    }
    const bool anyText = std::any_of(pages.cbegin(), pages.cend(),
                                     [](const PdfPage& p) { return !p.lines.empty(); });
    if (!anyText)
        return failure(scanWithoutText(path));
    dropHeadersAndFooters(pages);
    return documentText(path, SourceKind::Pdf, pdfParagraphs(pages));
}

// ---------------------------------------------------------------------------
// What a file is

bool isWebPage(const QString& path, const QByteArray& bytes)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm") || suffix == QLatin1String("xhtml"))
        return true;
    QByteArray start = bytes.left(512);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    start = start.trimmed().toLower();
    return start.startsWith("<!doctype html") || start.startsWith("<html");
}

bool oleContainer(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"));
}

// An Office document protected by a password is an OLE container holding
// the stream "EncryptionInfo" beside the encrypted package.
bool encryptedOfficePackage(const QByteArray& bytes)
{
    static const QByteArray name = QByteArray::fromHex(
        "45006E006300720079007000740069006F006E0049006E0066006F00");   // "EncryptionInfo" in UTF-16LE
    return bytes.contains(name);
}

} // namespace

QStringList SourceText::lines() const
{
    if (plain.text.isEmpty())
        return {};
    return plain.text.split(u'\n');
}

SourceText readSource(const QString& path, ReadProgress* progress)
{
    const QFileInfo info(path);
    // Only regular files: a pipe would block and a device could never end.
    if (!info.isFile())
        return failure(unreadable(path));
    if (info.size() > maxSourceBytes)
        return failure(tooBig(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(unreadable(path));
    const QByteArray bytes = file.read(maxSourceBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return failure(unreadable(path));
    if (bytes.size() > maxSourceBytes)
        return failure(tooBig(path));

    if (bytes.left(1024).contains("%PDF-"))
        return readPdf(path, bytes, progress);
    if (bytes.startsWith("PK\x03\x04"))
        return readPackage(path, bytes, progress);
    if (oleContainer(bytes))
        return failure(encryptedOfficePackage(bytes) ? protectedByPassword(path) : oldOfficeFormat(path));
    if (bytes.startsWith("{\\rtf"))
        return failure(rtfFormat(path));
    if (looksBinary(bytes))
        return failure(notReadable(path));
    if (isWebPage(path, bytes))
        return readWebPage(path, bytes, progress);

    SourceText s;
    s.kind = SourceKind::Text;
    s.plain = PlainText::fromBytes(bytes);
    if (s.plain.text.size() > maxSourceCharacters)
        return failure(tooLong(path));
    s.status = SourceText::Read;
    report(progress, 1, 1);
    return s;
}

QString sourceFileFilter()
{
    return QString::fromUtf8(
        "testi e documenti (*.txt *.odt *.docx *.htm *.html *.pdf);;"
        "file di testo (*.txt);;testi OpenDocument (*.odt);;documenti Word (*.docx);;"
        "pagine web (*.htm *.html);;documenti PDF (*.pdf);;tutti i file (*)");
}
