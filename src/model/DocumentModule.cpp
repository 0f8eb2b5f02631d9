#include "model/DocumentModule.h"

#include "model/ProgramModule.h"

#include <QCoreApplication>
#include <QLibrary>
#include <cstdio>

namespace {

constexpr char ModuleFile[] = "salienta_documents.so";

using OpenZip = ZipPackage* (*)(const QByteArray&);
using OpenPdf = PdfDocument* (*)(const QByteArray&, PdfDocument::Opened&);

struct Module {
    OpenZip openZip = nullptr;
    OpenPdf openPdf = nullptr;
};

// Opens the module once (from any thread; the first reading waits for it);
// it stays loaded for the life of the process.
const Module* module()
{
    static Module functions;
    static const bool loaded = [] {
        const QString path = findProgramModule(QCoreApplication::applicationDirPath(),
                                               QLatin1String(ModuleFile));
        if (path.isEmpty()) {
            std::fprintf(stderr, "Salienta: modulo dei documenti %s non trovato\n", ModuleFile);
            return false;
        }
        QLibrary library(path);
        if (!library.load()) {
            std::fprintf(stderr, "Salienta: modulo dei documenti non caricato: %s\n",
                         qPrintable(library.errorString()));
            return false;
        }
        functions.openZip = reinterpret_cast<OpenZip>(library.resolve("salientaOpenZipPackage"));
        functions.openPdf = reinterpret_cast<OpenPdf>(library.resolve("salientaOpenPdfDocument"));
        return functions.openZip && functions.openPdf;
    }();
    return loaded ? &functions : nullptr;
}

} // namespace

std::unique_ptr<ZipPackage> openZipPackage(const QByteArray& bytes, bool& available)
{
    const Module* documents = module();
    available = documents != nullptr;
    return std::unique_ptr<ZipPackage>(documents ? documents->openZip(bytes) : nullptr);
}

std::unique_ptr<PdfDocument> openPdfDocument(const QByteArray& bytes, PdfDocument::Opened& opened,
                                             bool& available)
{
    const Module* documents = module();
    available = documents != nullptr;
    opened = PdfDocument::Opened::Damaged;
    return std::unique_ptr<PdfDocument>(documents ? documents->openPdf(bytes, opened) : nullptr);
}
