#include "access/JoystickDriver.h"

#include <SDL.h>

JoystickHandle::~JoystickHandle() = default;
JoystickDriver::~JoystickDriver() = default;

namespace {

class SdlJoystickHandle final : public JoystickHandle
{
public:
    explicit SdlJoystickHandle(SDL_Joystick* opened) : joystick(opened) {}
    ~SdlJoystickHandle() override { SDL_JoystickClose(joystick); }
    SdlJoystickHandle(const SdlJoystickHandle&) = delete;
    SdlJoystickHandle& operator=(const SdlJoystickHandle&) = delete;

    bool attached() override { return SDL_JoystickGetAttached(joystick) == SDL_TRUE; }
    int axisCount() override { return SDL_JoystickNumAxes(joystick); }
    int buttonCount() override { return SDL_JoystickNumButtons(joystick); }
    int axis(int index) override { return SDL_JoystickGetAxis(joystick, index); }
    bool button(int index) override { return SDL_JoystickGetButton(joystick, index) != 0; }

private:
    SDL_Joystick* joystick;
};

class SdlJoystickDriver final : public JoystickDriver
{
public:
    bool start() override
    {
        // SDL must not take over SIGINT and SIGTERM from the program, and the
        // joystick is read whichever window has the focus.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
            return false;
        // The state is read by polling: no event queue fills up unread.
        SDL_JoystickEventState(SDL_IGNORE);
        return true;
    }
    void stop() override { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }
    void update() override { SDL_JoystickUpdate(); }
    int deviceCount() override { return SDL_NumJoysticks(); }
    std::unique_ptr<JoystickHandle> open(int index) override
    {
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        if (!joystick)
            return nullptr;
        return std::make_unique<SdlJoystickHandle>(joystick);
    }
};

SdlJoystickDriver sdlDriver;
JoystickDriver* installed = nullptr;

} // namespace

JoystickDriver& joystickDriver()
{
    return installed ? *installed : sdlDriver;
}

JoystickDriver* setJoystickDriver(JoystickDriver* driver)
{
    JoystickDriver* previous = installed;
    installed = driver;
    return previous;
}
