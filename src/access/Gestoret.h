#pragma once

#include "access/KeyDelivery.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QCoreApplication;

// The alternative keyboard handler. Installed in front of the application's
// event handling, it hands every key press to a window's key function before
// any control sees it, and swallows key presses and left mouse clicks while
// the window wants no input from the pupil. Key releases and key presses
// with Alt are never intercepted. Removing it (destroying it) leaves the
// other handlers of the application as they were.
class TgestoreAlternativoTastiera final : public QObject
{
    Q_OBJECT

public:
    // The window's key function: called with the target and the Qt key code
    // (Qt::Key_Escape, Qt::Key_Home, ...); true means the key is consumed and
    // no control receives it.
    using KeyFunction = std::function<bool(QObject* target, int key)>;

    TgestoreAlternativoTastiera(QCoreApplication* application, KeyFunction keyFunction,
                                QObject* target);
    ~TgestoreAlternativoTastiera() override;

    // Key presses go to the key function.
    bool enabled = false;
    // Left mouse button presses, releases and double clicks are swallowed.
    bool blockMouse = false;
    // Key presses are swallowed (only while `enabled`).
    bool blockKeys = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QCoreApplication> application;
    KeyFunction keyFunction;
    QPointer<QObject> target;
    KeyDelivery delivery;
};
