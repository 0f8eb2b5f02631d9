#pragma once

#include <QtGlobal>

class ClockTimer;

// The time limit per sentence of a run, kept by the run window's timer on the
// program's clock (model/Clock.h). It counts only while the pupil can answer:
// held while a window is open over the run window, it goes on from where it
// was when that window closes.
class SentenceTimeLimit
{
public:
    explicit SentenceTimeLimit(ClockTimer* limitTimer) : timer(limitTimer) {}

    // The whole limit of one sentence, in milliseconds.
    void setLimit(qint64 ms) { limit = ms; }
    // The whole limit again, for the sentence on screen.
    void start();
    void stop();
    // Counting, or held to go on later.
    bool isOn() const { return on; }
    // Holds may nest; the count goes on when the last one is released.
    void hold();
    void release();

private:
    ClockTimer* timer;
    qint64 limit = 0;
    bool on = false;
    int holds = 0;
    qint64 used = 0;    // counted before the last hold
    qint64 since = 0;   // clock reading when the count last went on
};
