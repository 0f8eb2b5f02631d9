#pragma once

#include <QString>
#include <functional>
#include <memory>

// Plays one recorded sound (a wave file) once. A sound that is missing or
// cannot be played stays silent: nothing is reported and nothing waits.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
};

// Makes the players of the program: the sound module's QSoundEffect player
// unless a test installed another maker, a silent one when the module is
// missing.
std::unique_ptr<SoundPlayer> makeSoundPlayer();
using SoundPlayerMaker = std::function<std::unique_ptr<SoundPlayer>()>;
// Installs `maker` (an empty one puts the sound module's back); returns the one replaced.
SoundPlayerMaker setSoundPlayerMaker(SoundPlayerMaker maker);
