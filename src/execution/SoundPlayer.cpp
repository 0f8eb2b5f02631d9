#include "execution/SoundPlayer.h"

#include <QSoundEffect>
#include <QUrl>

SoundPlayer::~SoundPlayer() = default;

namespace {

// QSoundEffect loads the file in the background and plays it once loaded;
// a file that cannot be loaded leaves it silent.
class EffectPlayer final : public SoundPlayer
{
public:
    EffectPlayer() { effect.setObjectName(QStringLiteral("MediaPlayer1")); }
    void play(const QString& path) override
    {
        effect.setSource(QUrl::fromLocalFile(path));
        effect.setLoopCount(1);
        effect.play();
    }
    void stop() override { effect.stop(); }

private:
    QSoundEffect effect;
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
    return std::make_unique<EffectPlayer>();
}

SoundPlayerMaker setSoundPlayerMaker(SoundPlayerMaker maker)
{
    SoundPlayerMaker previous = std::move(installedMaker());
    installedMaker() = std::move(maker);
    return previous;
}
