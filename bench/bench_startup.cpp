// Start-up time: from the start of the process to the first frame of the
// main window (the moment it starts painting), with the cover dismissed as
// soon as it is on screen, against the floor of an empty 640 x 480 Qt Widgets
// window (startup_floor, linked with Qt Widgets only). Each is started as a
// process of its own, nine times, alternately, and timed from just before its
// start; the medians and their ratio are printed (bound: 1.5). Run it under a
// display (xvfb-run): offscreen the empty window has no display to connect
// to, so the ratio is printed but not held to the bound.
//
//   bench_startup          both series, medians and ratio
//   bench_startup --one    one start of the program: prints the milliseconds
//                          since its start and the wall clock at its first frame
#include "shell/FontWarmUp.h"
#include "shell/Ucoperta.h"
#include "shell/Umascher.h"
#include "shell/WidgetDialogService.h"
#include "speech/SpeechEngine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

constexpr int runs = 9;
constexpr double bound = 1.5;

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

double nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Notes the moment the main window starts painting its first frame, and ends
// the wait for it.
class FirstFrame : public QObject
{
public:
    FirstFrame() { qApp->installEventFilter(this); }
    double ms = -1;      // since the process started (in 10 ms ticks)
    double epochMs = -1; // wall clock, to the microsecond

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && ms < 0 && qobject_cast<Tmaschera*>(watched)) {
            ms = msSinceProcessStart();
            epochMs = nowMs();
            waiting.quit();
        }
        return QObject::eventFilter(watched, event);
    }

public:
    QEventLoop waiting;
};

// Waits for the first frame and prints when it came. (Not through the
// application's own quit, which would ask the main window to close.)
int report(FirstFrame& frame)
{
    if (frame.ms < 0) {
        QTimer::singleShot(30000, &frame.waiting, &QEventLoop::quit);
        frame.waiting.exec();
    }
    if (frame.ms < 0)
        return 1;
    std::printf("%.0f %.3f\n", frame.ms, frame.epochMs);
    std::fflush(stdout);
    return 0;
}

// The program's own start, as main() does it.
int program(int argc, char* argv[])
{
    const FontWarmUp fonts;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("salienta"));
    QTranslator qtTranslator;
    if (loadQtTranslation(qtTranslator))
        QCoreApplication::installTranslator(&qtTranslator);
    WidgetDialogService service;
    setDialogService(&service);
    AppContext context;
    context.programFolder = locateProgramFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    prepareDataRoot(context.programFolder, true, QString(), context.dataRoot);

    // Close the cover as soon as it is shown, as a pupil pressing a key at once.
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [&dismiss]() {
        if (auto cover = qobject_cast<Tcopertina*>(QApplication::activeModalWidget())) {
            dismiss.stop();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QApplication::sendEvent(cover, &press);
        }
    });
    dismiss.start(0);

    FirstFrame frame;
    const std::unique_ptr<Tmaschera> window = startProgram(context);
    const int result = report(frame);
    if (SpeechAvailable)
        VS_DestroySpeechEngine();
    return result;
}

double oneRun(const QString& program, const QStringList& arguments)
{
    // Measured from just before the start of the process: the kernel's own
    // record of the start counts in 10 ms ticks only.
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double started = nowMs();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return -1;
    bool ok = false;
    const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
    const double shown = figures.value(1).toDouble(&ok);
    return ok ? shown - started : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc >= 2 && qstrcmp(argv[1], "--one") == 0) {
        // Qt's own options (-platform ...) follow.
        std::vector<char*> args{argv[0]};
        args.insert(args.end(), argv + 2, argv + argc);
        int count = int(args.size());
        return program(count, args.data());
    }

    const QFileInfo self(QString::fromLocal8Bit(argv[0]));
    const QString floor = self.absoluteDir().filePath(QStringLiteral("startup_floor"));
    QStringList passOn;
    for (int i = 1; i < argc; ++i)
        passOn << QString::fromLocal8Bit(argv[i]);
    std::vector<double> empty;
    std::vector<double> full;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(oneRun(floor, passOn));
        full.push_back(oneRun(self.absoluteFilePath(), QStringList{QStringLiteral("--one")} + passOn));
        if (empty.back() < 0 || full.back() < 0) {
            std::fprintf(stderr, "a start failed\n");
            return 1;
        }
    }
    const double emptyMedian = median(empty);
    const double programMedian = median(full);
    const double ratio = programMedian / emptyMedian;
    std::printf("start-up to first frame, medians of %d runs: empty 640x480 window %.1f ms, "
                "program %.1f ms, ratio %.2f (bound %.1f)\n",
                runs, emptyMedian, programMedian, ratio, bound);
    const bool offscreen = qgetenv("QT_QPA_PLATFORM") == "offscreen"
                           || passOn.contains(QStringLiteral("offscreen"));
    if (offscreen)
        std::printf("offscreen: no display, the ratio is not held to the bound\n");
    return offscreen || ratio <= bound ? 0 : 1;
}
