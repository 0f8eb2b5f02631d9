#include "access/KeyDelivery.h"

#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

bool KeyDelivery::firstSight(QObject* receiver, const QKeyEvent* event)
{
    bool handedOn = false;
    if (event == lastEvent && int(event->type()) == lastType && event->key() == lastKey
        && event->timestamp() == lastTimestamp && event->isAutoRepeat() == lastAutoRepeat) {
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (lastWasWindow) {
            // The top-level window hands the press to the widget with the focus.
            handedOn = widget != nullptr;
        } else if (auto* before = qobject_cast<QWidget*>(lastReceiver.data())) {
            // A widget that ignored the press hands it on to its parent.
            handedOn = widget != nullptr && before->parentWidget() == widget;
        }
    }
    lastEvent = event;
    lastReceiver = receiver;
    lastWasWindow = receiver && receiver->isWindowType();
    lastType = int(event->type());
    lastKey = event->key();
    lastTimestamp = event->timestamp();
    lastAutoRepeat = event->isAutoRepeat();
    return !handedOn;
}
