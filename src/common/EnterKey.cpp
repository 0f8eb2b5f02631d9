#include "common/EnterKey.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

bool enterPressesFocusedButton(QWidget* window, QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier))
        return false;
    auto* button = qobject_cast<QPushButton*>(window->focusWidget());
    if (!button || !button->isEnabled() || !button->isVisible())
        return false;
    event->accept();
    if (!event->isAutoRepeat())
        button->click();
    return true;
}
