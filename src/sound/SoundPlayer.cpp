#include "sound/SoundPlayer.h"

#include "sound/SoundModule.h"

namespace {

// Where the sound module cannot be opened the sounds stay silent, as a
// missing sound file does: a run never stops for them.
class SilentPlayer final : public SoundPlayer
{
public:
    void play(const QString&) override {}
    void stop() override {}
};

SoundPlayerMaker& installedMaker()
{
    static SoundPlayerMaker maker;
    return maker;
}

} // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer()
{
    if (installedMaker())
        return installedMaker()();
    if (std::unique_ptr<SoundPlayer> device = makeDeviceSoundPlayer())
        return device;
    return std::make_unique<SilentPlayer>();
}

SoundPlayerMaker setSoundPlayerMaker(SoundPlayerMaker maker)
{
    SoundPlayerMaker previous = std::move(installedMaker());
    installedMaker() = std::move(maker);
    return previous;
}
