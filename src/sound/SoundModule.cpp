#include "sound/SoundModule.h"

#include "sound/AudioOutput.h"
#include "sound/SoundPlayer.h"
#include "model/ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <cstdio>

namespace {

constexpr char ModuleFile[] = "salienta_sound.so";

using NewAudioOutput = AudioOutput* (*)();
using NewSoundPlayer = SoundPlayer* (*)();

struct Module {
    NewAudioOutput newAudioOutput = nullptr;
    NewSoundPlayer newSoundPlayer = nullptr;
};

// Opens the module once; it stays loaded for the life of the process, since
// the objects it made may outlive any one user.
const Module* module()
{
    static Module functions;
    static const bool loaded = [] {
        const QString path = findSoundModule(QCoreApplication::applicationDirPath());
        if (path.isEmpty()) {
            std::fprintf(stderr, "Salienta: modulo dei suoni %s non trovato: nessun suono\n", ModuleFile);
            return false;
        }
        QLibrary library(path);
        if (!library.load()) {
            std::fprintf(stderr, "Salienta: modulo dei suoni non caricato: %s\n",
                         qPrintable(library.errorString()));
            return false;
        }
        functions.newAudioOutput = reinterpret_cast<NewAudioOutput>(library.resolve("salientaNewAudioOutput"));
        functions.newSoundPlayer = reinterpret_cast<NewSoundPlayer>(library.resolve("salientaNewSoundPlayer"));
        return functions.newAudioOutput && functions.newSoundPlayer;
    }();
    return loaded ? &functions : nullptr;
}

} // namespace

QString findSoundModule(const QString& programDir)
{
    return findProgramModule(programDir, QLatin1String(ModuleFile));
}

std::unique_ptr<AudioOutput> makeDeviceAudioOutput()
{
    const Module* sound = module();
    return std::unique_ptr<AudioOutput>(sound ? sound->newAudioOutput() : nullptr);
}

std::unique_ptr<SoundPlayer> makeDeviceSoundPlayer()
{
    const Module* sound = module();
    return std::unique_ptr<SoundPlayer>(sound ? sound->newSoundPlayer() : nullptr);
}
