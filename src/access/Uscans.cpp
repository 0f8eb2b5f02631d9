#include "access/Uscans.h"

#include "access/Joystick.h"
#include "access/WindowsOver.h"
#include "model/Clock.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRadioButton>
#include <QWidget>

#include <cmath>
#include <utility>

const QColor TScansione::markColour = QColor(255, 0, 255);

namespace {

bool isPushButton(QWidget* widget)
{
    return qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QCheckBox*>(widget)
           && !qobject_cast<QRadioButton*>(widget);
}

// A button without a tag takes part as tag 0.
int tagOf(const QWidget* widget)
{
    const QVariant tag = widget->property("tag");
    return tag.isValid() ? tag.toInt() : 0;
}

constexpr double joystickDeadZone = 0.4;

// The window that opened `window`, if any.
QWidget* openerOf(const QWidget* window)
{
    return window->parentWidget() ? window->parentWidget()->window() : nullptr;
}

// Whether a modal window (a question, the exercise chooser) keeps the input
// from `window`, as it keeps the mouse and the keys from it.
bool blockedByModal(QWidget* window)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !window)
        return false;
    // The modal window itself, and the windows opened over it, take input.
    for (QWidget* w = window; w; w = openerOf(w)) {
        if (w == modal)
            return false;
    }
    if (modal->windowModality() != Qt::WindowModal)
        return true;
    // Modal for one window: it keeps that window and the ones behind it.
    for (QWidget* w = openerOf(modal); w; w = openerOf(w)) {
        if (w == window)
            return true;
    }
    return false;
}

// Every scanning alive, oldest first. The newest one with key input keeps a
// key release from the older ones, which must still see their press end.
QList<TScansione*>& liveScannings()
{
    static QList<TScansione*> scannings;
    return scannings;
}

} // namespace

namespace {

ScanTiming timingWithStep(int stepMs)
{
    ScanTiming timing;
    timing.stepMs = stepMs;
    return timing;
}

// The last press accepted by any scanning: a second press of a tremor that
// comes when the first one has opened another window is ignored there too.
struct LastAccepted {
    bool any = false;
    qint64 at = 0;
};

LastAccepted& lastAccepted()
{
    static LastAccepted last;
    return last;
}

} // namespace

TScansione::TScansione(QWidget* panel, int stepMs, AccessDevice accessDevice)
    : TScansione(panel, timingWithStep(stepMs), accessDevice)
{
}

TScansione::TScansione(QWidget* panel, const ScanTiming& timing, AccessDevice accessDevice)
    : container(panel), device(accessDevice),
      timed(accessDevice == spaceBarSwitch || accessDevice == joystickOneButton
            || accessDevice == serialOneSwitch),
      keyInput(accessDevice == spaceBarSwitch), scanTiming(timing)
{
    if (container)
        collect(container);
    sortButtons();
    current = 0;

    liveScannings().append(this);

    // One filter serves as paint hook (every device) and, with the space
    // bar, as key hook.
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);

    if (timed) {
        stepTimer = new ClockTimer(this);
        stepTimer->setSingleShot(true);
        connect(stepTimer, &ClockTimer::timeout, this, &TScansione::stepTick);
    }
    acceptTimer = new ClockTimer(this);
    acceptTimer->setSingleShot(true);
    connect(acceptTimer, &ClockTimer::timeout, this, [this] {
        if (!pending)
            return;
        if (suspended || isHeld || (pendingHeld && !pendingHeld())) {
            cancelPending();
            return;
        }
        pending = false;
        pendingHeld = nullptr;
        accept(pendingCommand); // may end this object: nothing follows
    });

    if (device == joystickDirectional || device == joystickTwoButton
        || device == joystickOneButton) {
        stick = std::make_unique<TJoystick>(0);
        stick->startCapture(container ? container->window() : nullptr);
        stick->setDeadZone(joystickDeadZone);
        stick->OnDirection = [this](int direction) { joystickDirection(direction); };
        stick->OnButtonDown = [this](int flags, int, int) { joystickButton(flags); };
        stick->OnButtonUp = [this](int, int, int) { switchReleased(); };
    }

    if (container)
        windowsOver = std::make_unique<WindowsOver>(container, [this](bool over) { setHeld(over); });

    // The frame shows with the next painting of the panel.
    updateMark(current);
}

TScansione::~TScansione()
{
    liveScannings().removeAll(this);
    windowsOver.reset();
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    stick.reset();
    // Without the hook, this repaint takes the frame away.
    updateMark(current);
}

void TScansione::collect(QWidget* widget)
{
    const QObjectList children = widget->children();
    for (QObject* object : children) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        if (isPushButton(child)) {
            if (tagOf(child) >= 0) {
                auto* button = static_cast<QAbstractButton*>(child);
                buttons.append(button);
                connect(button, &QObject::destroyed, this, [this](QObject* gone) {
                    for (QAbstractButton*& entry : buttons) {
                        if (static_cast<QObject*>(entry) == gone)
                            entry = nullptr;
                    }
                });
            }
        } else {
            collect(child);
        }
    }
}

void TScansione::sortButtons()
{
    // Exchange sort by ascending tag; equal tags keep the order it leaves.
    QList<int> tags;
    for (QAbstractButton* button : std::as_const(buttons))
        tags.append(tagOf(button));
    for (int i = 0; i < buttons.size(); ++i) {
        for (int j = i; j < buttons.size(); ++j) {
            if (tags.at(j) < tags.at(i)) {
                buttons.swapItemsAt(i, j);
                tags.swapItemsAt(i, j);
            }
        }
    }
}

void TScansione::clearList()
{
    for (QAbstractButton* button : std::as_const(buttons)) {
        if (button)
            disconnect(button, &QObject::destroyed, this, nullptr);
    }
    buttons.clear();
}

void TScansione::startScanning()
{
    wanted = true;
    if (!timed)
        return;
    steps = 0;
    if (stoppedAfterRounds) {
        stoppedAfterRounds = false;
        updateMark(current);
    }
    // The frame stays longer on the button where the scan starts.
    stepTimer->setInterval(scanTiming.stepMs + scanTiming.firstStepExtraMs);
    if (!isHeld)
        stepTimer->start();
}

void TScansione::stopScanning()
{
    wanted = false;
    // A press not yet accepted is dropped, and the frame stays stopped.
    stepWasRunning = false;
    cancelPending();
    if (timed)
        stepTimer->stop();
}

void TScansione::stepTick()
{
    if (pending)
        return;
    // A name still being said keeps the frame where it is.
    if (scanTiming.auditory && speaker.talking && speaker.talking()) {
        stepTimer->start(voicePollMs);
        return;
    }
    ++steps;
    const int rounds = scanTiming.cycles;
    if (rounds > 0 && steps >= rounds * usableCount()) {
        // The rounds are over: no frame until a press starts the scan again.
        stoppedAfterRounds = true;
        updateMark(current);
        return;
    }
    stepTimer->start(scanTiming.stepMs);
    performAction(scanNext);
}

int TScansione::usableCount() const
{
    int count = 0;
    for (int i = 0; i < buttons.size(); ++i)
        count += usable(i) ? 1 : 0;
    return std::max(count, 1);
}

void TScansione::switchPressed(ScanCommand command, std::function<bool()> stillHeld)
{
    // Held behind a window of its own: no switch acts on it.
    if (isHeld)
        return;
    const qint64 now = msClock().milliseconds();
    const LastAccepted& last = lastAccepted();
    if (last.any && scanTiming.ignoreMs > 0 && now >= last.at && now - last.at < scanTiming.ignoreMs)
        return;
    if (scanTiming.acceptMs <= 0) {
        accept(command); // may end this object: nothing follows
        return;
    }
    if (!pending) {
        stepWasRunning = running();
        if (stepWasRunning)
            stepTimer->stop();
    }
    pending = true;
    pendingCommand = command;
    pendingHeld = std::move(stillHeld);
    acceptTimer->start(scanTiming.acceptMs);
}

void TScansione::switchReleased()
{
    cancelPending();
}

void TScansione::cancelPending()
{
    if (!pending)
        return;
    pending = false;
    pendingHeld = nullptr;
    acceptTimer->stop();
    // The frame goes on with a whole step on the button it waited on.
    if (stepWasRunning && timed && !stoppedAfterRounds)
        stepTimer->start(scanTiming.stepMs);
    stepWasRunning = false;
}

void TScansione::accept(ScanCommand command)
{
    lastAccepted() = {true, msClock().milliseconds()};
    steps = 0;
    if (stepWasRunning && timed) {
        stepTimer->start(scanTiming.stepMs);
        stepWasRunning = false;
    }
    if (stoppedAfterRounds) {
        restartAfterRounds();
        return;
    }
    performAction(command); // may end this object: nothing follows
}

void TScansione::restartAfterRounds()
{
    for (int i = 0; i < buttons.size(); ++i) {
        if (usable(i)) {
            current = i;
            break;
        }
    }
    startScanning();
    announce();
}

QString TScansione::labelOf(const QAbstractButton* button) const
{
    if (!button)
        return {};
    const QVariant spoken = button->property("spokenLabel");
    if (spoken.isValid())
        return spoken.toString();
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    return text.isEmpty() ? button->toolTip() : text;
}

void TScansione::setHeld(bool held)
{
    isHeld = held;
    if (held) {
        // A press not yet accepted is dropped; the frame stays where it is.
        cancelPending();
        if (timed)
            stepTimer->stop();
    } else if (timed && wanted && !stoppedAfterRounds) {
        // It goes on with a whole step on the button it stopped on.
        stepTimer->start(scanTiming.stepMs);
    }
    // The frame goes, or comes back where it was.
    updateMark(current);
}

void TScansione::announce()
{
    if (!scanTiming.auditory || !speaker.say)
        return;
    const QString label = labelOf(currentButton());
    if (!label.isEmpty())
        speaker.say(label);
}

bool TScansione::running() const
{
    return timed && (stepTimer->isActive() || (pending && stepWasRunning));
}

void TScansione::rebuildList()
{
    stopScanning();
    updateMark(current);
    clearList();
    if (container)
        collect(container);
    sortButtons();
    current = 0;
    updateMark(current);
    startScanning();
    announce();
}

QAbstractButton* TScansione::currentButton() const
{
    if (current < 0 || current >= buttons.size())
        return nullptr;
    return buttons.at(current);
}

QRect TScansione::markRect() const
{
    QAbstractButton* button = currentButton();
    if (!button || stoppedAfterRounds || isHeld)
        return {};
    const int m = frameMargin();
    return button->geometry().adjusted(-m, -m, m, m);
}

bool TScansione::usable(int index) const
{
    QAbstractButton* button = buttons.at(index);
    return button && button->isEnabled() && !button->isHidden();
}

void TScansione::updateMark(int index)
{
    if (index < 0 || index >= buttons.size())
        return;
    QAbstractButton* button = buttons.at(index);
    if (!button)
        return;
    const int m = frameMargin();
    if (QWidget* parent = button->parentWidget())
        parent->update(button->geometry().adjusted(-m, -m, m, m));
}

void TScansione::moveTo(int index)
{
    updateMark(current);
    current = index;
    updateMark(current);
    announce();
}

void TScansione::performAction(ScanCommand command)
{
    // Held behind a window of its own: no switch acts on it.
    if (isHeld)
        return;
    switch (command) {
    case scanSelect: {
        QAbstractButton* button = currentButton();
        // A disabled or hidden button is never pressed, nor one of a window
        // kept behind a modal dialog. The click may close the window and end
        // this object: nothing follows it.
        if (button && button->isEnabled() && !button->isHidden()
            && !blockedByModal(button->window()))
            button->click();
        return;
    }
    case scanNext:
        next();
        return;
    case scanUp:
    case scanDown:
    case scanLeft:
    case scanRight:
        move(command);
        return;
    }
}

void TScansione::next()
{
    const int count = int(buttons.size());
    if (count == 0)
        return;
    const int from = (current >= 0 && current < count) ? current : -1;
    for (int step = 1; step <= count; ++step) {
        const int index = (from + step + count) % count;
        if (usable(index)) {
            moveTo(index);
            return;
        }
    }
    // No button can be used: the frame stays where it is.
}

QPoint TScansione::centreOf(QAbstractButton* button) const
{
    int x = button->width() / 2;
    int y = button->height() / 2;
    for (QWidget* widget = button; widget && widget != container.data();
         widget = widget->parentWidget()) {
        x += widget->x();
        y += widget->y();
    }
    return {x, y};
}

void TScansione::move(ScanCommand direction)
{
    QAbstractButton* from = currentButton();
    if (!from)
        return;
    const QPoint centre = centreOf(from);
    int best = directionLimit;
    int choice = -1;
    for (int i = 0; i < buttons.size(); ++i) {
        QAbstractButton* button = buttons.at(i);
        if (i == current || !button)
            continue;
        const QPoint other = centreOf(button);
        const int dx = other.x() - centre.x();
        const int dy = other.y() - centre.y();
        bool candidate = false;
        switch (direction) {
        case scanUp:
            candidate = dy <= -std::abs(dx);
            break;
        case scanDown:
            candidate = dy >= std::abs(dx);
            break;
        case scanLeft:
            candidate = dx <= -std::abs(dy);
            break;
        case scanRight:
            candidate = dx >= std::abs(dy);
            break;
        default:
            break;
        }
        if (!candidate)
            continue;
        const int distance = static_cast<int>(std::sqrt(double(dx) * dx + double(dy) * dy));
        if (distance < best) {
            best = distance;
            choice = i;
        }
    }
    if (choice >= 0)
        moveTo(choice);
}

int TScansione::latchOf(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Space:
        return latchSpace;
    case Qt::Key_Plus:
        return key->modifiers().testFlag(Qt::KeypadModifier) ? latchPlus : -1;
    case Qt::Key_Left:
        return latchLeft;
    case Qt::Key_Right:
        return latchRight;
    case Qt::Key_Up:
        return latchUp;
    case Qt::Key_Down:
        return latchDown;
    default:
        return -1;
    }
}

bool TScansione::keyHook(QEvent* event)
{
    if (device != spaceBarSwitch)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const int latch = latchOf(key);
    if (latch < 0)
        return false;
    // A key held down repeats: the repeated presses and releases are kept
    // from the controls and change nothing, so one press is one action.
    // Held behind another window, the keys go to that window.
    if (key->isAutoRepeat())
        return keyInput && !isHeld;
    if (event->type() == QEvent::KeyRelease) {
        // Also while the keys pass untouched (a text box is open), a key let
        // go ends its press: Space pressed to select and released in a text
        // box opened meanwhile must not leave the next press without effect.
        keyReleased(latch, key->timestamp());
        if (!keyInput || isHeld)
            return false;
        // Kept from the hooks behind this one: a scanning made while the key
        // was down (the feedback window opened by a Space select) must not
        // leave the key pressed for the older one.
        for (TScansione* other : std::as_const(liveScannings())) {
            if (other != this && other->device == spaceBarSwitch)
                other->keyReleased(latch, key->timestamp());
        }
        return true;
    }
    if (!keyInput || isHeld)
        return false;
    // X11 repeats a held key as a release and a press with the same time;
    // when the press comes late the pair arrives unmarked. Nobody releases
    // and presses a key within the same millisecond: it is still the repeat.
    if (key->timestamp() != 0 && key->timestamp() == releasedAt[latch]) {
        latches[latch] = latchAtRelease[latch];
        return true;
    }
    if (latch != latchSpace) {
        latches[latch] = true;
        return true;
    }
    if (!latches[latchSpace] && !suspended) {
        latches[latchSpace] = true;
        // may end this object: nothing follows
        switchPressed(scanSelect, [this] { return latches[latchSpace]; });
    }
    return true;
}

void TScansione::keyReleased(int latch, quint64 time)
{
    releasedAt[latch] = time;
    latchAtRelease[latch] = latches[latch];
    latches[latch] = false;
    // A press of Space not yet accepted is looked at when its time is up: a
    // key repeat may let go and press again in between.
}

bool TScansione::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return keyHook(event);
    case QEvent::Paint:
        if (QAbstractButton* button = stoppedAfterRounds || isHeld ? nullptr : currentButton()) {
            if (watched == button->parentWidget()) {
                // The frame is painted as part of the parent, under its children.
                QPainter painter(button->parentWidget());
                painter.fillRect(markRect(), markColour);
            }
        }
        return false;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (QAbstractButton* button = currentButton()) {
            if (watched == button && button->parentWidget())
                button->parentWidget()->update();
        }
        return false;
    default:
        return false;
    }
}

void TScansione::joystickDirection(int direction)
{
    if (device != joystickDirectional)
        return;
    switch (direction) {
    case joyUp:
        performAction(scanUp);
        break;
    case joyDown:
        performAction(scanDown);
        break;
    case joyRight:
        performAction(scanRight);
        break;
    case joyLeft:
        performAction(scanLeft);
        break;
    default:
        break;
    }
}

void TScansione::joystickButton(int flags)
{
    if (device == joystickTwoButton) {
        if (flags & joyButton1Changed)
            switchPressed(scanSelect);
        else if (flags & joyButton2Changed)
            switchPressed(scanNext);
        return;
    }
    switchPressed(scanSelect);
}
