#pragma once

#include <QtGlobal>

// The millisecond tick counter that short pauses and transition effects wait
// on. The program uses a monotonic clock; tests install a fake one.
class MsClock
{
public:
    virtual ~MsClock();
    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual qint64 milliseconds() = 0;
    // Lets `ms` milliseconds pass without using the processor. The monotonic
    // clock sleeps; a clock that moves on by itself need not do anything.
    virtual void sleepFor(qint64 ms) { Q_UNUSED(ms) }
};

// The installed clock (the monotonic one unless a test installed another).
MsClock& msClock();
// Installs `clock` (not owned; nullptr puts the monotonic clock back) and
// returns the one it replaces, or nullptr for the monotonic one.
MsClock* setMsClock(MsClock* clock);

// Waits, without dispatching events and without spinning, until the clock has
// advanced by at least `ms` milliseconds.
void waitTicks(qint64 ms);
