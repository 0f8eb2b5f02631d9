#pragma once

#include "access/SerialLines.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTimer;

// One or two switches on a serial port. The switches are powered from RTS
// and DTR and pressed on CTS and DSR; the lines are polled every 100 ms while
// a window has installed its press handler, and each press (a line becoming
// active) calls the handler once. The main window keeps the one object of
// the program; the run and feedback windows borrow it.
class TBottoneSeriale final : public QObject
{
    Q_OBJECT

public:
    using PressHandler = std::function<void(TBottoneSeriale* sender)>;
    // Makes the lines of a device; the program opens real ports (TSerialPort).
    using PortFactory = std::function<std::unique_ptr<SerialLines>(const QString& devicePath)>;

    static constexpr int pollInterval = 100;

    explicit TBottoneSeriale(QObject* parent = nullptr);
    ~TBottoneSeriale() override;

    // Installs the handler (or none); the lines are polled exactly while a
    // handler is installed.
    void setPressHandler(PressHandler handler);
    // The handler installed now, so that a window can give it back when it closes.
    PressHandler pressHandler() const { return handler; }

    // Closes the port open so far, opens port n (COM1..COM4 for 1..4, the
    // adapters from 5 on, as in the port list) and powers the switches.
    void openPort(int n);
    // The same for a device path of the port list.
    void openPort(const QString& devicePath);
    // A port is open and usable.
    bool portReady() const;
    // Why the port cannot be used, in Italian (empty when it is ready or none was opened).
    QString portError() const;
    int portNumber() const { return number; }
    QString portDevice() const { return device; }
    SerialLines* port() const { return lines.get(); }

    // The lines at the last poll, for the handler.
    bool ctsNow() const { return cts; }
    bool dsrNow() const { return dsr; }
    bool polling() const;

    // One poll of the lines (the timer's work).
    void poll();

    // Replaces the way ports are opened (tests drive the lines by hand).
    void setPortFactory(PortFactory factory);

private:
    void open(const QString& devicePath, int portNumber);

    std::unique_ptr<SerialLines> lines;
    PortFactory factory;
    int number = 0;
    QString device;
    QTimer* pollTimer = nullptr;
    PressHandler handler;
    bool cts = false;
    bool dsr = false;
    bool ctsBefore = false;
    bool dsrBefore = false;
    quint64 polls = 0;
};
