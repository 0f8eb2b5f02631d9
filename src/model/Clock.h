#pragma once

#include <QDateTime>
#include <QtGlobal>

// The millisecond tick counter that short pauses and transition effects wait
// on. The program uses a monotonic clock; tests install a fake one.
class MsClock
{
public:
    virtual ~MsClock();
    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual qint64 milliseconds() = 0;
};

// The installed clock (the monotonic one unless a test installed another).
MsClock& msClock();
// Installs `clock` (not owned; nullptr puts the monotonic clock back) and
// returns the one it replaces, or nullptr for the monotonic one.
MsClock* setMsClock(MsClock* clock);

// Busy wait, without dispatching events, until the clock has advanced by at
// least `ms` milliseconds.
void waitTicks(qint64 ms);

// The date and time of day that the program writes down (the date of a
// stored run, the start of a run in progress, the time of an unsaved work).
// The program reads the system's clock; tests install a fixed one, so that
// two runs write the same bytes.
class WallClock
{
public:
    virtual ~WallClock();
    virtual QDateTime now() = 0;
};

// The local date and time now, from the installed wall clock.
QDateTime localNow();
// Installs `clock` (not owned; nullptr puts the system's clock back) and
// returns the one it replaces, or nullptr for the system's clock.
WallClock* setWallClock(WallClock* clock);
