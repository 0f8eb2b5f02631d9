#pragma once

#include "common/AppContext.h"
#include "model/Clock.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QFontMetrics;
class QWidget;

// A clock that moves on by `step` milliseconds at every reading, so busy
// waits end at once. Installs itself; puts the previous clock back when gone.
// With `firing` it also fires the program's ClockTimers as advance() moves it
// on, each at its own time, and the event-loop timers of ClockTimers are not
// used: timing is then exact, and `step` is best 0 (a busy wait moves the
// clock on by its length). A clock without `step` or `firing` moves on only
// when advanced or waited on.
class FakeClock final : public MsClock
{
public:
    explicit FakeClock(qint64 step = 1, bool firing = false);
    ~FakeClock() override;
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    qint64 milliseconds() override;
    void wait(qint64 ms) override;
    bool firesTimers() const override { return firing; }
    QDateTime dateTime() override;
    // Moves the clock on by `ms`, firing the timers that come due meanwhile
    // (only with `firing`).
    void advance(qint64 ms);
    // The clock reading without counting it.
    qint64 now() const { return current; }
    int readings() const { return reads; }
    // From now on the date and time of day is `start` plus the time the
    // clock moves on (otherwise the real one).
    void setDateTime(const QDateTime& start);
    // From now on the date and time of day stays `at`, however the clock moves.
    void fixDateTime(const QDateTime& at) { setDateTime(at); dateFixed = true; }

private:
    MsClock* previous = nullptr;
    qint64 current = 1000;
    qint64 step;
    bool firing;
    int reads = 0;
    QDateTime dateBase;
    qint64 dateBaseAt = 0;
    bool dateFixed = false;
};

namespace testsupport {

// A context for windows under test on `programFolder` and `dataRoot` (the
// program folder when empty), each given its final "/": the default options,
// no serial switches, the recovery folder "utente/recupero/" of the program
// folder.
AppContext makeContext(const QString& programFolder, const QString& dataRoot = QString());

// Saves the exercise `longName` under `dataRoot`'s "esercizi/": for each
// level of `levels` (0, 1, 2) a sentence "Frase numero N della storia.", and
// the task "Evidenzia le frasi importanti.". False when it is not written.
bool writeStoryExercise(const QString& dataRoot, const QString& longName, const QList<int>& levels);

// A short digest of an unsaved work (its name, task, current sentence and
// lines), by which two processes tell whether they hold the same work.
QString workDigest(const QString& name, const QString& task, int current, const QStringList& lines);

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

// What Qt's font dialog shows as it opens: the font it starts from, the sizes
// its list offers, and whether its size field takes each of `typed`.
struct FontDialogSeen {
    bool found = false;          // the window was a font dialog
    QFont current;               // the font the dialog starts from
    QString family;              // the family selected in its list
    QString style;               // the style selected in its list
    QString size;                // the text of its size field
    QList<int> sizes;            // the sizes of its list
    QList<bool> typedTaken;      // per entry of `typed`: the size field takes it
};
// Reads the font dialog `modal` and presses its OK button.
FontDialogSeen readFontDialogAndAccept(QWidget* modal, const QStringList& typed);

} // namespace testsupport
