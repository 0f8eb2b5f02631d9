// Speaks one Italian sentence (second argument, or a sentence of its own)
// through the speech component and records what reaches the audio output as
// a WAV file (first argument, default "speech.wav"); then, when the machine has an audio output, speaks it again
// through the device and reports how long the engine says it is talking and
// how quickly it falls silent when stopped.

#include "sound/AudioOutput.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QStringEncoder>
#include <QThread>
#include <cmath>
#include <cstdio>

namespace {

// windows-1252: "Il gatto dorme sul divano. Però è già l'ora di cena."
const char OwnSentence[] = "Il gatto dorme sul divano. Per\xF2 \xE8 gi\xE0 l'ora di cena.";

void waitEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// Milliseconds until VS_IsTalking answers false (gives up after `limitMs`).
qint64 talkingMs(qint64 limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (VS_IsTalking() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return timer.elapsed();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("speech.wav");
    QByteArray text(OwnSentence);
    if (argc > 2) {
        QStringEncoder encoder("windows-1252");
        text = encoder.encode(QString::fromLocal8Bit(argv[2]));
    }
    const char* Sentence = text.constData();

    auto capture = std::make_unique<CaptureAudioOutput>();
    CaptureAudioOutput* recorder = capture.get();
    installSpeechAudioOutput(std::move(capture));
    if (!VS_CreateSpeechEngine()) {
        std::fprintf(stderr, "speech engine did not start\n");
        return 1;
    }
    std::printf("language %s, voice %s, %d languages, %d voices\n",
                VS_GetLanguageName(VS_GetCurrentLanguageIndex()),
                VS_GetVoiceName(VS_GetCurrentVoiceIndex()), VS_GetNumLanguages(),
                VS_GetNumVoices());
    QElapsedTimer timer;
    timer.start();
    VS_SayText(Sentence, 1);
    qint64 firstSampleMs = -1;
    while (VS_IsTalking() && timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (firstSampleMs < 0 && !recorder->captured().isEmpty())
            firstSampleMs = timer.elapsed();
        QThread::msleep(1);
    }
    const qint64 talked = timer.elapsed();
    const QByteArray samples = recorder->captured();
    const int rate = recorder->sampleRate();
    double sum = 0;
    const auto* data = reinterpret_cast<const qint16*>(samples.constData());
    const qsizetype count = samples.size() / 2;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(data[i]) * data[i];
    std::printf("capture: %lld samples at %d Hz = %.3f s; first sample after %lld ms; "
                "talking for %lld ms; RMS %.1f (of 32768)\n",
                static_cast<long long>(count), rate, double(count) / rate,
                static_cast<long long>(firstSampleMs), static_cast<long long>(talked),
                count ? std::sqrt(sum / count) : 0.0);
    if (!writeWavFile(path, samples, rate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("written %s\n", qPrintable(path));
    VS_DestroySpeechEngine();

    if (QMediaDevices::audioOutputs().isEmpty()) {
        std::printf("device: no audio output on this machine\n");
        return 0;
    }
    QElapsedTimer startTimer;
    startTimer.start();
    if (!VS_CreateSpeechEngine()) {
        std::printf("device: engine did not start on the audio output\n");
        return 0;
    }
    std::printf("device: engine started in %lld ms\n", static_cast<long long>(startTimer.elapsed()));
    VS_SayText(Sentence, 1);
    std::printf("device: whole sentence talking for %lld ms (sound %.0f ms)\n",
                static_cast<long long>(talkingMs(20000)), 1000.0 * double(count) / rate);
    VS_SayText(Sentence, 1);
    waitEvents(700);
    QElapsedTimer stopTimer;
    stopTimer.start();
    const bool wasTalking = VS_IsTalking();
    VS_StopTalk();
    std::printf("device: stopped after 700 ms (talking before: %d, after: %d) in %lld us\n",
                wasTalking, VS_IsTalking(), static_cast<long long>(stopTimer.nsecsElapsed() / 1000));
    VS_SayText(Sentence, 1);
    std::printf("device: spoken again after the stop, talking for %lld ms\n",
                static_cast<long long>(talkingMs(20000)));
    VS_DestroySpeechEngine();
    return 0;
}
