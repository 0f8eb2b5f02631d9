#include "access/JoystickDriver.h"

#include "model/OnDemandLibrary.h"

#include <SDL.h>

JoystickHandle::~JoystickHandle() = default;
JoystickDriver::~JoystickDriver() = default;

namespace {

// The functions of SDL2 the driver calls; SDL2 is opened when a joystick is
// first looked for.
struct Sdl {
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_JoystickEventState) JoystickEventState = nullptr;
    decltype(&SDL_JoystickUpdate) JoystickUpdate = nullptr;
    decltype(&SDL_NumJoysticks) NumJoysticks = nullptr;
    decltype(&SDL_JoystickOpen) JoystickOpen = nullptr;
    decltype(&SDL_JoystickClose) JoystickClose = nullptr;
    decltype(&SDL_JoystickGetAttached) JoystickGetAttached = nullptr;
    decltype(&SDL_JoystickNumAxes) JoystickNumAxes = nullptr;
    decltype(&SDL_JoystickNumButtons) JoystickNumButtons = nullptr;
    decltype(&SDL_JoystickGetAxis) JoystickGetAxis = nullptr;
    decltype(&SDL_JoystickGetButton) JoystickGetButton = nullptr;
};

// SDL2's functions, or nullptr when the library cannot be opened.
const Sdl* sdl()
{
    static OnDemandLibrary library("SDL2-2.0", 0);
    static Sdl functions;
    static const bool loaded = [] {
        if (!library.load())
            return false;
        bool all = true;
        all &= library.resolve(functions.SetHint, "SDL_SetHint");
        all &= library.resolve(functions.InitSubSystem, "SDL_InitSubSystem");
        all &= library.resolve(functions.QuitSubSystem, "SDL_QuitSubSystem");
        all &= library.resolve(functions.JoystickEventState, "SDL_JoystickEventState");
        all &= library.resolve(functions.JoystickUpdate, "SDL_JoystickUpdate");
        all &= library.resolve(functions.NumJoysticks, "SDL_NumJoysticks");
        all &= library.resolve(functions.JoystickOpen, "SDL_JoystickOpen");
        all &= library.resolve(functions.JoystickClose, "SDL_JoystickClose");
        all &= library.resolve(functions.JoystickGetAttached, "SDL_JoystickGetAttached");
        all &= library.resolve(functions.JoystickNumAxes, "SDL_JoystickNumAxes");
        all &= library.resolve(functions.JoystickNumButtons, "SDL_JoystickNumButtons");
        all &= library.resolve(functions.JoystickGetAxis, "SDL_JoystickGetAxis");
        all &= library.resolve(functions.JoystickGetButton, "SDL_JoystickGetButton");
        return all;
    }();
    return loaded ? &functions : nullptr;
}

class SdlJoystickHandle final : public JoystickHandle
{
public:
    SdlJoystickHandle(const Sdl& functions, SDL_Joystick* opened) : api(functions), joystick(opened) {}
    ~SdlJoystickHandle() override { api.JoystickClose(joystick); }
    SdlJoystickHandle(const SdlJoystickHandle&) = delete;
    SdlJoystickHandle& operator=(const SdlJoystickHandle&) = delete;

    bool attached() override { return api.JoystickGetAttached(joystick) == SDL_TRUE; }
    int axisCount() override { return api.JoystickNumAxes(joystick); }
    int buttonCount() override { return api.JoystickNumButtons(joystick); }
    int axis(int index) override { return api.JoystickGetAxis(joystick, index); }
    bool button(int index) override { return api.JoystickGetButton(joystick, index) != 0; }

private:
    const Sdl& api;
    SDL_Joystick* joystick;
};

class SdlJoystickDriver final : public JoystickDriver
{
public:
    // Without SDL2 there is no joystick service, as when it cannot start.
    bool start() override
    {
        api = sdl();
        if (!api)
            return false;
        // SDL must not take over SIGINT and SIGTERM from the program, and the
        // joystick is read whichever window has the focus.
        api->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        api->SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        if (api->InitSubSystem(SDL_INIT_JOYSTICK) != 0)
            return false;
        // The state is read by polling: no event queue fills up unread.
        api->JoystickEventState(SDL_IGNORE);
        return true;
    }
    void stop() override
    {
        if (api)
            api->QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void update() override
    {
        if (api)
            api->JoystickUpdate();
    }
    int deviceCount() override { return api ? api->NumJoysticks() : 0; }
    std::unique_ptr<JoystickHandle> open(int index) override
    {
        SDL_Joystick* joystick = api ? api->JoystickOpen(index) : nullptr;
        if (!joystick)
            return nullptr;
        return std::make_unique<SdlJoystickHandle>(*api, joystick);
    }

private:
    const Sdl* api = nullptr;
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
