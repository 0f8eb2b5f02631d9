#pragma once

#include <QString>
#include <memory>

class AudioOutput;
class SoundPlayer;

// The program's sound devices (the speech output and the recorded sounds)
// live in the sound module, a library of the program's own that is opened the
// first time one of them is needed: Qt Multimedia and the sound server bring
// some twenty libraries, which would otherwise be loaded before the first
// window. The module exports "salientaNewAudioOutput" and
// "salientaNewSoundPlayer", each returning a new object the caller owns.

// The module's file for a program started from `programDir`: beside the
// program (build tree), one folder up (the build tree's tests and
// benchmarks), or in the installed library folder. Empty when none exists.
QString findSoundModule(const QString& programDir);

// The sound device's output for speech; nullptr when the module cannot be
// opened (there is then no speech, as on a machine without sound).
std::unique_ptr<AudioOutput> makeDeviceAudioOutput();

// A player of recorded sounds on the sound device; nullptr when the module
// cannot be opened.
std::unique_ptr<SoundPlayer> makeDeviceSoundPlayer();
