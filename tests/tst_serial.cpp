#include "access/SerBtn.h"
#include "access/Serial.h"
#include "access/Uscans.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Modem lines moved by hand. Reads are counted; `journal` records opening
// and closing so that the order of a port change can be checked.
class FakeLines final : public SerialLines
{
public:
    FakeLines(QString name, QStringList* journalTo, int openError = 0)
        : device(std::move(name)), journal(journalTo), error(openError)
    {
        if (journal)
            *journal << QStringLiteral("open ") + device;
    }
    ~FakeLines() override
    {
        if (journal)
            *journal << QStringLiteral("close ") + device;
    }
    int errorCode() const override { return error; }
    QString errorText() const override
    {
        return error ? QStringLiteral("guasto %1").arg(error) : QString();
    }
    void setRTS(bool on) override
    {
        if (error)
            return;
        if (refuseLines)
            error = -2;
        else
            rts = on;
    }
    void setDTR(bool on) override
    {
        if (error)
            return;
        if (refuseLines)
            error = -2;
        else
            dtr = on;
    }
    bool readCTS() override
    {
        ++reads;
        return error == 0 && cts;
    }
    bool readDSR() override
    {
        ++reads;
        return error == 0 && dsr;
    }

    QString device;
    QStringList* journal;
    int error;
    bool refuseLines = false;
    bool cts = false;
    bool dsr = false;
    bool rts = false;
    bool dtr = false;
    int reads = 0;
};

// A switch object whose ports are fakes; `lines` is the last one opened.
struct Switches {
    QStringList journal; // outlives the ports that write to it
    int nextError = 0;
    bool refuseLines = false;
    FakeLines* lines = nullptr;
    TBottoneSeriale serial;

    Switches()
    {
        serial.setPortFactory([this](const QString& path) -> std::unique_ptr<SerialLines> {
            auto made = std::make_unique<FakeLines>(path, &journal, nextError);
            made->refuseLines = refuseLines;
            lines = made.get();
            return made;
        });
    }
};

struct Press {
    bool cts;
    bool dsr;
};

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT

private slots:
    void portListHasComPortsThenAdapters();
    void portsThatCannotBeUsedSayWhy();
    void ownPortIsNotReadWithoutHandler();
    void pressIsReportedWhenItsLineBecomesActive();
    void lineStatesAreKeptWhilePollingStops();
    void openPortReplacesThePortAndPowersIt();
    void brokenPortReportsNoPress();
    void handlerMayReplaceItself();
    void timerPollsEveryHundredMilliseconds();
    void panelScannedByTwoSwitches();
    void panelScannedByOneSwitch();
};

void TestSerial::portListHasComPortsThenAdapters()
{
    const QList<SerialPortEntry> entries =
        serialPortEntries({QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyACM1")});
    QStringList texts;
    for (const SerialPortEntry& entry : entries)
        texts << entry.text;
    QCOMPARE(texts, (QStringList{"COM1 bitasto", "COM1 monotasto", "COM2 bitasto", "COM2 monotasto",
                                 "COM3 bitasto", "COM3 monotasto", "COM4 bitasto", "COM4 monotasto",
                                 "ttyUSB0 bitasto", "ttyUSB0 monotasto", "ttyACM1 bitasto",
                                 "ttyACM1 monotasto"}));
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i).portNumber, i / 2 + 1);
        QCOMPARE(entries.at(i).oneSwitch, i % 2 == 1);
    }
    QCOMPARE(entries.at(0).devicePath, QStringLiteral("/dev/ttyS0"));
    QCOMPARE(entries.at(7).devicePath, QStringLiteral("/dev/ttyS3"));
    QCOMPARE(entries.at(10).devicePath, QStringLiteral("/dev/ttyACM1"));

    // The list of this machine: the COM ports first, whatever else is plugged in.
    const QList<SerialPortEntry> here = serialPortEntries();
    QVERIFY(here.size() >= 8 && here.size() % 2 == 0);
    QCOMPARE(here.at(6).text, QStringLiteral("COM4 bitasto"));
    const QStringList others = otherSerialPorts();
    QCOMPARE(here.size(), 8 + 2 * others.size());
    for (const QString& path : others)
        QVERIFY2(path.startsWith(QLatin1String("/dev/ttyUSB")) || path.startsWith(QLatin1String("/dev/ttyACM")),
                 qPrintable(path));

    QCOMPARE(serialDevicePath(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(serialDevicePath(4), QStringLiteral("/dev/ttyS3"));
    QCOMPARE(serialDevicePath(0), QString());
    QCOMPARE(serialDevicePath(-2), QString());
    QCOMPARE(serialDevicePath(5), others.value(0));
    QCOMPARE(serialDevicePath(5 + int(others.size())), QString());
}

void TestSerial::portsThatCannotBeUsedSayWhy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    TSerialPort missing(dir.filePath(QStringLiteral("ttyUSB7")));
    QCOMPARE(missing.errorCode(), ENOENT);
    QVERIFY2(missing.errorText().contains(QStringLiteral("non esiste")), qPrintable(missing.errorText()));
    QVERIFY(missing.errorText().contains(QStringLiteral("ttyUSB7")));

    const QString plainFile = dir.filePath(QStringLiteral("porta"));
    QVERIFY(QFile(plainFile).open(QIODevice::WriteOnly));
    TSerialPort file(plainFile);
    QCOMPARE(file.errorCode(), -1);
    QVERIFY(file.errorText().contains(QStringLiteral("non è una porta seriale")));

    TSerialPort null(QStringLiteral("/dev/null"));
    QCOMPARE(null.errorCode(), -1);

    TSerialPort folder(dir.path());
    QCOMPARE(folder.errorCode(), EISDIR);
    QVERIFY(!folder.errorText().isEmpty());

    // A pseudo-terminal is a terminal but carries no modem lines.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
    TSerialPort pty(QString::fromLocal8Bit(ptsname(master)));
    QCOMPARE(pty.errorCode(), -1);
    ::close(master);

    // An unusable port does nothing and reads nothing, and keeps its error.
    for (TSerialPort* port : {&missing, &file, &pty}) {
        const int error = port->errorCode();
        port->setRTS(true);
        port->setDTR(true);
        QVERIFY(!port->readCTS());
        QVERIFY(!port->readDSR());
        QCOMPARE(port->errorCode(), error);
    }

    if (geteuid() != 0) {
        const QString locked = dir.filePath(QStringLiteral("ttyLocked"));
        QVERIFY(QFile(locked).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        TSerialPort denied(locked);
        QCOMPARE(denied.errorCode(), EACCES);
        QVERIFY(denied.errorText().contains(QStringLiteral("dialout")));
    }

    // Through the switch object with its real ports.
    TBottoneSeriale serial;
    serial.openPort(dir.filePath(QStringLiteral("ttyUSB9")));
    QVERIFY(!serial.portReady());
    QVERIFY(serial.portError().contains(QStringLiteral("non esiste")));
    serial.openPort(999);
    QVERIFY(!serial.portReady());
    QCOMPARE(serial.portNumber(), 999);
    QCOMPARE(serial.port()->errorCode(), ENOENT);
    int presses = 0;
    serial.setPressHandler([&presses](TBottoneSeriale*) { ++presses; });
    serial.poll();
    QCOMPARE(presses, 0);
    QVERIFY(!serial.ctsNow() && !serial.dsrNow());
}

void TestSerial::ownPortIsNotReadWithoutHandler()
{
    Switches s;
    QVERIFY(!s.serial.portReady()); // no port until one is opened
    s.serial.openPort(2);
    QVERIFY(s.serial.portReady());
    QCOMPARE(s.lines->device, QStringLiteral("/dev/ttyS1"));
    QCOMPARE(s.serial.portNumber(), 2);
    QVERIFY(!s.serial.polling());
    s.lines->cts = true;
    s.serial.poll();
    QCOMPARE(s.lines->reads, 0);

    s.serial.setPressHandler([](TBottoneSeriale*) {});
    QVERIFY(s.serial.polling());
    QVERIFY(s.serial.pressHandler());
    s.serial.setPressHandler({});
    QVERIFY(!s.serial.polling());
    QVERIFY(!s.serial.pressHandler());
}

void TestSerial::pressIsReportedWhenItsLineBecomesActive()
{
    Switches s;
    s.serial.openPort(1);
    QList<Press> calls;
    s.serial.setPressHandler([&calls](TBottoneSeriale* sender) {
        calls.append({sender->ctsNow(), sender->dsrNow()});
    });
    s.serial.poll();
    QCOMPARE(calls.size(), 0);

    s.lines->cts = true;
    s.serial.poll();
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls.last().cts && !calls.last().dsr);
    s.serial.poll(); // held: nothing more
    s.serial.poll();
    QCOMPARE(calls.size(), 1);
    s.lines->cts = false;
    s.serial.poll();
    QCOMPARE(calls.size(), 1);

    s.lines->dsr = true;
    s.serial.poll();
    QCOMPARE(calls.size(), 2);
    QVERIFY(!calls.last().cts && calls.last().dsr);
    s.lines->dsr = false;
    s.serial.poll();

    // Both within one poll: two calls, each seeing DSR active.
    s.lines->cts = true;
    s.lines->dsr = true;
    s.serial.poll();
    QCOMPARE(calls.size(), 4);
    QVERIFY(calls.at(2).dsr && calls.at(3).dsr && calls.at(2).cts);
}

void TestSerial::lineStatesAreKeptWhilePollingStops()
{
    Switches s;
    s.serial.openPort(1);
    int presses = 0;
    auto count = [&presses](TBottoneSeriale*) { ++presses; };
    s.serial.setPressHandler(count);
    s.lines->cts = true;
    s.serial.poll();
    QCOMPARE(presses, 1);

    s.serial.setPressHandler({});
    s.lines->dsr = true; // pressed while nobody listens, CTS still held
    s.serial.poll();
    QCOMPARE(presses, 1);
    s.serial.setPressHandler(count);
    s.serial.poll();
    QCOMPARE(presses, 2); // DSR only: CTS was already active at the last poll
}

void TestSerial::openPortReplacesThePortAndPowersIt()
{
    Switches s;
    s.serial.openPort(1);
    FakeLines* first = s.lines;
    QVERIFY(first->rts && first->dtr);
    s.serial.openPort(3);
    QCOMPARE(s.journal, (QStringList{"open /dev/ttyS0", "close /dev/ttyS0", "open /dev/ttyS2"}));
    QVERIFY(s.lines->rts && s.lines->dtr);
    QCOMPARE(s.serial.portNumber(), 3);
    QCOMPARE(s.serial.portDevice(), QStringLiteral("/dev/ttyS2"));
    s.serial.openPort(QStringLiteral("/dev/ttyS3"));
    QCOMPARE(s.serial.portNumber(), 4);
    QCOMPARE(s.journal.last(), QStringLiteral("open /dev/ttyS3"));
}

void TestSerial::brokenPortReportsNoPress()
{
    Switches s;
    s.nextError = EBUSY;
    s.serial.openPort(1);
    QVERIFY(!s.serial.portReady());
    QCOMPARE(s.serial.portError(), QStringLiteral("guasto %1").arg(EBUSY));
    QVERIFY(!s.lines->rts && !s.lines->dtr);
    int presses = 0;
    s.serial.setPressHandler([&presses](TBottoneSeriale*) { ++presses; });
    s.lines->cts = true;
    s.serial.poll();
    QCOMPARE(presses, 0);

    // A port that refuses its output lines becomes unusable for good.
    s.nextError = 0;
    s.refuseLines = true;
    s.serial.openPort(2);
    QCOMPARE(s.lines->errorCode(), -2);
    QVERIFY(!s.serial.portReady());
    s.lines->dsr = true;
    s.serial.poll();
    QCOMPARE(presses, 0);
}

void TestSerial::handlerMayReplaceItself()
{
    Switches s;
    s.serial.openPort(1);
    QStringList calls;
    TBottoneSeriale::PressHandler second = [&calls](TBottoneSeriale*) { calls << "second"; };
    s.serial.setPressHandler([&calls, &second](TBottoneSeriale* sender) {
        calls << "first";
        sender->setPressHandler(second);
    });
    s.lines->cts = true;
    s.lines->dsr = true;
    s.serial.poll();
    QCOMPARE(calls, (QStringList{"first", "second"}));

    // A handler that removes itself stops the polling; its second press is not reported.
    s.serial.setPressHandler([&calls](TBottoneSeriale* sender) {
        calls << "last";
        sender->setPressHandler({});
    });
    s.lines->cts = false;
    s.lines->dsr = false;
    s.serial.poll();
    s.lines->cts = true;
    s.lines->dsr = true;
    s.serial.poll();
    QCOMPARE(calls, (QStringList{"first", "second", "last"}));
    QVERIFY(!s.serial.polling());
}

void TestSerial::timerPollsEveryHundredMilliseconds()
{
    Switches s;
    s.serial.openPort(1);
    int presses = 0;
    s.serial.setPressHandler([&presses](TBottoneSeriale*) { ++presses; });
    QElapsedTimer clock;
    clock.start();
    s.lines->dsr = true;
    QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 1000);
    QVERIFY(clock.elapsed() >= 90);
    const int readsBefore = s.lines->reads;
    QTest::qWait(450);
    const int polls = (s.lines->reads - readsBefore) / 2;
    QVERIFY2(polls >= 3 && polls <= 5, qPrintable(QString::number(polls)));
    QCOMPARE(presses, 1);
}

namespace {

struct ScannedPanel {
    QWidget window;
    QFrame* panel;
    QStringList clicks;
    ScannedPanel()
    {
        panel = new QFrame(&window);
        panel->setGeometry(0, 0, 700, 100);
        const QList<std::pair<QString, int>> buttons = {
            {"yes", 0}, {"hidden", -1}, {"ok", 1}, {"off", 2}, {"no", 3}};
        int x = 10;
        for (const auto& [name, tag] : buttons) {
            auto* button = new QPushButton(name, panel);
            button->setObjectName(name);
            button->setProperty("tag", tag);
            button->setGeometry(x, 20, 100, 40);
            x += 120;
            QObject::connect(button, &QPushButton::clicked, &window, [this, name = name] { clicks << name; });
        }
        panel->findChild<QPushButton*>(QStringLiteral("off"))->setEnabled(false);
    }
};

// What the run and feedback windows do with a press.
TBottoneSeriale::PressHandler windowHandler(TScansione& scan)
{
    return [&scan](TBottoneSeriale* sender) {
        if (sender->dsrNow())
            scan.performAction(scan.device == serialOneSwitch ? scanSelect : scanNext);
        else if (sender->ctsNow())
            scan.performAction(scanSelect);
    };
}

} // namespace

void TestSerial::panelScannedByTwoSwitches()
{
    ScannedPanel p;
    Switches s;
    s.serial.openPort(1);
    TScansione scan(p.panel, 1500, serialTwoSwitch);
    s.serial.setPressHandler(windowHandler(scan));
    auto press = [&s](bool cts, bool dsr) {
        s.lines->cts = cts;
        s.lines->dsr = dsr;
        s.serial.poll();
        s.lines->cts = false;
        s.lines->dsr = false;
        s.serial.poll();
    };
    press(true, false);                  // select "yes"
    press(false, true);                  // step to "ok"
    press(false, true);                  // "off" is disabled: on to "no"
    press(true, false);                  // select "no"
    press(false, true);                  // wraps to "yes"
    press(true, false);
    QCOMPARE(p.clicks, (QStringList{"yes", "no", "yes"}));
    press(true, true); // both at once: DSR is seen twice, two steps
    QCOMPARE(scan.buttons.at(scan.current)->objectName(), QStringLiteral("no"));
    QCOMPARE(p.clicks.size(), 3);
}

void TestSerial::panelScannedByOneSwitch()
{
    ScannedPanel p;
    Switches s;
    s.serial.openPort(1);
    TScansione scan(p.panel, 15, serialOneSwitch);
    s.serial.setPressHandler(windowHandler(scan));
    scan.startScanning();
    QTRY_COMPARE_WITH_TIMEOUT(scan.buttons.at(scan.current)->objectName(), QStringLiteral("no"), 2000);
    scan.stopScanning();
    s.lines->cts = true;
    s.serial.poll();
    QCOMPARE(p.clicks, QStringList{"no"});
    s.lines->cts = false;
    s.serial.poll();
    scan.performAction(scanNext);
    s.lines->dsr = true; // either line selects
    s.serial.poll();
    QCOMPARE(p.clicks, (QStringList{"no", "yes"}));
}

QTEST_MAIN(TestSerial)
#include "tst_serial.moc"
