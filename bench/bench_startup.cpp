// Start-up time: from the start of the process to the main window shown,
// with the cover dismissed as soon as it is on screen. Run it several times
// (scripts/bench.sh runs it once; under a display or with -platform offscreen).
#include "shell/Ucoperta.h"
#include "shell/Umascher.h"
#include "shell/WidgetDialogService.h"
#include "speech/SpeechEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the process started, from the kernel's own record.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22 of the line
    QFile uptimeFile(QStringLiteral("/proc/uptime"));
    if (!uptimeFile.open(QIODevice::ReadOnly))
        return -1;
    const double uptime = uptimeFile.readAll().split(' ').value(0).toDouble();
    return (uptime - startTicks / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    WidgetDialogService service;
    setDialogService(&service);
    ProgramFolder = locateProgramFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    QString root;
    prepareDataRoot(ProgramFolder, true, QString(), root);
    DataRoot = root;
    SpeechAvailable = VS_CreateSpeechEngine();

    // Close the cover as soon as it is shown, as a pupil pressing a key at once.
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [&dismiss]() {
        if (auto cover = qobject_cast<Tcopertina*>(QApplication::activeModalWidget())) {
            dismiss.stop();
            QTest::keyClick(cover, Qt::Key_Space);
        }
    });
    dismiss.start(0);

    Tmaschera window;
    window.start();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const double shown = msSinceProcessStart();
    std::printf("start-up to main window shown: %.0f ms (bound 1000 ms), speech %s\n", shown,
                SpeechAvailable ? "available" : "not available");
    if (SpeechAvailable)
        VS_DestroySpeechEngine();
    return shown <= 1000 ? 0 : 1;
}
