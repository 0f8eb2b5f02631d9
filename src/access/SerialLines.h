#pragma once

#include <QString>

// The four modem lines of a serial port, as the switch interface uses them:
// RTS and DTR power the switches, CTS and DSR are active while a switch is
// pressed. No data travels over the port. The real port is TSerialPort;
// tests drive the lines with a line source of their own.
class SerialLines
{
public:
    virtual ~SerialLines();

    // 0 when the port is usable; otherwise the system error of the failed
    // open, -1 for a device that is not a serial port, -2 after a failed line
    // operation. A port with an error stays unusable.
    virtual int errorCode() const = 0;
    // What went wrong, in Italian, for the user; empty while usable.
    virtual QString errorText() const = 0;

    // Raise or lower an output line. They act only on a usable port; a
    // failure sets the error -2.
    virtual void setRTS(bool on) = 0;
    virtual void setDTR(bool on) = 0;
    // The input lines; false on a port with an error or when reading fails.
    virtual bool readCTS() = 0;
    virtual bool readDSR() = 0;
};
