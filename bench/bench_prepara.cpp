// Speed of the preparation window on a long exercise: about 1 MB of Italian
// plain text converted into an exercise in the real window (offscreen), then
// a level click, an arrow key, a mouse click on a sentence and a scroll, each
// measured with the repaint of the text that follows it. The conversion is
// compared with one layout of the same text in the same font and width.

#include "BenchSupport.h"
#include "authoring/Uprepara.h"
#include "model/Funzioni.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    AppContext context;
    context.programFolder = locateProgramFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    QTemporaryDir scratch;
    context.dataRoot = scratch.path() + QLatin1Char('/');
    QDir().mkpath(context.dataRoot + QStringLiteral("testi"));
    QDir().mkpath(context.dataRoot + QStringLiteral("esercizi"));
    const QString path = context.dataRoot + QStringLiteral("testi/lungo.txt");
    if (!saveText(italianText(1 << 20), path)) {
        std::printf("cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("text: %lld bytes\n", static_cast<long long>(QFileInfo(path).size()));

    Tprepara window(context);
    if (!window.loadError().isEmpty()) {
        std::printf("%s\n", qPrintable(window.loadError()));
        return 1;
    }
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();

    // One layout of the text, in the window's font and width.
    QStringList lines;
    loadText(lines, path);
    double layoutMs = 0;
    {
        Tparametri params;
        params.source = lines;
        Tevidenziatore model(params);
        QImage picture(window.PaintCanvas->picture().size(), QImage::Format_RGB32);
        QPainter canvas(&picture);
        canvas.setFont(window.textFont());
        QElapsedTimer timer;
        timer.start();
        model.layout(picture.width() - window.suggBut->width(), canvas);
        layoutMs = msSince(timer);
    }
    report("layout of the text once", layoutMs, "none");

    // The conversion as the window makes it: read, check, split, lay out, draw.
    QElapsedTimer timer;
    timer.start();
    QStringList read;
    loadText(read, path);
    if (hasReservedChars(read))
        return 1;
    window.takeConvertedText(read, QLatin1Char('.'));
    window.PaintCanvas->repaint();
    const double convertMs = msSince(timer);
    std::printf("  %d sentences, scroll range %d px\n", window.textModel()->sentenceCount,
                window.ScrollBar1->maximum());
    std::printf("%-46s %9.3f ms                  (bound %.1f ms = 3 x layout) %s\n",
                "convert the file into an exercise", convertMs, 3 * layoutMs,
                convertMs <= 3 * layoutMs ? "ok" : "OVER");

    // Near the end of the text, where the index work is largest.
    QTest::keyClick(window.nonImportanteBut, Qt::Key_End);
    window.textModel()->currentSentence = window.textModel()->sentenceCount / 2;
    window.scrollIntoView(window.textModel()->currentSentence);
    QPushButton* levels[] = {window.importanteBut, window.moltoImportanteBut, window.nonImportanteBut};
    int next = 0;
    report("level click + repaint", timesOf(30, [&] {
               QTest::mouseClick(levels[next++ % 3], Qt::LeftButton);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("arrow key Down + repaint", timesOf(30, [&] {
               QTest::keyClick(window.nonImportanteBut, Qt::Key_Down);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("arrow key Up + repaint", timesOf(30, [&] {
               QTest::keyClick(window.nonImportanteBut, Qt::Key_Up);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("mouse click on a sentence + repaint", timesOf(30, [&] {
               QTest::mouseClick(window.PaintCanvas, Qt::LeftButton, Qt::NoModifier,
                                 QPoint(30, 40 + (next++ % 5) * 40));
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("scroll by a page + repaint", timesOf(30, [&] {
               window.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepAdd);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("scroll by a step + repaint", timesOf(30, [&] {
               window.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepSub);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("End key (last sentence) + repaint", timesOf(10, [&] {
               QTest::keyClick(window.nonImportanteBut, Qt::Key_End);
               window.PaintCanvas->repaint();
           }), "16 ms");
    // The sentence commands near the middle of the text, as the window does
    // them once their dialog is closed: the model changed, the text laid out
    // again, the current sentence brought into view, the text repainted.
    Tevidenziatore& model = *window.textModel();
    auto nearMiddle = [&] {
        model.currentSentence = model.sentenceCount / 2 + (next++ % 7);
        window.scrollIntoView(model.currentSentence);
    };
    const QStringList edited = {QStringLiteral("Una frase cambiata dal maestro, con qualche parola "
                                               "in più per andare a capo una volta o due."),
                                QStringLiteral("Seconda riga della frase cambiata.")};
    report("edit a sentence + relayout + repaint", timesOf(15, [&] {
               nearMiddle();
               const int n = model.currentSentence;
               const ImportanceLevel level = model.importanceOf(n);
               model.removeSentence(n);
               model.insertSentence(n, edited, level);
               window.relayout();
               window.scrollIntoView(n);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("insert a sentence + relayout + repaint", timesOf(15, [&] {
               nearMiddle();
               model.insertSentence(model.currentSentence, edited, importante);
               window.relayout();
               window.scrollIntoView(model.currentSentence);
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("remove a sentence + relayout + repaint", timesOf(15, [&] {
               nearMiddle();
               const int removed = model.currentSentence;
               model.removeSentence(removed);
               model.currentSentence = removed == 0 ? 0 : removed - 1;
               window.relayout();
               window.PaintCanvas->repaint();
           }), "16 ms");
    // A new width lays the whole text out again.
    int widen = 0;
    report("resize by one pixel (whole layout) + repaint", timesOf(3, [&] {
               window.resize(1000 + (++widen % 2), 700);
               window.PaintCanvas->repaint();
           }), "none (once per resize)");
    window.modified = false;
    return 0;
}
