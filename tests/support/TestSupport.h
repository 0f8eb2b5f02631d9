#pragma once

#include "common/AppContext.h"
#include "model/Clock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QFontMetrics;
class QWidget;

// A clock that moves on by `step` milliseconds at every reading, so busy
// waits end at once. Installs itself; puts the previous clock back when gone.
class FakeClock final : public MsClock
{
public:
    explicit FakeClock(qint64 step = 1);
    ~FakeClock() override;
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    qint64 milliseconds() override;
    void advance(qint64 ms) { now += ms; }
    int readings() const { return reads; }

private:
    MsClock* previous = nullptr;
    qint64 now = 1000;
    qint64 step;
    int reads = 0;
};

namespace testsupport {

// A context for windows under test on `programFolder` and `dataRoot` (the
// program folder when empty), each given its final "/": the default options,
// no serial switches.
AppContext makeContext(const QString& programFolder, const QString& dataRoot = QString());

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// A string as windows-1252 bytes, and back.
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

// The layout of a marked text measured candidate line by candidate line, as
// the rule reads, in the font of `fm` for the drawing width `width`. When
// `height` is given it receives the layout's total height.
QStringList referenceLayout(const QStringList& source, int width, const QFontMetrics& fm,
                            int* height = nullptr);

// Runs `action` on the next modal widget that opens (polled from the event
// loop), for windows shown with exec(). Gives up after `timeoutMs`, which is
// long, so that a busy machine does not leave a window waiting for ever. When
// a check inside `action` fails, the window is closed afterwards.
void whenModalShown(std::function<void(QWidget*)> action, int timeoutMs = 60000);

} // namespace testsupport
