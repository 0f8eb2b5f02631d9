#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>

// Watches for the windows of its own that a window opens over itself: its
// dialogs and questions, its menus and drop-down lists (each a window of its
// own while it is open), and any window that keeps the input from it (an
// application-modal dialog). Tells when the first of them opens and when the
// last of them has closed. Windows already open when the watch starts do
// not count.
class WindowsOver final : public QObject
{
    Q_OBJECT

public:
    // `changed` is called with true when the first window opens over
    // `window`, with false when none is left.
    WindowsOver(QWidget* window, std::function<void(bool covered)> changed);
    ~WindowsOver() override;
    WindowsOver(const WindowsOver&) = delete;
    WindowsOver& operator=(const WindowsOver&) = delete;

    // A window is open over the watched one.
    bool covered() const { return !open.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isOver(const QWidget* other) const;
    void opened(QWidget* other);
    void closed(const QObject* other);

    QPointer<QWidget> window;
    std::function<void(bool)> changed;
    QSet<const QObject*> open;
};
