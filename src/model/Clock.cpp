#include "model/Clock.h"

#include <QElapsedTimer>
#include <QThread>

MsClock::~MsClock() = default;

namespace {

class MonotonicClock final : public MsClock
{
public:
    MonotonicClock() { timer.start(); }
    qint64 milliseconds() override { return timer.elapsed(); }
    void sleepFor(qint64 ms) override { QThread::msleep(static_cast<unsigned long>(ms)); }

private:
    QElapsedTimer timer;
};

MsClock* installedClock = nullptr;

MsClock& monotonicClock()
{
    static MonotonicClock clock;
    return clock;
}

} // namespace

MsClock& msClock()
{
    return installedClock ? *installedClock : monotonicClock();
}

MsClock* setMsClock(MsClock* clock)
{
    MsClock* previous = installedClock;
    installedClock = clock;
    return previous;
}

void waitTicks(qint64 ms)
{
    MsClock& clock = msClock();
    const qint64 start = clock.milliseconds();
    for (qint64 left = ms; left > 0; left = ms - (clock.milliseconds() - start))
        clock.sleepFor(left);
}
