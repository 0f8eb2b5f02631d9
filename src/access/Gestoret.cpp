#include "access/Gestoret.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWindow>

namespace {

// The widget a key press seen at `watched` goes to: the widget itself, or
// for a press seen at a top-level window, the widget that window hands it to.
QWidget* keyReceiver(QObject* watched)
{
    if (auto* widget = qobject_cast<QWidget*>(watched))
        return widget;
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window)
        return nullptr;
    if (QWidget* grabber = QWidget::keyboardGrabber())
        return grabber;
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* top : windows) {
        if (top->windowHandle() == window)
            return top->focusWidget() ? top->focusWidget() : top;
    }
    return nullptr;
}

} // namespace

TgestoreAlternativoTastiera::TgestoreAlternativoTastiera(QCoreApplication* app,
                                                         KeyFunction function, QObject* keyTarget)
    : application(app), keyFunction(std::move(function)), target(keyTarget)
{
    if (application)
        application->installEventFilter(this);
}

TgestoreAlternativoTastiera::~TgestoreAlternativoTastiera()
{
    if (application)
        application->removeEventFilter(this);
}

bool TgestoreAlternativoTastiera::meantForTarget(QObject* watched) const
{
    auto* window = qobject_cast<QWidget*>(target.data());
    if (!window)
        return true; // a target that is not a window is given every press
    // A menu or a drop-down list open anywhere takes the keys.
    if (QApplication::activePopupWidget())
        return false;
    QWidget* receiver = keyReceiver(watched);
    // So does the menu bar in keyboard mode (after Alt).
    if (!receiver || qobject_cast<QMenuBar*>(receiver))
        return false;
    // Keys for a dialog or another window opened over it are theirs.
    return receiver->window() == window->window();
}

bool TgestoreAlternativoTastiera::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!delivery.firstSight(watched, key))
            return false; // the same press handed on: it has been dealt with already
        // A drop-down list open when the press was announced and closed by
        // it since: the list took the key.
        const bool takenByList = popupAtAnnounce && key->key() == announcedKey
                                 && key->timestamp() == announcedAt
                                 && QApplication::activePopupWidget() != popupAtAnnounce;
        popupAtAnnounce = nullptr;
        if (takenByList)
            return true;
        if (!enabled || key->modifiers().testFlag(Qt::AltModifier))
            return false;
        if (blockKeys)
            return true;
        if (!keyFunction || !target || !meantForTarget(watched))
            return false;
        const KeyFunction function = keyFunction; // the key function may replace or end this handler
        return function(target, key->key());
    }
    case QEvent::KeyRelease:
        delivery.forget();
        popupAtAnnounce = nullptr;
        return false;
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        delivery.forget();
        // The first announcement of a press notes the pop-up open before it
        // (the same press is announced to the window, then to its widgets).
        if (key->key() != announcedKey || key->timestamp() != announcedAt || !popupAtAnnounce) {
            popupAtAnnounce = QApplication::activePopupWidget();
            announcedKey = key->key();
            announcedAt = key->timestamp();
        }
        // While keys are swallowed, no shortcut may act on them either.
        if (enabled && blockKeys && !key->modifiers().testFlag(Qt::AltModifier)) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return blockMouse && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    default:
        return false;
    }
}
