#pragma once

#include "access/JoystickDriver.h"

#include <memory>

// A system whose joystick service is missing (serviceWorks false) or sees a
// joystick it cannot open. Installed while it exists.
class BrokenDriver final : public JoystickDriver
{
public:
    explicit BrokenDriver(bool serviceWorks) : works(serviceWorks) { previous = setJoystickDriver(this); }
    ~BrokenDriver() override { setJoystickDriver(previous); }
    BrokenDriver(const BrokenDriver&) = delete;
    BrokenDriver& operator=(const BrokenDriver&) = delete;

    bool start() override { return works; }
    void stop() override {}
    void update() override {}
    int deviceCount() override { return 1; }
    std::unique_ptr<JoystickHandle> open(int) override { return nullptr; }

private:
    bool works;
    JoystickDriver* previous = nullptr;
};
