#pragma once

#include "model/RecoveryFile.h"

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

// The mirror of a window's unsaved work in the user's recovery folder, and
// the offer of the work that an earlier session left there (a crash, a power
// cut). A change starts `timerRecupero`; when it fires the work is handed to
// the recovery file, which writes it on a thread of its own, so a key never
// waits for the disk. The file goes as soon as the work is saved or gone, and
// when the window closes after the user gave the work up.
class Trecupero : public QObject
{
    Q_OBJECT
public:
    // Work of `kind` in `folder` (empty: no recovery); `snapshot` gives the
    // work as the window holds it.
    Trecupero(const QString& folder, const QString& kind, std::function<RecoveredWork()> snapshot,
              QObject* parent);
    // With work neither saved nor given up, its last state stays in the file.
    ~Trecupero() override;

    // The work changed; `modified` false: it is saved, or there is none.
    void workChanged(bool modified);
    // The user chose not to save the work: its file goes with the window.
    void workDeclined() { declined = true; }
    // Hands the work to the recovery file now (what the timer does).
    void mirror();

    // Offers the work of this kind left by windows that are gone, newest
    // first, each with "Vuoi recuperarlo ?"; `restore` takes up the one
    // accepted (the others stay). `unnamed` names work that had no name.
    // True when one was taken up.
    bool offer(const std::function<void(const RecoveredWork&)>& restore, const QString& unnamed);

    // The file the work is mirrored to, while there is one.
    RecoveryFile* file() const { return recovery.get(); }
    // The time from a change to its mirror (tests shorten it).
    static void setDelayForTests(int milliseconds);

    QTimer* timerRecupero;

private:
    void discard();

    QString folder;
    QString kind;
    std::function<RecoveredWork()> snapshot;
    std::unique_ptr<RecoveryFile> recovery;
    bool modified = false;
    bool declined = false;
    bool failureTold = false;
};
