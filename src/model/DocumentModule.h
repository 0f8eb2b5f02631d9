#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

// Zip packages (.odt, .docx) and PDF documents are read through libzip and
// poppler, which bring some thirty libraries with them: they live in the
// documents module, a library of the program's own opened the first time a
// document is read (see model/ProgramModule.h). The module exports
// "salientaOpenZipPackage" and "salientaOpenPdfDocument".

// The packed files of a zip package.
class ZipPackage
{
public:
    enum class Error { None, Damaged, Password, TooBig };
    // The largest entry unpacked: a package entry may be far larger than the
    // package, and a bound keeps a malicious one from filling the memory.
    static constexpr qint64 maxEntryBytes = 400LL * 1024 * 1024;

    virtual ~ZipPackage() = default;
    virtual bool isOpen() const = 0;
    virtual bool has(const char* name) const = 0;
    // The whole entry; `error` tells why not.
    virtual QByteArray read(const char* name, Error& error) const = 0;
};

// One line of a PDF page as the page sets it.
struct PdfLine {
    QString text;
    double left = 0, right = 0, top = 0, bottom = 0;
    double height = 0;           // the tallest word's height
    double firstWordWidth = 0;
    bool inMargin = false;       // in the top or bottom band of the page
};

// The lines of a page in reading order, its footnotes left out.
struct PdfPage {
    std::vector<PdfLine> lines;
    double height = 0;
    QSet<QString> footnoteMarks;   // the marks taken out of the page's lines
};

class PdfDocument
{
public:
    enum class Opened { Read, Damaged, Locked };
    virtual ~PdfDocument() = default;
    virtual int pageCount() const = 0;
    // False when the page cannot be read.
    virtual bool page(int index, PdfPage& out) const = 0;
};

// The documents module's readers; nullptr when the module cannot be opened
// (`available` false) or, for a PDF, when `opened` says why not.
std::unique_ptr<ZipPackage> openZipPackage(const QByteArray& bytes, bool& available);
std::unique_ptr<PdfDocument> openPdfDocument(const QByteArray& bytes, PdfDocument::Opened& opened,
                                             bool& available);
