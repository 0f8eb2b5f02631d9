#include "model/Clock.h"

#include <QElapsedTimer>

MsClock::~MsClock() = default;
WallClock::~WallClock() = default;

namespace {

class MonotonicClock final : public MsClock
{
public:
    MonotonicClock() { timer.start(); }
    qint64 milliseconds() override { return timer.elapsed(); }

private:
    QElapsedTimer timer;
};

MsClock* installedClock = nullptr;
WallClock* installedWallClock = nullptr;

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
    while (clock.milliseconds() - start < ms) {
    }
}

QDateTime localNow()
{
    return installedWallClock ? installedWallClock->now() : QDateTime::currentDateTime();
}

WallClock* setWallClock(WallClock* clock)
{
    WallClock* previous = installedWallClock;
    installedWallClock = clock;
    return previous;
}
