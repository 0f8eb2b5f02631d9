#include "model/Clock.h"

#include <QElapsedTimer>
#include <QList>
#include <QThread>
#include <QTimer>

#include <limits>

MsClock::~MsClock() = default;

void MsClock::wait(qint64 ms)
{
    const qint64 start = milliseconds();
    while (milliseconds() - start < ms) {
    }
}

QDateTime MsClock::dateTime()
{
    return QDateTime::currentDateTime();
}

namespace {

class MonotonicClock final : public MsClock
{
public:
    MonotonicClock() { timer.start(); }
    qint64 milliseconds() override { return timer.elapsed(); }
    // Sleeps for the time left instead of spinning: a pause must not keep a
    // core busy (a school laptop runs on battery).
    void wait(qint64 ms) override
    {
        const qint64 start = timer.elapsed();
        for (qint64 left = ms; left > 0; left = ms - (timer.elapsed() - start))
            QThread::msleep(static_cast<unsigned long>(left));
    }

private:
    QElapsedTimer timer;
};

MsClock* installedClock = nullptr;

MsClock& monotonicClock()
{
    static MonotonicClock clock;
    return clock;
}

// Every clock timer alive, for the clocks that fire them.
QList<ClockTimer*>& clockTimers()
{
    static QList<ClockTimer*> timers;
    return timers;
}

quint64 startCount = 0;

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
    msClock().wait(ms);
}

ClockTimer::ClockTimer(QObject* parent) : QObject(parent), wake(new QTimer(this))
{
    wake->setTimerType(Qt::PreciseTimer);
    wake->setSingleShot(true);
    connect(wake, &QTimer::timeout, this, &ClockTimer::fire);
    clockTimers().append(this);
}

ClockTimer::~ClockTimer()
{
    clockTimers().removeAll(this);
}

void ClockTimer::start(qint64 ms)
{
    setInterval(ms);
    start();
}

void ClockTimer::start()
{
    MsClock& clock = msClock();
    due = clock.milliseconds() + intervalMs;
    order = ++startCount;
    active = true;
    if (clock.firesTimers())
        wake->stop();
    else
        wake->start(int(qMin<qint64>(intervalMs, std::numeric_limits<int>::max())));
}

void ClockTimer::stop()
{
    active = false;
    wake->stop();
}

ClockTimer* ClockTimer::firstDueBy(qint64 time)
{
    ClockTimer* first = nullptr;
    for (ClockTimer* timer : std::as_const(clockTimers())) {
        if (!timer->active || timer->due > time)
            continue;
        if (!first || timer->due < first->due
            || (timer->due == first->due && timer->order < first->order))
            first = timer;
    }
    return first;
}

void ClockTimer::fire()
{
    if (!active)
        return;
    if (singleShot) {
        active = false;
    } else {
        // The next time counts from this one's due time, so steps do not drift.
        due += qMax<qint64>(intervalMs, 1);
        order = ++startCount;
        if (!msClock().firesTimers())
            wake->start(int(qMin<qint64>(intervalMs, std::numeric_limits<int>::max())));
    }
    emit timeout();
}
