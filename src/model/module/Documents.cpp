// The documents module: zip packages through libzip and the lines of PDF
// pages through poppler, for the program's readers of documents
// (model/TextSources.cpp), which open it when a document is first read.

#include "model/DocumentModule.h"

#include <QHash>
#include <QRectF>
#include <QVariant>

#include <poppler/qt6/poppler-qt6.h>
#include <zip.h>

#include <algorithm>

namespace {

class LibzipPackage final : public ZipPackage
{
public:
    explicit LibzipPackage(const QByteArray& bytes)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
        if (source) {
            archive = zip_open_from_source(source, ZIP_RDONLY, &error);
            if (!archive)
                zip_source_free(source);
        }
        zip_error_fini(&error);
    }
    ~LibzipPackage() override
    {
        if (archive)
            zip_discard(archive);
    }
    LibzipPackage(const LibzipPackage&) = delete;
    LibzipPackage& operator=(const LibzipPackage&) = delete;

    bool isOpen() const override { return archive != nullptr; }
    bool has(const char* name) const override { return archive && zip_name_locate(archive, name, 0) >= 0; }

    // The whole entry; `error` tells why not.
    QByteArray read(const char* name, Error& error) const override
    {
        error = Error::Damaged;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (!archive || zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return {};
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            error = Error::Password;
            return {};
        }
        if (stat.size > zip_uint64_t(maxEntryBytes)) {
            error = Error::TooBig;
            return {};
        }
        zip_file_t* file = zip_fopen(archive, name, 0);
        if (!file)
            return {};
        QByteArray data(qsizetype(stat.size), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < data.size()) {
            const zip_int64_t n = zip_fread(file, data.data() + got, zip_uint64_t(data.size() - got));
            if (n <= 0)
                break;
            got += qsizetype(n);
        }
        const bool complete = got == data.size();
        zip_fclose(file);
        if (!complete)
            return {};
        error = Error::None;
        return data;
    }

private:
    zip_t* archive = nullptr;
};

// ---------------------------------------------------------------------------
// PDF pages through poppler: the words of each page in reading order (columns
// included) with where each line ends, gathered into lines; footnote marks
// (small digits raised after a word) and the notes at the foot of the page
// are left out.

bool isFootnoteMark(const Poppler::TextBox& box, double lineHeight, bool spaceBefore)
{
    if (spaceBefore || box.boundingBox().height() > 0.75 * lineHeight)
        return false;
    const QString t = box.text();
    return !t.isEmpty() && std::all_of(t.cbegin(), t.cend(), [](QChar c) {
        return c.isDigit() || c == u'*' || c == QChar(0x2020) || c == QChar(0x2021);
    });
}

// The notes at the foot of a page: in its lower half, set smaller than the
// page's text, starting with a mark that was taken out of the text above.
void dropFootnotes(PdfPage& page)
{
    if (page.footnoteMarks.isEmpty())
        return;
    QHash<int, qsizetype> charactersAtHeight;   // tenths of a point -> characters
    for (const PdfLine& line : page.lines)
        charactersAtHeight[int(line.height * 10)] += line.text.size();
    double bodyHeight = 0;
    qsizetype most = -1;
    for (auto it = charactersAtHeight.cbegin(); it != charactersAtHeight.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            bodyHeight = it.key() / 10.0;
        }
    }
    auto isSmall = [&](const PdfLine& line) { return line.height < 0.92 * bodyHeight; };
    bool inNote = false;
    page.lines.erase(std::remove_if(page.lines.begin(), page.lines.end(),
                                    [&](const PdfLine& line) {
                                        if (line.top < 0.5 * page.height || !isSmall(line)) {
                                            inNote = false;
                                            return false;
                                        }
                                        if (!inNote) {
                                            const QString first = line.text.section(u' ', 0, 0);
                                            inNote = page.footnoteMarks.contains(first);
                                        }
                                        return inNote;
                                    }),
                     page.lines.end());
}

PdfPage readPdfPage(const Poppler::Page& page)
{
    PdfPage out;
    out.height = page.pageSizeF().height();
    const auto boxes = page.textList();
    // Words of one line: up to the word that has no next word.
    std::vector<const Poppler::TextBox*> lineWords;
    auto finishLine = [&]() {
        if (lineWords.empty())
            return;
        double tallest = 0;
        for (const auto* w : lineWords)
            tallest = std::max(tallest, w->boundingBox().height());
        PdfLine line;
        line.height = tallest;
        bool first = true;
        bool spaceBefore = true;
        for (const auto* w : lineWords) {
            const QRectF r = w->boundingBox();
            const bool mark = !first && isFootnoteMark(*w, tallest, spaceBefore);
            spaceBefore = w->hasSpaceAfter();
            if (mark) {
                out.footnoteMarks.insert(w->text());
                if (spaceBefore && !line.text.endsWith(u' '))
                    line.text += u' ';
                continue;
            }
            if (first) {
                line.left = r.left();
                line.top = r.top();
                line.bottom = r.bottom();
                line.firstWordWidth = r.width();
                first = false;
            }
            line.right = std::max(line.right, r.right());
            line.top = std::min(line.top, r.top());
            line.bottom = std::max(line.bottom, r.bottom());
            line.text += w->text();
            if (w->hasSpaceAfter())
                line.text += u' ';
        }
        line.text = line.text.trimmed();
        if (!line.text.isEmpty())
            out.lines.push_back(line);
        lineWords.clear();
    };
    for (const auto& box : boxes) {
        lineWords.push_back(box.get());
        if (!box->nextWord())
            finishLine();
    }
    finishLine();
    // Headers and footers are the first or last lines of a page, near its edge.
    const double band = 0.09 * out.height;
    const std::size_t n = out.lines.size();
    for (std::size_t i = 0; i < n; ++i) {
        PdfLine& line = out.lines[i];
        line.inMargin = (i < 2 && line.bottom < band) || (i + 2 >= n && line.top > out.height - band);
    }
    dropFootnotes(out);
    return out;
}

void ignorePopplerMessages(const QString&, const QVariant&) {}

class PopplerDocument final : public PdfDocument
{
public:
    explicit PopplerDocument(std::unique_ptr<Poppler::Document> opened) : document(std::move(opened)) {}
    int pageCount() const override { return document->numPages(); }
    bool page(int index, PdfPage& out) const override
    {
        const std::unique_ptr<Poppler::Page> read = document->page(index);
        if (!read)
            return false;
        out = readPdfPage(*read);
        return true;
    }

private:
    std::unique_ptr<Poppler::Document> document;
};

} // namespace

extern "C" Q_DECL_EXPORT ZipPackage* salientaOpenZipPackage(const QByteArray& bytes)
{
    return new LibzipPackage(bytes);
}

extern "C" Q_DECL_EXPORT PdfDocument* salientaOpenPdfDocument(const QByteArray& bytes,
                                                               PdfDocument::Opened& opened)
{
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(&ignorePopplerMessages, QVariant());
        return true;
    }();
    Q_UNUSED(quiet);
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    opened = PdfDocument::Opened::Damaged;
    if (!document)
        return nullptr;
    if (document->isLocked()) {
        opened = PdfDocument::Opened::Locked;
        return nullptr;
    }
    opened = PdfDocument::Opened::Read;
    return new PopplerDocument(std::move(document));
}
