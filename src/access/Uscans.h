#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <memory>

class QAbstractButton;
class QKeyEvent;
class QTimer;
class QWidget;
class TJoystick;
class WindowsOver;

// The pupil's scanning device.
enum AccessDevice : int {
    spaceBarSwitch = 0,
    joystickDirectional = 1,
    joystickTwoButton = 2,
    joystickOneButton = 3,
    serialTwoSwitch = 4,
    serialOneSwitch = 5,
};

// What a switch, key or joystick tells the scanning.
enum ScanCommand : int {
    scanSelect = 0,
    scanNext = 1,
    scanUp = 2,
    scanDown = 3,
    scanLeft = 4,
    scanRight = 5,
};

// Scanning of the buttons of one panel, for a pupil who cannot use a mouse.
// The buttons (push buttons whose "tag" property is 0 or more; a button
// without one counts as 0) are taken in tag order; the current one is framed
// in magenta. The frame moves on by itself every step (space bar, one
// joystick button, one serial switch), on a step switch (two switches, two
// joystick buttons) or to the nearest button in a joystick direction, and a
// select switch clicks the framed button.
//
// It sees the events of the whole application (an event filter on it): paint
// events of the panel, to draw the frame, and with the space bar the keys
// Space, keypad +, Left, Right, Up and Down, which it keeps from every control
// of the program while `keyInput` is set. With a joystick device it owns the
// joystick (the first one), captured for the panel's window.
//
// While a window of the panel's window is open over it (a question, a
// dialog, a menu, a window with a scanning of its own) the scanning is held:
// the frame stays still and is not shown, no switch acts on it and the keys
// go to the window over it. When the last such window closes, the scanning
// goes on as it was.
class TScansione final : public QObject
{
    Q_OBJECT

public:
    static constexpr int markMargin = 6;
    static const QColor markColour;
    // Nothing at this distance or farther is reached by a joystick direction.
    static constexpr int directionLimit = 10000;

    TScansione(QWidget* container, int stepMs, AccessDevice device);
    ~TScansione() override;
    TScansione(const TScansione&) = delete;
    TScansione& operator=(const TScansione&) = delete;

    // The one entry of every switch, key and joystick.
    void performAction(ScanCommand command);
    // The step timer of the devices that step by themselves runs / stops.
    void startScanning();
    void stopScanning();
    // Collects and orders the buttons again (after tags changed), marks the
    // first one and starts the scanning.
    void rebuildList();

    // The step timer is running.
    bool running() const;
    // A window is open over the panel's window: the scanning is held.
    bool held() const { return isHeld; }
    // The joystick of the joystick devices (nullptr otherwise); its direction
    // event may be replaced by the window.
    TJoystick* joystick() const { return stick.get(); }
    // Where the frame is, in the coordinates of the current button's parent
    // (empty when there is no button).
    QRect markRect() const;
    QAbstractButton* currentButton() const;

    // The panel scanned and the device, as constructed.
    const QPointer<QWidget> container;
    const AccessDevice device;
    // The scanned buttons in scanning order. A button destroyed meanwhile
    // leaves nullptr in its place.
    QList<QAbstractButton*> buttons;
    // Index of the framed button in `buttons`.
    int current = 0;
    // The frame moves on by itself (space bar, one joystick button, one serial switch).
    const bool timed;
    // While set, the Space key does nothing (the window is busy).
    bool suspended = false;
    // While clear, the keys pass untouched (a text is being typed).
    bool keyInput = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Latch { latchSpace, latchPlus, latchLeft, latchRight, latchUp, latchDown, latchCount };

    void collect(QWidget* widget);
    void sortButtons();
    void clearList();
    bool usable(int index) const;
    void moveTo(int index);
    void updateMark(int index);
    void next();
    void move(ScanCommand direction);
    QPoint centreOf(QAbstractButton* button) const;
    bool keyHook(QEvent* event);
    void keyReleased(int latch, quint64 time);
    void joystickDirection(int direction);
    void joystickButton(int flags);
    static int latchOf(const QKeyEvent* key);

    void setHeld(bool held);

    QTimer* stepTimer = nullptr;
    std::unique_ptr<TJoystick> stick;
    std::unique_ptr<WindowsOver> windowsOver;
    // startScanning was called last (rather than stopScanning).
    bool wanted = false;
    bool isHeld = false;
    bool latches[latchCount] = {};
    // Time of the last release of each key, and its latch before it.
    quint64 releasedAt[latchCount] = {};
    bool latchAtRelease[latchCount] = {};
};
