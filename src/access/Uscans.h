#pragma once

#include "model/PupilProfile.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>

class QAbstractButton;
class ClockTimer;
class QKeyEvent;
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

// Where auditory scanning speaks the buttons' names (the speech component,
// given by the window). `say` cuts off what was being said.
struct ScanVoice {
    std::function<void(const QString& label)> say;
    std::function<bool()> talking;
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
// The pupil's timing (ScanTiming) sets the step, the extra time on the button
// where the scan starts again, how long a switch must be held to count, how
// long presses are ignored after an accepted one, how many full rounds the
// frame makes before it stops and waits for a press, whether each button's
// name is spoken as the frame reaches it (the step then waits for the name to
// be said), and the frame's thickness. Every time is measured on the
// program's clock (model/Clock.h).
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
    // The thickness of the usual frame (a large frame is twice as thick).
    static constexpr int markMargin = ScanTiming::normalMargin;
    // While the step waits for a name to be said, it looks again this often.
    static constexpr int voicePollMs = 100;
    static const QColor markColour;
    // Nothing at this distance or farther is reached by a joystick direction.
    static constexpr int directionLimit = 10000;

    TScansione(QWidget* container, int stepMs, AccessDevice device);
    TScansione(QWidget* container, const ScanTiming& timing, AccessDevice device);
    ~TScansione() override;
    TScansione(const TScansione&) = delete;
    TScansione& operator=(const TScansione&) = delete;

    // The one entry of every switch, key and joystick: the command is carried out now.
    void performAction(ScanCommand command);
    // A switch went down (the space bar, a joystick button, a serial switch).
    // Presses within the ignore time of the last accepted one are ignored;
    // with an acceptance time the command is carried out once the switch has
    // been held that long (`stillHeld`, when given, is asked then), and the
    // frame waits meanwhile. A press while the scan has stopped after its
    // rounds starts it again on the first button instead.
    void switchPressed(ScanCommand command, std::function<bool()> stillHeld = {});
    // The switch went up: a press not yet accepted counts for nothing.
    void switchReleased();
    // Where the buttons' names are spoken (auditory scanning only).
    void setVoice(ScanVoice voice) { speaker = std::move(voice); }
    const ScanTiming& timing() const { return scanTiming; }
    // The scan stopped after its rounds and waits for a press (no frame shown).
    bool waiting() const { return stoppedAfterRounds; }
    // A press is being held and not yet accepted.
    bool pressPending() const { return pending; }
    // The step timer of the devices that step by themselves runs / stops.
    void startScanning();
    void stopScanning();
    // Collects and orders the buttons again (after tags changed), marks the
    // first one and starts the scanning.
    void rebuildList();

    // The frame moves on by itself now (a press being held only holds it).
    bool running() const;
    // A window is open over the panel's window: the scanning is held.
    bool held() const { return isHeld; }
    // The joystick of the joystick devices (nullptr otherwise); its direction
    // event may be replaced by the window.
    TJoystick* joystick() const { return stick.get(); }
    // Where the frame is, in the coordinates of the current button's parent
    // (empty when there is no button or the scan waits after its rounds).
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
    int frameMargin() const { return scanTiming.frameMargin(); }
    void stepTick();
    void accept(ScanCommand command);
    void cancelPending();
    void restartAfterRounds();
    void announce();
    int usableCount() const;
    QString labelOf(const QAbstractButton* button) const;
    void setHeld(bool held);

    ScanTiming scanTiming;
    ScanVoice speaker;
    ClockTimer* stepTimer = nullptr;
    ClockTimer* acceptTimer = nullptr;
    // Steps since the scan (re)started or a press was accepted.
    int steps = 0;
    bool stoppedAfterRounds = false;
    bool pending = false;
    ScanCommand pendingCommand = scanSelect;
    std::function<bool()> pendingHeld;
    // The step was running when the pending press came.
    bool stepWasRunning = false;
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
