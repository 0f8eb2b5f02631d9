// The floor of the start-up benchmark: an empty 640 x 480 Qt Widgets window,
// linked with Qt Widgets only. Prints the milliseconds since its process
// started and the wall clock (to the microsecond) when its first frame
// starts painting, then ends.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const double startTicks = line.mid(line.lastIndexOf(')') + 2).split(' ').value(19).toDouble();
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return (up - startTicks / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

class FirstFrame : public QObject
{
public:
    double ms = -1;
    double epochMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && ms < 0) {
            ms = msSinceProcessStart();
            epochMs = nowMs();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    FirstFrame frame;
    window.installEventFilter(&frame);
    window.show();
    QTimer::singleShot(30000, &app, &QCoreApplication::quit);
    QApplication::exec();
    if (frame.ms < 0)
        return 1;
    std::printf("%.0f %.3f\n", frame.ms, frame.epochMs);
    return 0;
}
