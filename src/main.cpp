#include "shell/FontWarmUp.h"
#include "shell/Umascher.h"
#include "shell/WidgetDialogService.h"
#include "model/RecoveryFile.h"
#include "speech/SpeechEngine.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

namespace {

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fprintf(stderr, "Salienta ha bisogno di uno schermo grafico: avviarlo da una sessione "
                             "grafica, oppure con xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }

    const FontWarmUp fonts;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("salienta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SALIENTA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(SALIENTA_APP_ID));

    // Qt's own dialogs speak Italian too.
    QTranslator qtTranslator;
    if (loadQtTranslation(qtTranslator))
        QCoreApplication::installTranslator(&qtTranslator);

    WidgetDialogService dialogService;
    setDialogService(&dialogService);

    AppContext context;
    context.programFolder = locateProgramFolder(QCoreApplication::applicationDirPath());
    const bool writable = dataInProgramFolder(context.programFolder, QCoreApplication::applicationDirPath());
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    context.recoveryFolder = recoveryFolder();
    if (!prepareDataRoot(context.programFolder, writable, userData, context.dataRoot)) {
        showMessage(QStringLiteral("Errore"), QStringLiteral("Impossibile creare la directory temporanea"),
                    DialogIcon::Error);
        return 1;
    }

    // The speech engine is started by the main window once it is on screen;
    // no speech is not an error: the speech buttons stay disabled.
    int result = 0;
    {
        const std::unique_ptr<Tmaschera> mainWindow = startProgram(context);
        result = QApplication::exec();
    }
    if (SpeechAvailable)
        VS_DestroySpeechEngine();
    return result;
}
