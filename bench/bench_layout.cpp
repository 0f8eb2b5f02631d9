// Speed of the text model on a long text: building a model from about 1 MB
// of Italian plain text, laying it out at 800 pixels, painting the first and
// the last screen, and answering a click (hit test, level change, repaint).
// Each figure is printed beside the bound it must keep.

#include "BenchSupport.h"
#include "model/Uevidenz.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>


int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int width = 800;
    const int viewHeight = 600;
    QImage picture(width, viewHeight, QImage::Format_RGB32);
    QPainter canvas(&picture);
    canvas.setFont(QFont(QStringLiteral("Liberation Serif"), 14));

    const QStringList source = italianText(1 << 20);
    qint64 bytes = 0;
    for (const QString& l : source)
        bytes += l.toUtf8().size() + 2;
    std::printf("text: %lld bytes in %lld source lines\n", static_cast<long long>(bytes),
                static_cast<long long>(source.size()));

    QElapsedTimer timer;
    timer.start();
    Tparametri params;
    params.mode = fromPlainText;
    params.source = source;
    params.separator = QLatin1Char('.');
    Tevidenziatore model(params);
    report("build the model from plain text", msSince(timer), "1000 ms, once per load");

    timer.restart();
    const int height = model.layout(width, canvas);
    const double layoutMs = msSince(timer);
    std::printf("  %d sentences, %lld lines after layout, height %d px\n", model.sentenceCount,
                static_cast<long long>(model.lines.size()), height);
    report("layout at 800 px", layoutMs, "1000 ms, once per load or resize");

    auto paintAt = [&](int scroll) {
        canvas.fillRect(picture.rect(), Qt::white);
        model.paintAll(canvas, scroll, true, viewHeight);
    };
    timer.restart();
    model.countSentences();
    report("index of the laid-out lines (first use)", msSince(timer), "16 ms");
    timer.restart();
    paintAt(0);
    report("first paint in the process (cold font caches)", msSince(timer), "16 ms");
    const int last = std::max(0, height - viewHeight);
    report("paint the first screen", timesOf(20, [&] { paintAt(0); }), "16 ms");
    report("paint the last screen", timesOf(20, [&] { paintAt(last); }), "16 ms");
    report("  of which clearing the picture to white",
           timesOf(20, [&] { canvas.fillRect(picture.rect(), Qt::white); }), "none");
    report("  of which drawing the lines (paintAll)",
           timesOf(20, [&] { model.paintAll(canvas, last, true, viewHeight); }), "16 ms");

    // A click near the end: hit test, level change, scroll into view, repaint.
    const int lh = model.lineHeight(canvas);
    const int clickY = last + viewHeight - 2 * lh;
    HitResult hit;
    const Times hitMs = timesOf(20, [&] { hit = model.hitTest(40, clickY, canvas); });
    std::printf("  hit at y=%d: sentence %d of %d\n", clickY, hit.sentence, model.sentenceCount);
    report("hit test on the last screen", hitMs, "16 ms");

    int level = importante;
    const Times clickMs = timesOf(20, [&] {
        const HitResult h = model.hitTest(40, clickY, canvas);
        model.currentSentence = h.sentence;
        model.setImportance(h.sentence, static_cast<ImportanceLevel>(level));
        level = level == importante ? moltoImportante : importante;
        const auto extent = model.sentenceExtent(canvas, h.sentence);
        int scroll = last;
        if (extent.second > scroll + viewHeight)
            scroll = extent.second - viewHeight;
        paintAt(scroll);
    });
    report("click: hit test + setImportance + repaint", clickMs, "16 ms");

    const Times keyMs = timesOf(20, [&] {
        model.currentSentence = std::min(model.currentSentence + 1, model.sentenceCount - 1);
        const auto extent = model.sentenceExtent(canvas, model.currentSentence);
        paintAt(std::max(0, extent.second - viewHeight));
    });
    report("key: next sentence + scroll + repaint", keyMs, "16 ms");

    // Answers hidden and shown again (loading a run), then one repaint.
    timer.restart();
    model.hideAnswers();
    model.restoreAnswers();
    paintAt(last);
    report("hideAnswers + restoreAnswers + repaint", msSince(timer), "100 ms, once per load");

    // A direct edit of the lines by a window: the model sees it at the next paint.
    timer.restart();
    model.lines.last() += QStringLiteral(" fine");
    paintAt(last);
    report("repaint after a direct edit of the lines", msSince(timer), "50 ms");
    return 0;
}
