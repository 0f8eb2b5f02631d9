// The sound module: the program's sound devices through Qt Multimedia. It is
// a library of its own, opened the first time a sound plays or the speech
// engine starts, so that Qt Multimedia and the sound server's libraries are
// not loaded before the first window. It offers two functions, below.
#include "sound/AudioOutput.h"
#include "sound/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace {

constexpr int BytesPerSample = 2;
// The device buffer: short enough that stopping is heard at once even where
// the buffer cannot be dropped, long enough to ride over a busy moment of
// the user-interface thread.
constexpr int DeviceBufferMs = 150;
// How much longer than the written sound a device may lag before the engine
// stops waiting for it.
constexpr qint64 DeviceLagAllowanceUs = 1500000;

qint64 bytesToUs(qint64 bytes, int rate)
{
    return rate > 0 ? bytes / BytesPerSample * 1000000 / rate : 0;
}

// The sound device through QAudioSink (push mode). Opening fails cleanly when
// the machine has no audio output.
class QtAudioOutput final : public AudioOutput
{
public:
    QtAudioOutput();
    ~QtAudioOutput() override;
    QtAudioOutput(const QtAudioOutput&) = delete;
    QtAudioOutput& operator=(const QtAudioOutput&) = delete;

    bool open(int sampleRate) override;
    int sampleRate() const override { return rate; }
    qint64 bytesFree() override;
    qint64 write(const char* data, qint64 length) override;
    qint64 pendingUSecs() override;
    void discard() override;
    void finish() override;

private:
    bool startStream();
    void close();
    qint64 queuedBytes();

    std::unique_ptr<QAudioSink> sink;
    QIODevice* device = nullptr;
    int rate = 0;
    qint64 paddingBytes = 0;      // silence queued behind the last sound by finish()
    QElapsedTimer wallClock;      // bounds the wait when the device stops playing
    qint64 wallSoundEndUs = 0;
};

// QSoundEffect loads the file in the background and plays it once loaded;
// a file that cannot be loaded leaves it silent.
class EffectPlayer final : public SoundPlayer
{
public:
    EffectPlayer() { effect.setObjectName(QStringLiteral("MediaPlayer1")); }
    void play(const QString& path) override
    {
        effect.setSource(QUrl::fromLocalFile(path));
        effect.setLoopCount(1);
        effect.play();
    }
    void stop() override { effect.stop(); }

private:
    QSoundEffect effect;
};

} // namespace

extern "C" Q_DECL_EXPORT AudioOutput* salientaNewAudioOutput()
{
    return new QtAudioOutput;
}

extern "C" Q_DECL_EXPORT SoundPlayer* salientaNewSoundPlayer()
{
    return new EffectPlayer;
}

QtAudioOutput::QtAudioOutput()
{
    wallClock.start();
}

QtAudioOutput::~QtAudioOutput()
{
    close();
}

void QtAudioOutput::close()
{
    if (sink) {
        sink->stop();
        sink.reset();
    }
    device = nullptr;
    rate = 0;
}

bool QtAudioOutput::open(int sampleRate)
{
    close();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull() || sampleRate <= 0)
        return false;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!output.isFormatSupported(format))
        return false;
    sink = std::make_unique<QAudioSink>(output, format);
    sink->setBufferSize(qint64(sampleRate) * BytesPerSample * DeviceBufferMs / 1000);
    rate = sampleRate;
    if (!startStream()) {
        close();
        return false;
    }
    return true;
}

bool QtAudioOutput::startStream()
{
    device = sink->start();
    paddingBytes = 0;
    wallSoundEndUs = 0;
    if (device == nullptr || sink->error() != QAudio::NoError
        || sink->state() == QAudio::StoppedState)
        return false;
    // A buffer of silence gets the stream going now, so the first sentence
    // does not wait for the sound server to start it.
    const QByteArray silence(bytesFree() & ~qint64(1), '\0');
    paddingBytes = std::max<qint64>(0, device->write(silence.constData(), silence.size()));
    return true;
}

qint64 QtAudioOutput::bytesFree()
{
    if (!sink || !device)
        return 0;
    return std::max<qint64>(0, sink->bytesFree());
}

qint64 QtAudioOutput::queuedBytes()
{
    if (!sink || !device || sink->state() == QAudio::StoppedState)
        return 0;
    return std::max<qint64>(0, sink->bufferSize() - sink->bytesFree());
}

qint64 QtAudioOutput::write(const char* data, qint64 length)
{
    if (!sink || !device || sink->state() == QAudio::StoppedState)
        return -1;
    const qint64 taken = device->write(data, length);
    if (taken < 0)
        return -1;
    if (taken > 0)
        paddingBytes = 0;
    const qint64 now = wallClock.nsecsElapsed() / 1000;
    wallSoundEndUs = std::max(wallSoundEndUs, now) + bytesToUs(taken, rate);
    return taken;
}

qint64 QtAudioOutput::pendingUSecs()
{
    // The device's buffer holds what has not been played yet; the silence
    // put behind the last sound does not count. The wall clock bounds the
    // wait should the device stop playing.
    const qint64 byDevice = bytesToUs(queuedBytes() - paddingBytes, rate);
    const qint64 byClock = wallSoundEndUs + DeviceLagAllowanceUs - wallClock.nsecsElapsed() / 1000;
    return std::max<qint64>(0, std::min(byDevice, byClock));
}

void QtAudioOutput::finish()
{
    // The sound server starts a stream only once its buffer is full enough;
    // silence behind a short last sound lets it start and play it whole.
    if (paddingBytes > 0 || queuedBytes() == 0)
        return;
    const qint64 free = bytesFree() & ~qint64(1);
    if (free <= 0)
        return;
    const QByteArray silence(free, '\0');
    const qint64 taken = device->write(silence.constData(), silence.size());
    if (taken > 0)
        paddingBytes = taken;
}

void QtAudioOutput::discard()
{
    // The stream stays open: reopening it would make the sound server wait
    // before it plays again. What the device buffer still holds (a fraction
    // of a second) plays out and is no longer counted as ours.
    paddingBytes = queuedBytes();
    wallSoundEndUs = 0;
}
