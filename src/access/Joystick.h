#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <memory>

class JoystickHandle;
class QTimer;
class QWidget;

// Result codes of the joystick, as the set-up dialog and the messages name them.
enum JoystickResult : int {
    joyOk = 0,
    joyNoDriver = 6,     // MMSYSERR_NODRIVER: no joystick service on this system
    joyParms = 165,      // JOYERR_PARMS: no such joystick number
    joyNoCanDo = 166,    // JOYERR_NOCANDO: the joystick cannot be opened
    joyUnplugged = 167,  // JOYERR_UNPLUGGED: no joystick plugged in
};

// Directions reported by TJoystick::OnDirection.
enum JoystickDirection : int { joyUp = 0, joyDown = 1, joyRight = 2, joyLeft = 3 };

// Button flags of the button events: bit i (0x1, 0x2, 0x4 ...) is set while
// button i + 1 is down; bit 8 + i (0x100, 0x200 ...) marks the buttons whose
// state changed in this event. Buttons 1 to 8 are reported.
enum JoystickButtonFlag : int {
    joyButton1 = 0x1,
    joyButton2 = 0x2,
    joyButton1Changed = 0x100,
    joyButton2Changed = 0x200,
};

// Whether joystick `id` (0 = the first) is plugged in and can be read; `code`
// receives joyOk, joyNoDriver, joyParms, joyUnplugged or joyNoCanDo.
bool joystickPresent(int id, int& code);

// A game joystick read every 100 ms while it is captured. Positions are 0 to
// 65535 on both axes (y grows downward) and become four events: every reading
// (OnMove), a direction crossed beyond the dead zone (OnDirection, once until
// the stick comes back), a button pressed (OnButtonDown) and released
// (OnButtonUp). The events may be replaced at any time.
class TJoystick final : public QObject
{
    Q_OBJECT

public:
    static constexpr int capturePeriod = 100;
    static constexpr int axisMinimum = 0;
    static constexpr int axisMaximum = 65535;

    // Starts the joystick service for joystick `joystickId` (0 or 1). Without
    // a service, or with another number, it shows why and stays unavailable.
    explicit TJoystick(int joystickId, QObject* parent = nullptr);
    ~TJoystick() override;

    // Begins reading the joystick for `window`. A joystick that cannot be
    // read is reported to the user and no event fires.
    void startCapture(QWidget* window);
    void releaseCapture();
    // The dead zone as a fraction (0 to 1) of half the X range.
    void setDeadZone(double fraction);
    void setCentre(int x, int y);
    // The present position (the last one known when the joystick cannot be read).
    QPoint readPosition();
    // One reading, as the capture timer does it.
    void poll();

    int joystickId() const { return id; }
    bool available() const { return isAvailable; }
    bool captured() const { return isCaptured; }
    bool deadZoneSet() const { return hasDeadZone; }
    int deadZone() const { return zone; }
    int centreX() const { return centre.x(); }
    int centreY() const { return centre.y(); }
    QWidget* captureWindow() const { return window; }
    // The code of the last failed start or capture (joyOk when none failed).
    int lastError() const { return lastResult; }

    std::function<void(int x, int y, int buttons)> OnMove;
    std::function<void(int direction)> OnDirection;
    std::function<void(int buttons, int x, int y)> OnButtonDown;
    std::function<void(int buttons, int x, int y)> OnButtonUp;

private:
    struct Reading {
        int x = 0;
        int y = 0;
        int buttons = 0;
    };
    bool openDevice();
    bool read(Reading& reading);
    void crossDirections(int x, int y);

    int id;
    bool serviceStarted = false;
    bool isAvailable = false;
    bool isCaptured = false;
    bool hadWindow = false;
    bool hasDeadZone = false;
    int zone = 0;
    QPoint centre;
    QPoint position;
    bool latchUp = false;
    bool latchDown = false;
    bool latchRight = false;
    bool latchLeft = false;
    int buttonsBefore = 0;
    int lastResult = joyOk;
    quint64 polls = 0;
    QPointer<QWidget> window;
    std::unique_ptr<JoystickHandle> device;
    QTimer* captureTimer = nullptr;
};
