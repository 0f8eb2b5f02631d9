#include "access/Joystick.h"
#include "access/JoystickDriver.h"
#include "support/BrokenDriver.h"
#include "access/Uregjoy.h"
#include "access/Uscans.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <SDL.h>
#include <memory>

namespace {

// A joystick of SDL's own, moved by the test; SDL reads it like a real one.
class VirtualStick
{
public:
    explicit VirtualStick(int axes = 2, int buttons = 4)
    {
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, 0);
        if (index >= 0)
            joystick = SDL_JoystickOpen(index);
        centre();
    }
    ~VirtualStick() { unplug(); }
    VirtualStick(const VirtualStick&) = delete;
    VirtualStick& operator=(const VirtualStick&) = delete;

    bool ok() const { return joystick != nullptr; }
    // Position in the program's units, 0..65535.
    void at(int x, int y)
    {
        SDL_JoystickSetVirtualAxis(joystick, 0, Sint16(x - 32768));
        SDL_JoystickSetVirtualAxis(joystick, 1, Sint16(y - 32768));
    }
    void centre() { at(32767, 32767); }
    void button(int index0, bool down)
    {
        SDL_JoystickSetVirtualButton(joystick, index0, down ? 1 : 0);
    }
    void unplug()
    {
        if (joystick)
            SDL_JoystickClose(joystick);
        if (index >= 0)
            SDL_JoystickDetachVirtual(index);
        joystick = nullptr;
        index = -1;
    }

private:
    int index = -1;
    SDL_Joystick* joystick = nullptr;
};


struct Events {
    QList<int> directions;
    QList<QList<int>> moves;
    QList<QList<int>> downs;
    QList<QList<int>> ups;

    void listen(TJoystick& stick)
    {
        stick.OnDirection = [this](int direction) { directions << direction; };
        stick.OnMove = [this](int x, int y, int buttons) { moves.append({x, y, buttons}); };
        stick.OnButtonDown = [this](int buttons, int x, int y) { downs.append({buttons, x, y}); };
        stick.OnButtonUp = [this](int buttons, int x, int y) { ups.append({buttons, x, y}); };
    }
};

struct JoyPanel {
    QWidget window;
    QFrame* panel;
    QStringList clicks;
    JoyPanel()
    {
        window.resize(500, 300);
        panel = new QFrame(&window);
        panel->setGeometry(0, 0, 500, 300);
        // a b       (tags 0 1), on the top row
        // c [off] d (tags 2 3 4), on the bottom row; one left out (-1)
        add(QStringLiteral("a"), 20, 20, 0);
        add(QStringLiteral("b"), 200, 20, 1);
        add(QStringLiteral("c"), 20, 150, 2);
        add(QStringLiteral("off"), 110, 150, 3)->setEnabled(false);
        add(QStringLiteral("d"), 200, 150, 4);
        add(QStringLiteral("out"), 380, 20, -1);
    }
    QPushButton* add(const QString& name, int x, int y, int tag)
    {
        auto* button = new QPushButton(name, panel);
        button->setObjectName(name);
        button->setGeometry(x, y, 80, 40);
        button->setProperty("tag", tag);
        QObject::connect(button, &QPushButton::clicked, &window, [this, name] { clicks << name; });
        return button;
    }
};

QString currentName(const TScansione& scan)
{
    QAbstractButton* button = scan.currentButton();
    return button ? button->objectName() : QString();
}

} // namespace

class TestJoystick : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void presenceCodes();
    void startAndCaptureErrorsAreShown();
    void deadZoneAndDirectionsFireOnceUntilBack();
    void deadZoneFractionIsClamped();
    void movesAndButtonsCarryTheirFlags();
    void captureReadsEveryHundredMillisecondsUntilReleased();
    void unpluggedStickIsTakenUpAgain();
    void positionAndCentre();
    void handlerMayEndTheCapture();
    void panelScannedByDirectionalJoystick();
    void panelScannedByTwoButtons();
    void panelScannedByOneButton();
    void calibrationDialog();
};

void TestJoystick::initTestCase()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    QCOMPARE(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    QCOMPARE(SDL_NumJoysticks(), 0); // the tests plug in their own joysticks
}

void TestJoystick::cleanupTestCase()
{
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void TestJoystick::presenceCodes()
{
    int code = -5;
    QVERIFY(!joystickPresent(0, code));
    QCOMPARE(code, int(joyUnplugged));
    {
        VirtualStick stick;
        QVERIFY(stick.ok());
        QVERIFY(joystickPresent(0, code));
        QCOMPARE(code, int(joyOk));
        QVERIFY(!joystickPresent(1, code));
        QCOMPARE(code, int(joyUnplugged));
        QVERIFY(!joystickPresent(16, code));
        QCOMPARE(code, int(joyParms));
        QVERIFY(!joystickPresent(-1, code));
        QCOMPARE(code, int(joyParms));
    }
    QVERIFY(!joystickPresent(0, code));
    QCOMPARE(code, int(joyUnplugged));
    {
        BrokenDriver none(false);
        QVERIFY(!joystickPresent(0, code));
        QCOMPARE(code, int(joyNoDriver));
    }
    {
        BrokenDriver refusing(true);
        QVERIFY(!joystickPresent(0, code));
        QCOMPARE(code, int(joyNoCanDo));
    }
}

void TestJoystick::startAndCaptureErrorsAreShown()
{
    QWidget window;
    {
        ScriptedDialogs script;
        BrokenDriver none(false);
        TJoystick stick(0);
        QVERIFY(!stick.available());
        stick.startCapture(&window);
        stick.setDeadZone(0.4);
        QVERIFY(!stick.captured());
        QVERIFY(!stick.deadZoneSet());
        QCOMPARE(script.messages(),
                 QStringList{QStringLiteral("Errore MMSYSERR_NODRIVER: il joystick non funzionera'")});
    }
    {
        ScriptedDialogs script;
        TJoystick stick(2);
        QVERIFY(!stick.available());
        QCOMPARE(script.messages(),
                 QStringList{QStringLiteral("Errore JOYERR_PARMS: il joystick non funzionera'")});
    }
    {
        ScriptedDialogs script;
        TJoystick stick(0); // nothing plugged in
        QVERIFY(stick.available());
        QCOMPARE(stick.centreX(), 32767);
        QCOMPARE(stick.centreY(), 32767);
        QVERIFY(script.messages().isEmpty());
        stick.startCapture(&window);
        QVERIFY(!stick.captured());
        QCOMPARE(stick.lastError(), int(joyUnplugged));
        QCOMPARE(script.messages(),
                 QStringList{QStringLiteral("Errore JOYERR_UNPLUGGED: il joystick non mandera' messaggi")});
    }
    {
        ScriptedDialogs script;
        BrokenDriver refusing(true);
        TJoystick stick(0);
        stick.startCapture(&window);
        QVERIFY(!stick.captured());
        QCOMPARE(script.messages(),
                 QStringList{QStringLiteral("Errore JOYERR_NOCANDO: il joystick non mandera' messaggi")});
    }
}

void TestJoystick::deadZoneAndDirectionsFireOnceUntilBack()
{
    VirtualStick stick;
    QWidget window;
    ScriptedDialogs script;
    TJoystick joy(0);
    joy.startCapture(&window);
    QVERIFY(joy.captured());
    QCOMPARE(joy.captureWindow(), &window);
    joy.setDeadZone(0.4);
    QCOMPARE(joy.deadZone(), 13106);
    Events events;
    events.listen(joy);

    const int bound = 32767 - 13106;
    stick.at(32767, bound); // exactly on the edge: not beyond it
    joy.poll();
    QVERIFY(events.directions.isEmpty());
    stick.at(32767, bound - 1);
    joy.poll();
    joy.poll(); // held up
    QCOMPARE(events.directions, QList<int>{joyUp});
    stick.centre();
    joy.poll();
    stick.at(32767, 0);
    joy.poll();
    QCOMPARE(events.directions, (QList<int>{joyUp, joyUp}));

    events.directions.clear();
    stick.at(32767, 32767 + 13107);
    joy.poll();
    stick.at(65535, 65535); // down held, right added: only right is new
    joy.poll();
    stick.at(0, 0);         // the other corner: up and left, in that order
    joy.poll();
    QCOMPARE(events.directions, (QList<int>{joyDown, joyRight, joyUp, joyLeft}));
    QVERIFY(script.messages().isEmpty());

    // Without a direction event the latches are left alone.
    events.directions.clear();
    joy.OnDirection = nullptr;
    stick.centre();
    joy.poll();
    joy.OnDirection = [&events](int direction) { events.directions << direction; };
    stick.at(0, 0);
    joy.poll();
    QVERIFY(events.directions.isEmpty());
}

void TestJoystick::deadZoneFractionIsClamped()
{
    VirtualStick stick;
    QWidget window;
    TJoystick joy(0);
    joy.setDeadZone(0.25); // known as soon as the joystick is available
    QVERIFY(joy.deadZoneSet());
    QCOMPARE(joy.deadZone(), 8191);
    joy.setDeadZone(3);
    QCOMPARE(joy.deadZone(), 32767);
    joy.setDeadZone(-0.5);
    QCOMPARE(joy.deadZone(), 0);

    joy.startCapture(&window);
    Events events;
    events.listen(joy);
    stick.at(32767, 32766); // one unit off the centre
    joy.poll();
    QCOMPARE(events.directions, QList<int>{joyUp});
}

void TestJoystick::movesAndButtonsCarryTheirFlags()
{
    VirtualStick stick;
    QWidget window;
    stick.button(2, true); // held before the capture: not a press
    TJoystick joy(0);
    joy.startCapture(&window);
    Events events;
    events.listen(joy);
    stick.at(1000, 60000);
    joy.poll();
    QCOMPARE(events.moves, (QList<QList<int>>{{1000, 60000, 0x4}}));
    QVERIFY(events.downs.isEmpty());

    stick.button(0, true);
    joy.poll();
    joy.poll(); // still held
    QCOMPARE(events.downs, (QList<QList<int>>{{0x1 | 0x4 | joyButton1Changed, 1000, 60000}}));
    stick.button(1, true);
    joy.poll();
    QCOMPARE(events.downs.last(), (QList<int>{0x1 | 0x2 | 0x4 | joyButton2Changed, 1000, 60000}));
    stick.button(0, false);
    stick.button(2, false);
    joy.poll();
    QCOMPARE(events.ups, (QList<QList<int>>{{0x2 | 0x100 | 0x400, 1000, 60000}}));
    QCOMPARE(events.downs.size(), 2);
    QCOMPARE(events.moves.size(), 5); // every reading is a move
}

void TestJoystick::captureReadsEveryHundredMillisecondsUntilReleased()
{
    VirtualStick stick;
    QWidget window;
    TJoystick joy(0);
    Events events;
    events.listen(joy);
    joy.startCapture(&window);
    QTest::qWait(450);
    QVERIFY2(events.moves.size() >= 3 && events.moves.size() <= 5,
             qPrintable(QString::number(events.moves.size())));
    stick.button(1, true);
    QTRY_COMPARE_WITH_TIMEOUT(events.downs.size(), 1, 1000);

    joy.releaseCapture();
    QVERIFY(!joy.captured());
    const int moves = events.moves.size();
    stick.button(1, false);
    QTest::qWait(250);
    QCOMPARE(events.moves.size(), moves);
    QVERIFY(events.ups.isEmpty());

    // A capture ends with the window it was made for.
    auto owner = std::make_unique<QWidget>();
    joy.startCapture(owner.get());
    QVERIFY(joy.captured());
    owner.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!joy.captured(), 1000);
}

void TestJoystick::unpluggedStickIsTakenUpAgain()
{
    QWidget window;
    auto stick = std::make_unique<VirtualStick>();
    TJoystick joy(0);
    joy.startCapture(&window);
    Events events;
    events.listen(joy);
    joy.poll();
    QCOMPARE(events.moves.size(), 1);
    stick.reset();
    joy.poll();
    joy.poll();
    QCOMPARE(events.moves.size(), 1);
    QVERIFY(joy.captured());

    stick = std::make_unique<VirtualStick>();
    stick->at(0, 32767);
    joy.poll();
    QCOMPARE(events.moves.size(), 2);
    QCOMPARE(events.directions, QList<int>{joyLeft});
}

void TestJoystick::positionAndCentre()
{
    VirtualStick stick;
    QWidget window;
    TJoystick joy(0);
    stick.at(40000, 20000);
    QCOMPARE(joy.readPosition(), QPoint(40000, 20000)); // not captured
    joy.startCapture(&window);
    joy.setDeadZone(0.1); // 3276
    stick.at(41000, 21000);
    QCOMPARE(joy.readPosition(), QPoint(41000, 21000));

    // A stick that rests off the middle: its rest position becomes the centre.
    joy.setCentre(41000, 21000);
    QCOMPARE(joy.centreX(), 41000);
    Events events;
    events.listen(joy);
    joy.poll();
    stick.at(41000 + 3277, 21000);
    joy.poll();
    stick.at(41000, 21000 - 3277);
    joy.poll();
    QCOMPARE(events.directions, (QList<int>{joyRight, joyUp}));

    // A device without a stick stays at the centre.
    stick.unplug();
    VirtualStick buttonsOnly(0, 2);
    TJoystick box(0);
    box.startCapture(&window);
    box.setDeadZone(-1);
    Events boxEvents;
    boxEvents.listen(box);
    box.poll();
    QCOMPARE(boxEvents.moves.value(0), (QList<int>{32767, 32767, 0}));
    QVERIFY(boxEvents.directions.isEmpty());
}

void TestJoystick::handlerMayEndTheCapture()
{
    VirtualStick stick;
    QWidget window;
    auto joy = std::make_unique<TJoystick>(0);
    joy->startCapture(&window);
    Events events;
    events.listen(*joy);
    joy->OnMove = [&joy](int, int, int) { joy->releaseCapture(); };
    stick.at(0, 0);
    stick.button(0, true);
    joy->poll();
    QVERIFY(events.directions.isEmpty());
    QVERIFY(events.downs.isEmpty());

    // A direction that ends the joystick itself (its window closed).
    joy->OnMove = nullptr;
    joy->startCapture(&window);
    QVERIFY(joy->captured());
    stick.centre();
    joy->poll();
    joy->OnDirection = [&joy](int) { joy.reset(); };
    stick.at(0, 0);
    stick.button(0, false);
    stick.button(1, true);
    QPointer<TJoystick> watch(joy.get());
    watch->poll();
    QVERIFY(!joy);
}

void TestJoystick::panelScannedByDirectionalJoystick()
{
    VirtualStick stick;
    JoyPanel p;
    ScriptedDialogs script;
    TScansione scan(p.panel, 1500, joystickDirectional);
    QVERIFY(script.messages().isEmpty());
    QVERIFY(!scan.timed);
    QVERIFY(scan.joystick() && scan.joystick()->captured());
    QCOMPARE(scan.joystick()->captureWindow(), &p.window);
    QCOMPARE(scan.joystick()->deadZone(), 13106);
    TJoystick* joy = scan.joystick();

    auto push = [&](int x, int y) {
        stick.at(x, y);
        joy->poll();
        stick.centre();
        joy->poll();
    };
    push(65535, 32767); // right: a -> b
    QCOMPARE(currentName(scan), QStringLiteral("b"));
    push(32767, 65535); // down from b: d is straight below
    QCOMPARE(currentName(scan), QStringLiteral("d"));
    push(0, 32767);     // left: the disabled button is the nearest
    QCOMPARE(currentName(scan), QStringLiteral("off"));
    stick.button(0, true);
    joy->poll();
    QVERIFY(p.clicks.isEmpty()); // a disabled button is never pressed
    stick.button(0, false);
    joy->poll();
    push(0, 32767);
    push(32767, 0);     // up from c: a
    QCOMPARE(currentName(scan), QStringLiteral("a"));
    stick.button(3, true); // any button selects
    joy->poll();
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});
    push(0, 0);         // up and left at once: nothing there
    QCOMPARE(currentName(scan), QStringLiteral("a"));
}

void TestJoystick::panelScannedByTwoButtons()
{
    VirtualStick stick;
    JoyPanel p;
    ScriptedDialogs script;
    TScansione scan(p.panel, 1500, joystickTwoButton);
    TJoystick* joy = scan.joystick();
    QVERIFY(joy->captured());
    auto press = [&](int button) {
        stick.button(button, true);
        joy->poll();
        stick.button(button, false);
        joy->poll();
    };
    press(1); // button 2 steps
    press(1);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    press(1); // past the disabled one
    QCOMPARE(currentName(scan), QStringLiteral("d"));
    press(2); // button 3 does nothing
    stick.at(65535, 32767); // nor does the stick
    joy->poll();
    QCOMPARE(currentName(scan), QStringLiteral("d"));
    QVERIFY(p.clicks.isEmpty());
    press(0); // button 1 selects
    QCOMPARE(p.clicks, QStringList{QStringLiteral("d")});
    press(1);
    QCOMPARE(currentName(scan), QStringLiteral("a"));
}

void TestJoystick::panelScannedByOneButton()
{
    VirtualStick stick;
    JoyPanel p;
    ScriptedDialogs script;
    TScansione scan(p.panel, 20, joystickOneButton);
    QVERIFY(scan.timed);
    scan.startScanning();
    QTRY_COMPARE_WITH_TIMEOUT(currentName(scan), QStringLiteral("c"), 2000);
    scan.stopScanning();
    stick.button(1, true);
    scan.joystick()->poll();
    QCOMPARE(p.clicks, QStringList{QStringLiteral("c")});

    // Without a joystick the pupil is told, and the scanning still runs.
    stick.unplug();
    JoyPanel other;
    ScriptedDialogs unplugged;
    TScansione lonely(other.panel, 20, joystickOneButton);
    QCOMPARE(unplugged.messages(),
             QStringList{QStringLiteral("Errore JOYERR_UNPLUGGED: il joystick non mandera' messaggi")});
    QVERIFY(!lonely.joystick()->captured());
    QCOMPARE(lonely.joystick()->deadZone(), 13106);
    lonely.startScanning();
    QTRY_VERIFY_WITH_TIMEOUT(lonely.current > 0, 2000);
}

void TestJoystick::calibrationDialog()
{
    TregolaJoyForm form;
    QCOMPARE(form.objectName(), QStringLiteral("regolaJoyForm"));
    QCOMPARE(form.windowTitle(), QStringLiteral(" Regolazione del joystick"));
    QCOMPARE(form.size(), QSize(416, 169));
    QCOMPARE(form.Memo1->text(), QStringLiteral("Per regolare la posizione di \nriposo del joystick, "
                                                "si rilasci la \nleva e si prema il tasto OK."));
    QVERIFY(form.Memo1->font().bold());
    QCOMPARE(form.Memo1->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QCOMPARE(form.OKBtn->text(), QStringLiteral("&OK"));
    QCOMPARE(form.OKBtn->size(), QSize(76, 27));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Every line is shown whole.
    const QFontMetrics metrics(form.Memo1->font());
    for (const QString& line : form.Memo1->text().split(QLatin1Char('\n')))
        QVERIFY(metrics.horizontalAdvance(line.trimmed()) <= form.Memo1->contentsRect().width());
    QVERIFY(metrics.lineSpacing() * 3 <= form.Memo1->contentsRect().height());
    form.hide();

    testsupport::whenModalShown([](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
}

QTEST_MAIN(TestJoystick)
#include "tst_joystick.moc"
