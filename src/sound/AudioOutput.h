#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>
#include <memory>

// Where the speech engine sends its sound: 16-bit signed mono samples in the
// machine's byte order. The sound device's output comes from the sound module
// (makeDeviceAudioOutput). The engine opens the output once and keeps it open;
// it feeds it from the user-interface thread a little at a time.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Opens (or reopens at another rate) the stream; false when nothing can play.
    virtual bool open(int sampleRate) = 0;
    // The rate the stream is open at, 0 when it is not open.
    virtual int sampleRate() const = 0;
    // How many bytes the output takes now without waiting.
    virtual qint64 bytesFree() = 0;
    // Takes up to `length` bytes; returns how many it took, -1 when the stream broke.
    virtual qint64 write(const char* data, qint64 length) = 0;
    // Microseconds of sound already written that have not been heard yet.
    virtual qint64 pendingUSecs() = 0;
    // Drops everything written that has not been heard yet; the stream stays usable.
    virtual void discard() = 0;
    // Nothing more follows for now: whatever was written must be heard even
    // when it is too short for the device to start on its own.
    virtual void finish() = 0;
};

// An output for tests and for recording: it keeps every sample written and
// "plays" them in real time, so the engine's timing is the same as with a
// device. `bufferMs` is the size of the simulated device buffer.
class CaptureAudioOutput final : public AudioOutput
{
public:
    explicit CaptureAudioOutput(int bufferMs = 200);

    bool open(int sampleRate) override;
    int sampleRate() const override { return rate; }
    qint64 bytesFree() override;
    qint64 write(const char* data, qint64 length) override;
    qint64 pendingUSecs() override;
    void discard() override;
    void finish() override {}

    // Every byte written so far (16-bit mono samples).
    QByteArray captured() const { return samples; }
    int discards() const { return discardCount; }
    int opens() const { return openCount; }
    // Refuse to open, as a machine without a sound device does.
    void setFailOpen(bool fail) { failOpen = fail; }
    // Plays `factor` times faster than real time from now on (1: real time).
    // What is captured stays the same; only the waiting gets shorter.
    void setPlaybackSpeed(int factor);
    void clear() { samples.clear(); }

private:
    qint64 nowUs() const;

    QElapsedTimer clock;
    qint64 clockBaseUs = 0; // simulated time when `clock` was last restarted
    int speed = 1;
    QByteArray samples;
    qint64 soundEndUs = 0;
    int bufferMs;
    int rate = 0;
    int discardCount = 0;
    int openCount = 0;
    bool failOpen = false;
};

// Writes 16-bit mono samples as a WAV file; false when it cannot be written.
bool writeWavFile(const QString& path, const QByteArray& samples, int sampleRate);
