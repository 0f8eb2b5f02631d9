#pragma once

#include "access/KeyDelivery.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class QCoreApplication;

// The alternative keyboard handler. Installed in front of the application's
// event handling, it hands every key press meant for its window to the
// window's key function before any control sees it, and swallows key presses
// and left mouse clicks while the window wants no input from the pupil. Key
// releases and key presses with Alt are never intercepted. Removing it
// (destroying it) leaves the other handlers of the application as they were.
//
// A key that a menu, a drop-down list or another window takes is not for the
// window and never reaches the key function. A key that closed a drop-down
// list before it was delivered (Qt lets the list act on Esc and Enter early,
// then hands the same press on to the window behind the list) is swallowed
// whatever the flags say, so that no window acts on it a second time.
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
    // Whether the press seen at `watched` is one for the target window.
    bool meantForTarget(QObject* watched) const;

    QPointer<QCoreApplication> application;
    KeyFunction keyFunction;
    QPointer<QObject> target;
    KeyDelivery delivery;
    // The pop-up open when the press being delivered was first announced
    // (its shortcut check), with the key and the time of that press.
    QPointer<QWidget> popupAtAnnounce;
    int announcedKey = 0;
    quint64 announcedAt = 0;
};
