#pragma once

#include <QString>
#include <functional>
#include <memory>

// Plays one recorded sound (a wave file) once. A sound that is missing or
// cannot be played stays silent: nothing is reported and nothing waits.
class SoundPlayer
{
public:
    virtual ~SoundPlayer();
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
};

// Makes the players of the program (QSoundEffect unless a test installed
// another maker).
std::unique_ptr<SoundPlayer> makeSoundPlayer();
using SoundPlayerMaker = std::function<std::unique_ptr<SoundPlayer>()>;
// Installs `maker` (an empty one puts QSoundEffect back); returns the one replaced.
SoundPlayerMaker setSoundPlayerMaker(SoundPlayerMaker maker);
