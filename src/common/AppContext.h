#pragma once

#include "model/Clock.h"
#include "model/RunOptions.h"

#include <QString>

class TBottoneSeriale;

// What a window is given by the window that opens it, instead of reaching up
// to the main window: where the program's files and the user's data lie, the
// general options, the serial switches and the services. The main window owns
// the program's one context and hands it down; a window that opens another
// passes on its own.
struct AppContext {
    // The folder of the program's own files (pictures, sounds, scripts,
    // instruction texts). Ends with "/".
    QString programFolder;
    // The folder under which the user's data folders "testi", "esercizi" and
    // "risult" lie. Ends with "/".
    QString dataRoot;
    // The user's own folder (never a shared one) where unsaved exercises and
    // texts are mirrored, so that a crash loses none of them. Ends with "/";
    // empty: no mirror.
    QString recoveryFolder;
    // The general options of a run.
    RunOptions options;
    // The program's one serial-switch object, lent by the main window
    // (nullptr: none, as in a window opened on its own).
    TBottoneSeriale* serialSwitches = nullptr;

    // Whether the speech engine runs (it starts once the main window is shown).
    bool speechAvailable() const;
    // The millisecond clock that pauses and transition effects wait on.
    MsClock& clock() const { return msClock(); }
};

