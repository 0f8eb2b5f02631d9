#include "sound/AudioOutput.h"

#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr int BytesPerSample = 2;

qint64 bytesToUs(qint64 bytes, int rate)
{
    return rate > 0 ? bytes / BytesPerSample * 1000000 / rate : 0;
}

} // namespace

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
