// Texts from other files: a 1 MB plain text (UTF-8, then windows-1252) and a
// 100-page PDF read and converted into an exercise, each against reading the
// file once. The PDF is also read by poppler's own pdftotext, for scale. The
// conversion is the window's: the text read on its thread, split, laid out
// and drawn in the preparation window (offscreen). The editor's opening of
// the 1 MB text is measured too.

#include "BenchSupport.h"
#include "authoring/SourceReader.h"
#include "authoring/Uedit.h"
#include "authoring/Uprepara.h"
#include "common/AppContext.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/TextSources.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

// Answers every file dialog with one path and every question with its
// safest button.
class BenchDialogs final : public DialogService
{
public:
    QString file;
    DialogButton ask(const QString&, const QString&, DialogButtons buttons, DialogIcon) override
    {
        return buttons & CancelButton ? CancelButton : buttons & NoAnswerButton ? NoAnswerButton : OkButton;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return file; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }
};

double readOnce(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    return bytes.isEmpty() ? -1 : msSince(timer);
}

// A PDF of `pages` A4 pages of 40 lines each, paragraphs of 6 lines.
bool writePdf(const QString& path, int pages)
{
    const QStringList lines = italianText(pages * 40 * 75);
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSize(11);
    painter.setFont(font);
    int line = 0;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !writer.newPage())
            return false;
        int y = 80;
        for (int i = 0; i < 40 && line < lines.size(); ++i, ++line) {
            painter.drawText(60, y, lines.at(line).trimmed());
            y += (i % 6 == 5) ? 26 : 17;
        }
    }
    return painter.end();
}

struct Conversion {
    double ms = 0;
    int sentences = 0;
};

// "Converti file di testo..." without its dialogs: read on the reading
// thread, then the window's conversion and the drawing.
Conversion convertInWindow(Tprepara& window, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    const SourceText source = readSourceShowingProgress(&window, path);
    if (!source.ok())
        return {-1, 0};
    window.takeConvertedText(source.lines(), QLatin1Char('.'));
    window.PaintCanvas->repaint();
    return {msSince(timer), window.textModel()->sentenceCount};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    AppContext context;
    context.programFolder = locateProgramFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    QTemporaryDir scratch;
    context.dataRoot = scratch.path() + QLatin1Char('/');
    QDir().mkpath(context.dataRoot + QStringLiteral("testi"));
    QDir().mkpath(context.dataRoot + QStringLiteral("esercizi"));
    BenchDialogs dialogs;
    setDialogService(&dialogs);

    const QString text = italianText(1 << 20).join(QLatin1Char('\n')) + QLatin1Char('\n');
    const QString utf8 = context.dataRoot + QStringLiteral("testi/lungo-utf8.txt");
    const QString cp1252 = context.dataRoot + QStringLiteral("testi/lungo-1252.txt");
    const QString pdf = context.dataRoot + QStringLiteral("testi/lungo.pdf");
    QFile out(utf8);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0)
        return 1;
    out.close();
    QFile out1252(cp1252);
    if (!out1252.open(QIODevice::WriteOnly) || out1252.write(encodeCp1252(QString(text).replace(
                                                  QLatin1Char('\n'), QLatin1String("\r\n")))) < 0)
        return 1;
    out1252.close();
    if (!writePdf(pdf, 100))
        return 1;
    std::printf("files: %lld bytes UTF-8, %lld bytes windows-1252, %lld bytes PDF of 100 pages\n",
                static_cast<long long>(QFileInfo(utf8).size()), static_cast<long long>(QFileInfo(cp1252).size()),
                static_cast<long long>(QFileInfo(pdf).size()));

    Tprepara window(context);
    if (!window.loadError().isEmpty())
        return 1;
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();

    for (const QString& path : {utf8, cp1252, pdf}) {
        const QString name = QFileInfo(path).fileName();
        std::printf("== %s\n", qPrintable(name));
        const double once = readOnce(path);
        report("read the file once", once, "none");
        QElapsedTimer timer;
        timer.start();
        const SourceText source = readSource(path);
        const double reading = msSince(timer);
        std::printf("%-46s %9.3f ms = %.1f x reading once (%lld characters, %s)\n", "its text (readSource)",
                    reading, reading / once, static_cast<long long>(source.plain.text.size()),
                    source.kind == SourceKind::Pdf ? "PDF" : qPrintable(source.plain.format.encodingName()));
        const Conversion conversion = convertInWindow(window, path);
        std::printf("%-46s %9.3f ms = %.1f x reading once (%d sentences)\n", "converted in the window",
                    conversion.ms, conversion.ms / once, conversion.sentences);
        window.modified = false;
        if (source.kind == SourceKind::Pdf) {
            timer.start();
            QProcess pdftotext;
            pdftotext.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
            pdftotext.waitForFinished(120000);
            if (pdftotext.exitStatus() == QProcess::NormalExit && pdftotext.exitCode() == 0)
                report("poppler's pdftotext on the same file", msSince(timer), "none, for scale");
        } else if (path == utf8) {
            TeditForm editor(context, nullptr);
            editor.show();
            dialogs.file = path;
            timer.start();
            editor.Apri1->trigger();
            QApplication::processEvents();
            std::printf("%-46s %9.3f ms = %.1f x reading once\n", "opened and shown in the editor",
                        msSince(timer), msSince(timer) / once);
        }
    }
    setDialogService(nullptr);
    return 0;
}
