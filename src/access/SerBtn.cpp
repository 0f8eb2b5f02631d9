#include "access/SerBtn.h"

#include "access/Serial.h"

#include <QPointer>
#include <QTimer>

TBottoneSeriale::TBottoneSeriale(QObject* parent)
    : QObject(parent), factory([](const QString& devicePath) -> std::unique_ptr<SerialLines> {
          return std::make_unique<TSerialPort>(devicePath);
      }),
      pollTimer(new QTimer(this))
{
    pollTimer->setInterval(pollInterval);
    connect(pollTimer, &QTimer::timeout, this, &TBottoneSeriale::poll);
}

TBottoneSeriale::~TBottoneSeriale() = default;

void TBottoneSeriale::setPressHandler(PressHandler newHandler)
{
    handler = std::move(newHandler);
    if (handler)
        pollTimer->start();
    else
        pollTimer->stop();
}

void TBottoneSeriale::setPortFactory(PortFactory newFactory)
{
    factory = std::move(newFactory);
}

void TBottoneSeriale::openPort(int n)
{
    open(serialDevicePath(n), n);
}

void TBottoneSeriale::openPort(const QString& devicePath)
{
    int n = 0;
    const QList<SerialPortEntry> entries = serialPortEntries();
    for (const SerialPortEntry& entry : entries) {
        if (entry.devicePath == devicePath) {
            n = entry.portNumber;
            break;
        }
    }
    open(devicePath, n);
}

void TBottoneSeriale::open(const QString& devicePath, int portNumber)
{
    // The old port is closed before the new one is opened: it may be the same device.
    lines.reset();
    number = portNumber;
    device = devicePath;
    if (devicePath.isEmpty())
        lines = std::make_unique<TSerialPort>(portNumber);
    else
        lines = factory(devicePath);
    if (lines && lines->errorCode() == 0) {
        lines->setRTS(true);
        lines->setDTR(true);
    }
}

bool TBottoneSeriale::portReady() const
{
    return lines && lines->errorCode() == 0;
}

QString TBottoneSeriale::portError() const
{
    return lines ? lines->errorText() : QString();
}

bool TBottoneSeriale::polling() const
{
    return pollTimer->isActive();
}

void TBottoneSeriale::poll()
{
    if (!lines || !handler)
        return;
    cts = lines->readCTS();
    dsr = lines->readDSR();
    const bool ctsPressed = cts && !ctsBefore;
    const bool dsrPressed = dsr && !dsrBefore;
    ctsBefore = cts;
    dsrBefore = dsr;
    const quint64 thisPoll = ++polls;

    // A handler may open a window with its own event loop, which polls again
    // meanwhile; a press seen by such a later poll is not reported twice here.
    QPointer<TBottoneSeriale> self(this);
    if (ctsPressed && handler) {
        const PressHandler call = handler; // the handler may replace itself
        call(this);
    }
    if (!self || polls != thisPoll)
        return;
    if (dsrPressed && handler) {
        const PressHandler call = handler;
        call(this);
    }
}
