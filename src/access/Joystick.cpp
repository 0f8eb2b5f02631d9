#include "access/Joystick.h"

#include "access/JoystickDriver.h"
#include "model/DialogService.h"

#include <QTimer>
#include <QVarLengthArray>
#include <QWidget>

namespace {

constexpr int maxButtons = 8;
constexpr int axisOffset = 32768; // the driver's -32768..32767 become 0..65535

QString captureErrorText(int code)
{
    switch (code) {
    case joyNoDriver:
        return QStringLiteral("Errore MMSYSERR_NODRIVER: il joystick non mandera' messaggi");
    case joyParms:
        return QStringLiteral("Errore JOYERR_PARMS: il joystick non mandera' messaggi");
    case joyNoCanDo:
        return QStringLiteral("Errore JOYERR_NOCANDO: il joystick non mandera' messaggi");
    case joyUnplugged:
        return QStringLiteral("Errore JOYERR_UNPLUGGED: il joystick non mandera' messaggi");
    default:
        return {};
    }
}

} // namespace

bool joystickPresent(int id, int& code)
{
    JoystickDriver& driver = joystickDriver();
    if (!driver.start()) {
        code = joyNoDriver;
        return false;
    }
    if (id < 0 || id > 15) {
        code = joyParms;
    } else {
        driver.update();
        if (driver.deviceCount() <= id)
            code = joyUnplugged;
        else
            code = driver.open(id) ? joyOk : joyNoCanDo;
    }
    driver.stop();
    return code == joyOk;
}

TJoystick::TJoystick(int joystickId, QObject* parent)
    : QObject(parent), id(joystickId),
      centre((axisMinimum + axisMaximum) / 2, (axisMinimum + axisMaximum) / 2), position(centre),
      captureTimer(new QTimer(this))
{
    captureTimer->setInterval(capturePeriod);
    connect(captureTimer, &QTimer::timeout, this, &TJoystick::poll);

    if (!joystickDriver().start()) {
        lastResult = joyNoDriver;
        showMessage(QStringLiteral("Errore MMSYSERR_NODRIVER: il joystick non funzionera'"));
        return;
    }
    serviceStarted = true;
    if (id < 0 || id > 1) {
        lastResult = joyParms;
        showMessage(QStringLiteral("Errore JOYERR_PARMS: il joystick non funzionera'"));
        return;
    }
    isAvailable = true;
}

TJoystick::~TJoystick()
{
    releaseCapture();
    if (serviceStarted)
        joystickDriver().stop();
}

bool TJoystick::openDevice()
{
    JoystickDriver& driver = joystickDriver();
    driver.update();
    if (driver.deviceCount() <= id) {
        lastResult = joyUnplugged;
        return false;
    }
    device = driver.open(id);
    if (!device) {
        lastResult = joyNoCanDo;
        return false;
    }
    // The state of a device just opened is known after the next update.
    driver.update();
    Reading reading;
    read(reading);
    buttonsBefore = reading.buttons;
    return true;
}

bool TJoystick::read(Reading& reading)
{
    if (!device)
        return false;
    const int axes = device->axisCount();
    // A device without a stick (a box of buttons) stays at the centre.
    reading.x = axes >= 1 ? device->axis(0) + axisOffset : centre.x();
    reading.y = axes >= 2 ? device->axis(1) + axisOffset : centre.y();
    reading.buttons = 0;
    const int count = std::min(device->buttonCount(), maxButtons);
    for (int i = 0; i < count; ++i) {
        if (device->button(i))
            reading.buttons |= 1 << i;
    }
    return true;
}

void TJoystick::startCapture(QWidget* captureTo)
{
    if (!isAvailable || isCaptured)
        return;
    if (!openDevice()) {
        const QString text = captureErrorText(lastResult);
        if (!text.isEmpty())
            showMessage(text);
        return;
    }
    lastResult = joyOk;
    isCaptured = true;
    window = captureTo;
    hadWindow = captureTo != nullptr;
    captureTimer->start();
}

void TJoystick::releaseCapture()
{
    if (!isCaptured)
        return;
    isCaptured = false;
    captureTimer->stop();
    device.reset();
    window = nullptr;
    hadWindow = false;
}

void TJoystick::setDeadZone(double fraction)
{
    // The range is known as soon as the joystick is available, so a dead zone
    // given before a capture that failed still holds when a later one succeeds.
    if (!isAvailable)
        return;
    if (fraction > 1)
        fraction = 1;
    if (!(fraction > 0))
        fraction = 0;
    hasDeadZone = true;
    zone = static_cast<int>(((axisMaximum - axisMinimum) / 2) * fraction);
}

void TJoystick::setCentre(int x, int y)
{
    centre = QPoint(x, y);
}

QPoint TJoystick::readPosition()
{
    if (!isAvailable)
        return position;
    JoystickDriver& driver = joystickDriver();
    Reading reading;
    if (device) {
        driver.update();
        if (device->attached() && read(reading))
            position = QPoint(reading.x, reading.y);
        return position;
    }
    // Not captured: open the joystick just for this reading.
    driver.update();
    if (driver.deviceCount() > id) {
        device = driver.open(id);
        if (device) {
            driver.update();
            if (read(reading))
                position = QPoint(reading.x, reading.y);
            device.reset();
        }
    }
    return position;
}

void TJoystick::poll()
{
    if (!isCaptured)
        return;
    if (hadWindow && !window) {
        // The window that asked for the joystick is gone.
        releaseCapture();
        return;
    }
    joystickDriver().update();
    if (device && !device->attached())
        device.reset();
    // A joystick pulled out and plugged in again is taken up again.
    if (!device && !openDevice())
        return;

    Reading reading;
    if (!read(reading))
        return;
    position = QPoint(reading.x, reading.y);

    // Work out every event of this reading first: a handler may open a window
    // whose event loop reads the joystick again before the handler returns.
    QVarLengthArray<int, 4> directions;
    if (OnDirection) {
        auto cross = [&directions](bool beyond, bool& latch, int direction) {
            if (beyond) {
                if (!latch) {
                    latch = true;
                    directions.append(direction);
                }
            } else {
                latch = false;
            }
        };
        cross(reading.y < centre.y() - zone, latchUp, joyUp);
        cross(reading.y > centre.y() + zone, latchDown, joyDown);
        cross(reading.x < centre.x() - zone, latchLeft, joyLeft);
        cross(reading.x > centre.x() + zone, latchRight, joyRight);
    }
    const int changed = reading.buttons ^ buttonsBefore;
    const int pressed = changed & reading.buttons;
    const int released = changed & ~reading.buttons;
    buttonsBefore = reading.buttons;

    const quint64 thisPoll = ++polls;
    QPointer<TJoystick> self(this);
    auto goOn = [&]() { return self && isCaptured && polls == thisPoll; };

    if (OnMove) {
        const auto handler = OnMove;
        handler(reading.x, reading.y, reading.buttons);
        if (!goOn())
            return;
    }
    for (int direction : directions) {
        if (!OnDirection)
            break;
        const auto handler = OnDirection;
        handler(direction);
        if (!goOn())
            return;
    }
    if (pressed && OnButtonDown) {
        const auto handler = OnButtonDown;
        handler(reading.buttons | (pressed << 8), reading.x, reading.y);
        if (!goOn())
            return;
    }
    if (released && OnButtonUp) {
        const auto handler = OnButtonUp;
        handler(reading.buttons | (released << 8), reading.x, reading.y);
    }
}
