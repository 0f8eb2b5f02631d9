#pragma once

#include <thread>

// Reads the system's font configuration on a thread of its own while Qt
// starts up: the first text the program draws would otherwise wait for it,
// and the first window with it. Started first thing in main(); the thread is
// joined when the object goes.
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread reader;
};
