#include "speech/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

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

} // namespace

AudioOutput::~AudioOutput() = default;

// ---------------------------------------------------------------------------
// QtAudioOutput

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

// ---------------------------------------------------------------------------
// CaptureAudioOutput

CaptureAudioOutput::CaptureAudioOutput(int bufferMilliseconds)
    : bufferMs(bufferMilliseconds)
{
    clock.start();
}

qint64 CaptureAudioOutput::nowUs() const
{
    return clockBaseUs + clock.nsecsElapsed() / 1000 * speed;
}

void CaptureAudioOutput::setPlaybackSpeed(int factor)
{
    clockBaseUs = nowUs();
    clock.restart();
    speed = std::max(1, factor);
}

bool CaptureAudioOutput::open(int sampleRate)
{
    ++openCount;
    if (failOpen || sampleRate <= 0)
        return false;
    rate = sampleRate;
    soundEndUs = 0;
    return true;
}

qint64 CaptureAudioOutput::bytesFree()
{
    if (rate <= 0)
        return 0;
    const qint64 capacity = qint64(rate) * BytesPerSample * bufferMs / 1000;
    const qint64 pendingBytes = pendingUSecs() * rate / 1000000 * BytesPerSample;
    return std::max<qint64>(0, capacity - pendingBytes);
}

qint64 CaptureAudioOutput::write(const char* data, qint64 length)
{
    if (rate <= 0)
        return -1;
    const qint64 taken = std::min(length, bytesFree()) / BytesPerSample * BytesPerSample;
    samples.append(data, taken);
    soundEndUs = std::max(soundEndUs, nowUs()) + bytesToUs(taken, rate);
    return taken;
}

qint64 CaptureAudioOutput::pendingUSecs()
{
    return std::max<qint64>(0, soundEndUs - nowUs());
}

void CaptureAudioOutput::discard()
{
    ++discardCount;
    soundEndUs = 0;
}

// ---------------------------------------------------------------------------

bool writeWavFile(const QString& path, const QByteArray& samples, int sampleRate)
{
    QByteArray header(44, '\0');
    auto put32 = [&header](int offset, quint32 value) {
        qToLittleEndian<quint32>(value, header.data() + offset);
    };
    auto put16 = [&header](int offset, quint16 value) {
        qToLittleEndian<quint16>(value, header.data() + offset);
    };
    header.replace(0, 4, "RIFF");
    put32(4, quint32(36 + samples.size()));
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);                     // PCM
    put16(22, 1);                     // mono
    put32(24, quint32(sampleRate));
    put32(28, quint32(sampleRate * BytesPerSample));
    put16(32, BytesPerSample);
    put16(34, 16);
    header.replace(36, 4, "data");
    put32(40, quint32(samples.size()));

    QByteArray body = samples;
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
        for (qsizetype i = 0; i + 1 < body.size(); i += 2)
            std::swap(body[i], body[i + 1]);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(header) != header.size() || file.write(body) != body.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
