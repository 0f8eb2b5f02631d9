#pragma once

#include "access/SerBtn.h"
#include "access/SerialLines.h"

#include <QStringList>
#include <memory>

// Serial lines that open, fail and are pressed as the test says.
class FakeSwitchLines final : public SerialLines
{
public:
    explicit FakeSwitchLines(int openError) : error(openError) {}
    int errorCode() const override { return error; }
    QString errorText() const override { return error ? QStringLiteral("porta occupata") : QString(); }
    void setRTS(bool) override {}
    void setDTR(bool) override {}
    bool readCTS() override { return error == 0 && cts; }
    bool readDSR() override { return error == 0 && dsr; }
    bool cts = false;
    bool dsr = false;

private:
    int error;
};

// A serial-switch object whose ports are fakes: `opened` lists the devices
// opened, `lines` is the last port, `nextError` the error of the next one.
struct FakeSwitches {
    QStringList opened;
    int nextError = 0;
    FakeSwitchLines* lines = nullptr;
    TBottoneSeriale serial;

    FakeSwitches()
    {
        serial.setPortFactory([this](const QString& path) -> std::unique_ptr<SerialLines> {
            opened << path;
            auto made = std::make_unique<FakeSwitchLines>(nextError);
            lines = made.get();
            return made;
        });
    }
    // One press and release of the switches on CTS and/or DSR, as the poll sees it.
    void press(bool cts, bool dsr)
    {
        lines->cts = cts;
        lines->dsr = dsr;
        serial.poll();
        lines->cts = false;
        lines->dsr = false;
        serial.poll();
    }
};
