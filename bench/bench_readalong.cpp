// Reading along on a text of about 1 MB (first argument: bytes), with the
// speech engine playing into a sound output that only keeps the sound, four
// times faster than real time:
//  - the task window reads the whole text: the time to its first word, and
//    for some seconds whether the words are marked as fast as they sound
//    (words marked against words heard, the longest gap between two marks);
//  - the window's own work for one word, at words spread over the text
//    (marking it in the text and bringing it into view), against the time a
//    word takes to be said.

#include "BenchSupport.h"

#include "execution/Ucompito.h"
#include "sound/AudioOutput.h"
#include "speech/ReadAlong.h"
#include "speech/SpeechEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // Run with QT_QPA_PLATFORM=offscreen, or under a display.
    QApplication app(argc, argv);
    const int bytes = argc > 1 ? std::max(1000, QString::fromLocal8Bit(argv[1]).toInt()) : 1 << 20;
    constexpr int speedUp = 4;
    auto output = std::make_unique<CaptureAudioOutput>();
    output->setPlaybackSpeed(speedUp);
    CaptureAudioOutput* capture = output.get();
    installSpeechAudioOutput(std::move(output));
    if (!VS_CreateSpeechEngine()) {
        std::fprintf(stderr, "no speech engine\n");
        return 1;
    }
    const QString text = italianText(bytes).join(QLatin1Char('\n'));
    std::printf("text: %.2f MB, %lld words\n", double(text.size()) / (1024.0 * 1024.0),
                static_cast<long long>(text.split(QRegularExpression(QStringLiteral("\\s+")),
                                                  Qt::SkipEmptyParts).size()));

    TFormCompito task;
    task.setTask(text, true);
    task.show();
    QElapsedTimer clock;
    std::vector<double> marks;   // ms since the click, one per word of the task
    QObject::connect(task.readingAlong(), &TReadAlong::wordHeard, &task,
                     [&](int item, int, int) {
                         if (item == 1)
                             marks.push_back(double(clock.nsecsElapsed()) / 1e6);
                     });
    clock.start();
    task.PlayButton->click();
    const qint64 runMs = 15000;
    while (clock.elapsed() < runMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    const double soundSeconds = double(capture->captured().size()) / 2.0 / capture->sampleRate();
    task.readingAlong()->stop();
    if (marks.empty()) {
        std::fprintf(stderr, "no word was marked\n");
        return 1;
    }
    double gap = 0;
    for (size_t i = 1; i < marks.size(); ++i)
        gap = std::max(gap, marks[i] - marks[i - 1]);
    const double perWordMs = (marks.back() - marks.front()) / double(std::max<size_t>(1, marks.size() - 1));
    std::printf("%-44s %9.1f ms (after the caption)\n", "first word of the task marked after",
                marks.front());
    std::printf("%-44s %9zu in %.1f s, %.0f ms a word at x%d, %.1f s of sound made\n",
                "words marked", marks.size(), double(runMs) / 1000.0, perWordMs, speedUp,
                soundSeconds);
    std::printf("%-44s %9.1f ms\n", "longest gap between two marks", gap);

    // The window's work for one word, deep in the text as near its start.
    std::vector<double> work;
    const QRegularExpression word(QStringLiteral("\\w+"));
    const qsizetype step = std::max<qsizetype>(1, text.size() / 200);
    for (qsizetype at = 0; at < text.size(); at += step) {
        const QRegularExpressionMatch found = word.match(text, at);
        if (!found.hasMatch())
            break;
        QElapsedTimer t;
        t.start();
        emit task.readingAlong()->wordHeard(1, int(found.capturedStart()), int(found.capturedLength()));
        QCoreApplication::processEvents();
        work.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(work.begin(), work.end());
    std::printf("%-44s %9.2f ms median, %.2f ms worst, over %zu words (a word is said in about %.0f ms)\n",
                "marking a word and bringing it into view", work[work.size() / 2], work.back(),
                work.size(), perWordMs * speedUp);
    const bool keepsUp = work.back() < perWordMs * speedUp / 4 && gap < 2000;
    std::printf("%-44s %s\n", "word marks keep up with the speech", keepsUp ? "ok" : "NO");
    VS_DestroySpeechEngine();
    return 0;
}
