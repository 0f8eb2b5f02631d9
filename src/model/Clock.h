#pragma once

#include <QDateTime>
#include <QObject>
#include <QtGlobal>

class QTimer;

// The millisecond tick counter that short pauses, transition effects and the
// timing of switch access are measured on. The program uses a monotonic
// clock; tests install a fake one.
class MsClock
{
public:
    virtual ~MsClock();
    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual qint64 milliseconds() = 0;
    // Waits until the clock has advanced by at least `ms` (events are not
    // dispatched meanwhile). The program's clock sleeps; a test's clock that
    // moves on at every reading just reads on.
    virtual void wait(qint64 ms);
    // True for a clock that fires the ClockTimers itself as it is moved on (a
    // test's clock); otherwise each timer waits on an event-loop timer of its
    // interval.
    virtual bool firesTimers() const { return false; }
    // The date and time of day (run names, the date of a stored run).
    virtual QDateTime dateTime();
};

// The installed clock (the monotonic one unless a test installed another).
MsClock& msClock();
// Installs `clock` (not owned; nullptr puts the monotonic clock back) and
// returns the one it replaces, or nullptr for the monotonic one.
MsClock* setMsClock(MsClock* clock);

// Waits, without dispatching events and without spinning, until the clock has
// advanced by at least `ms` milliseconds.
void waitTicks(qint64 ms);

// A timer measured on the installed clock: `timeout` comes once the clock has
// advanced by the interval since the start (and, repeating, every interval
// after that). With the program's clock it waits on a precise event-loop
// timer; a clock that fires timers calls them as it moves on.
class ClockTimer final : public QObject
{
    Q_OBJECT

public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    void setInterval(qint64 ms) { intervalMs = ms < 0 ? 0 : ms; }
    qint64 interval() const { return intervalMs; }
    void setSingleShot(bool single) { singleShot = single; }
    // Starts (again) with the interval; start(ms) sets the interval first.
    void start();
    void start(qint64 ms);
    void stop();
    bool isActive() const { return active; }
    // The clock reading at which it fires next (meaningful while active).
    qint64 dueAt() const { return due; }

    // For clocks that fire timers: the active timer due first at or before
    // `time` (the one started first among equals), or nullptr.
    static ClockTimer* firstDueBy(qint64 time);
    // Fires this timer now (the clock stands at its due time).
    void fire();

signals:
    void timeout();

private:
    QTimer* wake = nullptr;
    qint64 intervalMs = 0;
    qint64 due = 0;
    quint64 order = 0;
    bool singleShot = false;
    bool active = false;
};
