#pragma once

#include <memory>

// One opened joystick device.
class JoystickHandle
{
public:
    virtual ~JoystickHandle();
    // Still connected.
    virtual bool attached() = 0;
    virtual int axisCount() = 0;
    virtual int buttonCount() = 0;
    // Axis position from -32768 to 32767 (y grows downward), as read by the
    // last update of the driver.
    virtual int axis(int index) = 0;
    virtual bool button(int index) = 0;
};

// The system's joystick service. The program uses SDL2; tests that need a
// broken system install a driver of their own.
class JoystickDriver
{
public:
    virtual ~JoystickDriver();
    // Starts the joystick service; every successful start is balanced by a stop.
    // False: there is no joystick service on this system.
    virtual bool start() = 0;
    virtual void stop() = 0;
    // Reads the present state of every open device and notices devices
    // plugged in or pulled out.
    virtual void update() = 0;
    virtual int deviceCount() = 0;
    // Opens device `index` (0 = first); nullptr when it cannot be opened.
    virtual std::unique_ptr<JoystickHandle> open(int index) = 0;
};

// The installed driver (SDL2 unless a test installed another).
JoystickDriver& joystickDriver();
// Installs `driver` (not owned; nullptr puts SDL2 back) and returns the one it
// replaces, or nullptr for SDL2.
JoystickDriver* setJoystickDriver(JoystickDriver* driver);
