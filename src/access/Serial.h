#pragma once

#include "access/SerialLines.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QSerialPort;

// Special values of TSerialPort::errorCode besides the system's errors.
enum SerialPortError : int {
    serialNotASerialPort = -1,
    serialLineFailed = -2,
};

// One entry of the port list offered to the teacher: "COM1 bitasto",
// "COM1 monotasto" ... "COM4 monotasto" for /dev/ttyS0 to /dev/ttyS3, then the
// same two entries for every USB serial adapter found ("ttyUSB0 bitasto", ...).
struct SerialPortEntry {
    QString text;          // what the list shows
    QString devicePath;    // "/dev/ttyS0", "/dev/ttyUSB0", ...
    int portNumber = 0;    // 1..4 for COM1..COM4, 5 on for the adapters in list order
    bool oneSwitch = false; // "monotasto" (one switch), else "bitasto" (two switches)
};

// The serial ports besides /dev/ttyS0..3 that are present now (USB and ACM
// adapters), as device paths in natural order ("/dev/ttyUSB2" before "/dev/ttyUSB10").
QStringList otherSerialPorts();
// The port list: the eight COM entries, then two entries for each of `otherPorts`.
QList<SerialPortEntry> serialPortEntries(const QStringList& otherPorts);
// The port list with the adapters present now.
QList<SerialPortEntry> serialPortEntries();
// The device of port number n: COMn (1..4) is /dev/ttyS<n-1>; 5 and on are the
// adapters present now, in list order. Empty for a number with no port.
QString serialDevicePath(int n);

// The modem lines of one serial port, through Qt SerialPort. The port is
// opened exclusively at construction and closed at destruction; only the
// modem lines are used.
class TSerialPort final : public SerialLines
{
public:
    // Port number n as in serialDevicePath.
    explicit TSerialPort(int n);
    explicit TSerialPort(const QString& devicePath);
    ~TSerialPort() override;
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    int errorCode() const override { return error; }
    QString errorText() const override { return errorMessage; }
    QString devicePath() const { return path; }

    void setRTS(bool on) override;
    void setDTR(bool on) override;
    bool readCTS() override;
    bool readDSR() override;

private:
    void open();
    void lineFailed();
    int pinout();

    QString path;
    int error = 0;
    QString errorMessage;
    std::unique_ptr<QSerialPort> portHandle;
};
