#include "access/WindowsOver.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

// The window that opened `window` (its parent's window), if any.
const QWidget* openerOf(const QWidget* window)
{
    return window->parentWidget() ? window->parentWidget()->window() : nullptr;
}

} // namespace

WindowsOver::WindowsOver(QWidget* watchedWindow, std::function<void(bool)> onChange)
    : window(watchedWindow ? watchedWindow->window() : nullptr), changed(std::move(onChange))
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

WindowsOver::~WindowsOver()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool WindowsOver::isOver(const QWidget* other) const
{
    if (!window || other == window || !other->isWindow())
        return false;
    const Qt::WindowType type = other->windowType();
    if (type == Qt::ToolTip || type == Qt::SplashScreen || type == Qt::Desktop)
        return false;
    // A window behind the watched one (one that opened it) is never over it.
    for (const QWidget* w = window; w; w = openerOf(w)) {
        if (w == other)
            return false;
    }
    const bool popup = type == Qt::Popup;
    if (!popup && other->windowModality() == Qt::NonModal)
        return false;
    if (!popup && other->windowModality() == Qt::ApplicationModal)
        return true;
    // A menu, a list or a dialog modal for its window: over the watched
    // window when the watched window opened it (or one of the windows it opened).
    for (const QWidget* w = openerOf(other); w; w = openerOf(w)) {
        if (w == window)
            return true;
    }
    return false;
}

void WindowsOver::opened(QWidget* other)
{
    if (open.contains(other))
        return;
    const bool first = open.isEmpty();
    open.insert(other);
    connect(other, &QObject::destroyed, this, &WindowsOver::closed);
    if (first && changed)
        changed(true);
}

void WindowsOver::closed(const QObject* other)
{
    if (!open.remove(other))
        return;
    disconnect(other, &QObject::destroyed, this, &WindowsOver::closed);
    if (open.isEmpty() && changed)
        changed(false);
}

bool WindowsOver::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (auto* other = qobject_cast<QWidget*>(watched); other && isOver(other))
            opened(other);
        break;
    case QEvent::Hide:
        closed(watched);
        break;
    default:
        break;
    }
    return false;
}
