#include "execution/TimeLimit.h"

#include "model/Clock.h"

#include <algorithm>

void SentenceTimeLimit::start()
{
    on = true;
    used = 0;
    timer->stop();
    timer->setInterval(limit);
    if (holds == 0) {
        since = msClock().milliseconds();
        timer->start();
    }
}

void SentenceTimeLimit::stop()
{
    on = false;
    used = 0;
    timer->stop();
}

void SentenceTimeLimit::hold()
{
    if (holds++ > 0 || !on)
        return;
    used += msClock().milliseconds() - since;
    timer->stop();
}

void SentenceTimeLimit::release()
{
    if (holds == 0 || --holds > 0 || !on)
        return;
    since = msClock().milliseconds();
    timer->start(std::max<qint64>(limit - used, 0));
}
