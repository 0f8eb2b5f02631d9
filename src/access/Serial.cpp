#include "access/Serial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QStringList adapterPrefixes = {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM")};

bool isAdapterName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^tty(USB|ACM)[0-9]+$"));
    return pattern.match(name).hasMatch();
}

// "ttyUSB10" -> ("ttyUSB", 10), for the natural order of the list.
std::pair<QString, int> splitName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    int digits = int(name.size());
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    return {name.left(digits), name.mid(digits).toInt()};
}

// How the user knows the port: COM1..COM4 for the first four, else the
// device name.
QString portLabel(const QString& path)
{
    static const QRegularExpression com(QStringLiteral("^/dev/ttyS([0-3])$"));
    const QRegularExpressionMatch match = com.match(path);
    if (match.hasMatch())
        return QStringLiteral("COM%1").arg(match.captured(1).toInt() + 1);
    return QFileInfo(path).fileName();
}

QString openErrorText(int code, const QString& label)
{
    switch (code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("La porta seriale %1 non esiste o il dispositivo non è collegato.")
            .arg(label);
    case EACCES:
    case EPERM:
        return QStringLiteral("Non si hanno i permessi per usare la porta seriale %1: "
                              "l'utente deve far parte del gruppo dialout.")
            .arg(label);
    case EBUSY:
        return QStringLiteral("La porta seriale %1 è già usata da un altro programma.").arg(label);
    default:
        return QStringLiteral("Impossibile aprire la porta seriale %1 (errore %2).")
            .arg(label)
            .arg(code);
    }
}

} // namespace

QStringList otherSerialPorts()
{
    QStringList paths;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (isAdapterName(info.portName()))
            paths << QStringLiteral("/dev/") + info.portName();
    }
    // Without udev the adapters are still found as device files.
    const QStringList files =
        QDir(QStringLiteral("/dev")).entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                               QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : files) {
        if (isAdapterName(name))
            paths << QStringLiteral("/dev/") + name;
    }
    paths.removeDuplicates();
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) {
        const auto left = splitName(a);
        const auto right = splitName(b);
        const int prefixA = int(adapterPrefixes.indexOf(left.first));
        const int prefixB = int(adapterPrefixes.indexOf(right.first));
        if (prefixA != prefixB)
            return prefixA < prefixB;
        if (left.first != right.first)
            return left.first < right.first;
        return left.second < right.second;
    });
    return paths;
}

QList<SerialPortEntry> serialPortEntries(const QStringList& otherPorts)
{
    QList<SerialPortEntry> entries;
    auto addPair = [&entries](const QString& label, const QString& path, int number) {
        entries.append({label + QStringLiteral(" bitasto"), path, number, false});
        entries.append({label + QStringLiteral(" monotasto"), path, number, true});
    };
    for (int n = 1; n <= 4; ++n)
        addPair(QStringLiteral("COM%1").arg(n), QStringLiteral("/dev/ttyS%1").arg(n - 1), n);
    int number = 5;
    for (const QString& path : otherPorts)
        addPair(portLabel(path), path, number++);
    return entries;
}

QList<SerialPortEntry> serialPortEntries()
{
    return serialPortEntries(otherSerialPorts());
}

QString serialDevicePath(int n)
{
    if (n >= 1 && n <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n >= 5) {
        const QStringList others = otherSerialPorts();
        if (n - 5 < others.size())
            return others.at(n - 5);
    }
    return {};
}

TSerialPort::TSerialPort(int n) : path(serialDevicePath(n))
{
    if (path.isEmpty()) {
        error = ENOENT;
        errorMessage = QStringLiteral("La porta seriale n. %1 non esiste.").arg(n);
        return;
    }
    open();
}

TSerialPort::TSerialPort(const QString& devicePath) : path(devicePath)
{
    open();
}

TSerialPort::~TSerialPort()
{
    if (portHandle)
        portHandle->close();
}

void TSerialPort::open()
{
    const QString label = portLabel(path);
    const QByteArray file = QFile::encodeName(path);

    // First a plain open, for the system's own reason when the port cannot be
    // used, and the modem-status request that only a real serial port answers
    // (a file, /dev/null or a pseudo-terminal refuse it).
    const int fd = ::open(file.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        errorMessage = openErrorText(error, label);
        return;
    }
    int status = 0;
    const bool modemLines = ::ioctl(fd, TIOCMGET, &status) == 0;
    ::close(fd);
    if (!modemLines) {
        error = serialNotASerialPort;
        errorMessage = QStringLiteral("%1 non è una porta seriale.").arg(path);
        return;
    }

    portHandle = std::make_unique<QSerialPort>();
    portHandle->setPortName(path);
    // Nothing is read from the port: keep whatever arrives from piling up.
    portHandle->setReadBufferSize(64);
    if (!portHandle->open(QIODevice::ReadWrite)) {
        switch (portHandle->error()) {
        case QSerialPort::DeviceNotFoundError:
            error = ENOENT;
            break;
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
            // The plain open above succeeded: another program holds the port.
            error = EBUSY;
            break;
        default:
            error = EIO;
            break;
        }
        errorMessage = openErrorText(error, label);
        portHandle.reset();
    }
}

void TSerialPort::lineFailed()
{
    error = serialLineFailed;
    errorMessage = QStringLiteral("Impossibile comandare le linee della porta seriale %1.")
                       .arg(portLabel(path));
}

void TSerialPort::setRTS(bool on)
{
    if (error != 0 || !portHandle)
        return;
    if (!portHandle->setRequestToSend(on))
        lineFailed();
}

void TSerialPort::setDTR(bool on)
{
    if (error != 0 || !portHandle)
        return;
    if (!portHandle->setDataTerminalReady(on))
        lineFailed();
}

int TSerialPort::pinout()
{
    if (error != 0 || !portHandle)
        return 0;
    return int(portHandle->pinoutSignals());
}

bool TSerialPort::readCTS()
{
    return pinout() & QSerialPort::ClearToSendSignal;
}

bool TSerialPort::readDSR()
{
    return pinout() & QSerialPort::DataSetReadySignal;
}
