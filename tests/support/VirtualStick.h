#pragma once

#include <SDL.h>

// A joystick of SDL's own, plugged in while it exists and moved by the test;
// SDL reads it like a real one. The test starts SDL's joystick service first.
class VirtualStick
{
public:
    explicit VirtualStick(int axes = 2, int buttons = 4)
    {
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, 0);
        if (index >= 0)
            joystick = SDL_JoystickOpen(index);
    }
    ~VirtualStick()
    {
        if (joystick)
            SDL_JoystickClose(joystick);
        if (index >= 0)
            SDL_JoystickDetachVirtual(index);
    }
    VirtualStick(const VirtualStick&) = delete;
    VirtualStick& operator=(const VirtualStick&) = delete;

    bool ok() const { return joystick != nullptr; }
    void button(int index0, bool down) { SDL_JoystickSetVirtualButton(joystick, index0, down ? 1 : 0); }
    // The stick at (x, y) in the program's units, 0..65535.
    void at(int x, int y)
    {
        SDL_JoystickSetVirtualAxis(joystick, 0, Sint16(x - 32768));
        SDL_JoystickSetVirtualAxis(joystick, 1, Sint16(y - 32768));
    }

private:
    int index = -1;
    SDL_Joystick* joystick = nullptr;
};
