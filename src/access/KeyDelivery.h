#pragma once

#include <QPointer>
#include <QtGlobal>

class QKeyEvent;
class QObject;

// An application-wide event filter sees one key press several times: at the
// top-level window, then at the focused widget, then at each parent the
// press is handed on to while nobody accepts it. This tells the first sight
// of a press from those later deliveries of the same press.
class KeyDelivery
{
public:
    // True the first time `event` is seen; false when it is the same press
    // handed on from the window to its widget or from a widget to its parent.
    bool firstSight(QObject* receiver, const QKeyEvent* event);
    // Another key event went by (the release of a press, or the shortcut
    // check that comes before each new press): the press seen last is over.
    void forget() { lastEvent = nullptr; }

private:
    const QKeyEvent* lastEvent = nullptr;
    QPointer<QObject> lastReceiver;
    bool lastWasWindow = false;
    int lastType = 0;
    int lastKey = 0;
    quint64 lastTimestamp = 0;
    bool lastAutoRepeat = false;
};
