#include "access/Uscans.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QRgb magenta = qRgb(255, 0, 255);

// A window with a scanned panel; every button records its clicks by name.
struct Panel {
    QWidget window;
    QFrame* panel = nullptr;
    QLineEdit* edit = nullptr;
    QStringList clicks;

    Panel()
    {
        window.resize(900, 420);
        panel = new QFrame(&window);
        panel->setObjectName(QStringLiteral("PanelScansione"));
        panel->setGeometry(20, 20, 860, 300);
        panel->setAutoFillBackground(true);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, Qt::white);
        panel->setPalette(palette);
        edit = new QLineEdit(&window);
        edit->setObjectName(QStringLiteral("edit"));
        edit->setGeometry(20, 340, 300, 30);
    }

    QAbstractButton* add(QAbstractButton* button, const QString& name, QRect geometry,
                         QVariant tag = QVariant())
    {
        button->setObjectName(name);
        button->setText(name);
        button->setGeometry(geometry);
        if (tag.isValid())
            button->setProperty("tag", tag);
        QObject::connect(button, &QAbstractButton::clicked, &window,
                         [this, name] { clicks << name; });
        return button;
    }
    QPushButton* button(const QString& name, QRect geometry, QVariant tag = QVariant(),
                        QWidget* parent = nullptr)
    {
        auto* b = new QPushButton(parent ? parent : panel);
        add(b, name, geometry, tag);
        return b;
    }
    // A row of buttons 100 x 40, 30 pixels apart.
    QPushButton* inRow(const QString& name, int position, QVariant tag = QVariant())
    {
        return button(name, QRect(20 + position * 130, 40, 100, 40), tag);
    }
};

QStringList names(const TScansione& scan)
{
    QStringList result;
    for (QAbstractButton* button : scan.buttons)
        result << (button ? button->objectName() : QStringLiteral("<none>"));
    return result;
}

QString currentName(const TScansione& scan)
{
    QAbstractButton* button = scan.currentButton();
    return button ? button->objectName() : QString();
}

void sendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
             bool autoRepeat, const QString& text = QString())
{
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(to, &event);
}

// Whether the frame of the panel's painting surrounds `button`: magenta on
// all four sides within the margin, not beyond it.
bool framed(QWidget* parent, QWidget* button)
{
    const QImage image = parent->grab().toImage();
    const QRect r = button->geometry();
    const int midX = r.center().x();
    const int midY = r.center().y();
    auto at = [&image](int x, int y) { return image.pixel(x, y) == magenta; };
    return at(r.left() - 3, midY) && at(r.right() + 3, midY) && at(midX, r.top() - 3)
           && at(midX, r.bottom() + 3) && at(r.left() - 6, r.top() - 6)
           && at(r.right() + 6, r.bottom() + 6) && !at(r.left() - 7, midY)
           && !at(r.right() + 7, midY) && !at(midX, r.top() - 7);
}

// Magenta pixels of the widget's painting outside its buttons (the rounded
// corners of a button may let the frame show through).
int magentaPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QList<QRect> buttonAreas;
    const QList<QAbstractButton*> all = widget->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : all)
        buttonAreas << QRect(button->mapTo(widget, QPoint(0, 0)), button->size());
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xffffff) != (magenta & 0xffffff))
                continue;
            bool inButton = false;
            for (const QRect& area : std::as_const(buttonAreas))
                inButton = inButton || area.contains(x, y);
            count += !inButton;
        }
    }
    return count;
}

} // namespace

class TestScanning : public QObject
{
    Q_OBJECT

private slots:
    void collectsPushButtonsByTagInExchangeSortOrder();
    void aHeldPressCountsWhileTheScanRuns();
    void changedTagsCountOnlyAfterRebuild();
    void emptyPanelDoesNothing();
    void nextWrapsAndPassesDisabledButtons();
    void selectClicksOnlyAnEnabledButton();
    void selectPressesNothingBehindAModalWindow();
    void frameIsPaintedAroundTheCurrentButtonOnly();
    void timedDevicesStepByTimerOnlyWhileRunning();
    void spaceSelectsOncePerPress();
    void spaceIsIgnoredWhileSuspendedOrWithoutKeyInput();
    void spaceReleasedWhileKeysPassStillEndsThePress();
    void spaceReleasedOverAnotherScanningEndsThePress();
    void arrowsAndKeypadPlusAreKeptFromControls();
    void directionPicksNearestWithTiesToScanOrder();
    void directionDiagonalsCountForBothNeighbours();
    void directionUsesContainerCoordinatesAndLimit();
    void destroyedButtonIsLeftOut();
    void screenshotOfScannedPanel();
    void heldSpaceOnARealDisplay();
};

void TestScanning::collectsPushButtonsByTagInExchangeSortOrder()
{
    Panel p;
    p.inRow(QStringLiteral("b1"), 0, 1);
    p.inRow(QStringLiteral("zeroA"), 1, 0);
    p.inRow(QStringLiteral("left"), 2, -1);
    auto* group = new QFrame(p.panel);
    group->setGeometry(0, 120, 800, 100);
    p.button(QStringLiteral("untagged"), QRect(10, 10, 100, 40), QVariant(), group);
    auto* tool = new QToolButton(group);
    p.add(tool, QStringLiteral("tool"), QRect(150, 10, 100, 40), 2);
    auto* check = new QCheckBox(group);
    p.add(check, QStringLiteral("check"), QRect(300, 10, 100, 40), 0);
    p.inRow(QStringLiteral("b3"), 3, 3);
    p.inRow(QStringLiteral("one"), 4, 1);
    p.inRow(QStringLiteral("zeroB"), 5, 0);

    TScansione scan(p.panel, 1500, serialTwoSwitch);
    // Child order: b1(1) zeroA(0) untagged(0, inside the group) tool(2) b3(3) one(1)
    // zeroB(0). The exchange sort puts "one" before "b1" (a stable sort would not).
    QCOMPARE(names(scan), (QStringList{QStringLiteral("zeroA"), QStringLiteral("untagged"),
                                       QStringLiteral("zeroB"), QStringLiteral("one"),
                                       QStringLiteral("b1"), QStringLiteral("tool"),
                                       QStringLiteral("b3")}));
    QCOMPARE(scan.current, 0);
    QVERIFY(!scan.timed);
    QVERIFY(!scan.keyInput);
    QVERIFY(!scan.suspended);
    QCOMPARE(scan.joystick(), nullptr);
}

void TestScanning::changedTagsCountOnlyAfterRebuild()
{
    Panel p;
    auto* a = p.inRow(QStringLiteral("a"), 0, 0);
    auto* b = p.inRow(QStringLiteral("b"), 1, 1);
    p.inRow(QStringLiteral("c"), 2, 2);
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    scan.performAction(scanNext);
    QCOMPARE(scan.current, 1);

    b->setProperty("tag", -1);
    a->setProperty("tag", 5);
    QCOMPARE(names(scan), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    scan.stopScanning();
    scan.rebuildList();
    QCOMPARE(names(scan), (QStringList{QStringLiteral("c"), QStringLiteral("a")}));
    QCOMPARE(scan.current, 0);
    QVERIFY(scan.running()); // rebuilding starts the scanning again
}

void TestScanning::emptyPanelDoesNothing()
{
    Panel p;
    p.inRow(QStringLiteral("out"), 0, -1);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    QVERIFY(scan.buttons.isEmpty());
    for (ScanCommand command : {scanSelect, scanNext, scanUp, scanDown, scanLeft, scanRight})
        scan.performAction(command);
    QTest::keyClick(p.panel, Qt::Key_Space);
    QCOMPARE(scan.current, 0);
    QVERIFY(p.clicks.isEmpty());
    QVERIFY(scan.markRect().isNull());
    QCOMPARE(magentaPixels(p.panel), 0);
}

void TestScanning::nextWrapsAndPassesDisabledButtons()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    auto* b = p.inRow(QStringLiteral("b"), 1, 1);
    auto* c = p.inRow(QStringLiteral("c"), 2, 2);
    auto* d = p.inRow(QStringLiteral("d"), 3, 3);
    b->setEnabled(false);
    d->hide();
    TScansione scan(p.panel, 1500, serialTwoSwitch);
    QCOMPARE(scan.buttons.size(), 4);

    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        scan.performAction(scanNext);
        visited << currentName(scan);
    }
    QCOMPARE(visited, (QStringList{QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("c"),
                                   QStringLiteral("a")}));

    // Only one usable button: the frame keeps to it; none at all: it stays put.
    c->setEnabled(false);
    scan.performAction(scanNext);
    QCOMPARE(currentName(scan), QStringLiteral("a"));
    scan.buttons.at(0)->setEnabled(false);
    scan.performAction(scanNext);
    QCOMPARE(currentName(scan), QStringLiteral("a"));
}

void TestScanning::selectClicksOnlyAnEnabledButton()
{
    Panel p;
    auto* a = p.inRow(QStringLiteral("a"), 0, 0);
    p.inRow(QStringLiteral("b"), 1, 1);
    TScansione scan(p.panel, 1500, serialOneSwitch);
    scan.performAction(scanSelect);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});

    a->setEnabled(false);
    scan.performAction(scanSelect);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});

    // A checkable button is clicked as a whole (toggled once).
    a->setEnabled(true);
    a->setCheckable(true);
    scan.performAction(scanSelect);
    QVERIFY(a->isChecked());
    QCOMPARE(p.clicks.size(), 2);

    scan.performAction(scanNext);
    scan.performAction(scanSelect);
    QCOMPARE(p.clicks.last(), QStringLiteral("b"));
}

void TestScanning::selectPressesNothingBehindAModalWindow()
{
    // A dialog opened over the scanned window (the exercise chooser, a
    // question) takes the input: no switch presses a button behind it.
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    {
        QDialog chooser(&p.window);
        chooser.setWindowModality(Qt::ApplicationModal);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(QApplication::activeModalWidget(), &chooser);
        scan.performAction(scanSelect);
        QTest::keyClick(&chooser, Qt::Key_Space);
        QVERIFY(p.clicks.isEmpty());

        // A dialog that is itself scanned (the feedback window) is pressed.
        Panel inDialog;
        auto* ok = inDialog.button(QStringLiteral("ok"), QRect(10, 10, 80, 30), 0);
        inDialog.panel->setParent(&chooser);
        TScansione dialogScan(inDialog.panel, 1500, serialOneSwitch);
        dialogScan.performAction(scanSelect);
        QCOMPARE(inDialog.clicks, QStringList{QStringLiteral("ok")});
        QCOMPARE(ok->window(), &chooser);
        inDialog.panel->setParent(&inDialog.window);
    }
    scan.performAction(scanSelect);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});

    // A dialog modal for another window only keeps that window.
    QWidget other;
    other.show();
    QDialog ownDialog(&other);
    ownDialog.setWindowModality(Qt::WindowModal);
    ownDialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ownDialog));
    scan.performAction(scanSelect);
    QCOMPARE(p.clicks.size(), 2);
}

void TestScanning::frameIsPaintedAroundTheCurrentButtonOnly()
{
    Panel p;
    auto* a = p.inRow(QStringLiteral("a"), 0, 0);
    auto* b = p.inRow(QStringLiteral("b"), 1, 1);
    auto* inner = new QFrame(p.panel);
    inner->setGeometry(0, 150, 400, 120);
    auto* c = p.button(QStringLiteral("c"), QRect(40, 30, 100, 40), 2, inner);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));

    TScansione scan(p.panel, 1500, serialTwoSwitch);
    QCOMPARE(scan.markRect(), a->geometry().adjusted(-6, -6, 6, 6));
    QVERIFY(framed(p.panel, a));
    QVERIFY(!framed(p.panel, b));
    const int frameArea = (100 + 12) * (40 + 12) - 100 * 40;
    QCOMPARE(magentaPixels(p.panel), frameArea);

    scan.performAction(scanNext);
    QVERIFY(framed(p.panel, b));
    QVERIFY(!framed(p.panel, a));
    scan.performAction(scanNext); // into the inner frame: painted on the button's own parent
    QVERIFY(framed(inner, c));
    QCOMPARE(magentaPixels(p.panel), frameArea);

    // The frame follows its button when the button moves.
    c->move(200, 40);
    QVERIFY(framed(inner, c));
    QCOMPARE(magentaPixels(p.panel), frameArea);

    // Without the scanning no frame is left on the screen.
    QTest::qWait(20);
    {
        TScansione other(p.panel, 1500, serialOneSwitch);
        QVERIFY(magentaPixels(p.panel) > frameArea); // two scannings, two frames
    }
    QCOMPARE(magentaPixels(p.panel), frameArea);
}

// With an acceptance time a press acts once held that long, on the button
// framed when it began (the frame waits meanwhile); a switch let go too early,
// or a scan stopped by its window meanwhile, drops it.
void TestScanning::aHeldPressCountsWhileTheScanRuns()
{
    FakeClock clock(0, true);
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.inRow(QStringLiteral("b"), 1, 1);
    p.inRow(QStringLiteral("c"), 2, 2);
    ScanTiming timing;
    timing.stepMs = 1000;
    timing.acceptMs = 300;
    TScansione scan(p.panel, timing, serialOneSwitch);
    bool down = true;
    const auto held = [&down] { return down; };
    scan.startScanning();
    clock.advance(900);
    scan.switchPressed(scanSelect, held);
    clock.advance(299);                       // the frame waits on "a"
    QCOMPARE(p.clicks, QStringList());
    QVERIFY(scan.running());
    clock.advance(1);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});
    clock.advance(999);                       // then a whole step on it
    QCOMPARE(currentName(scan), QStringLiteral("a"));
    clock.advance(1);
    QCOMPARE(currentName(scan), QStringLiteral("b"));

    scan.switchPressed(scanSelect, held);
    down = false;                             // let go at once
    clock.advance(300);
    QVERIFY(!scan.pressPending());
    QCOMPARE(p.clicks.size(), 1);

    down = true;
    scan.switchPressed(scanSelect, held);
    clock.advance(100);
    scan.stopScanning();                      // the window is busy
    clock.advance(5000);
    QCOMPARE(p.clicks.size(), 1);
    QVERIFY(!scan.running());
    QCOMPARE(currentName(scan), QStringLiteral("b"));
}

void TestScanning::timedDevicesStepByTimerOnlyWhileRunning()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.inRow(QStringLiteral("b"), 1, 1);
    p.inRow(QStringLiteral("c"), 2, 2);

    for (AccessDevice device : {spaceBarSwitch, joystickOneButton, serialOneSwitch}) {
        ScriptedDialogs script; // a joystick device may report a missing joystick
        TScansione scan(p.panel, 10, device);
        QVERIFY(scan.timed);
        QTest::qWait(60);
        QCOMPARE(scan.current, 0); // created stopped
        scan.startScanning();
        QVERIFY(scan.running());
        QTRY_COMPARE_WITH_TIMEOUT(scan.current, 2, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(scan.current, 0, 2000); // wrapped
        scan.stopScanning();
        const int stoppedAt = scan.current;
        QTest::qWait(60);
        QCOMPARE(scan.current, stoppedAt);
    }
    for (AccessDevice device : {joystickDirectional, joystickTwoButton, serialTwoSwitch}) {
        ScriptedDialogs script;
        TScansione scan(p.panel, 10, device);
        QVERIFY(!scan.timed);
        scan.startScanning();
        QVERIFY(!scan.running());
        QTest::qWait(60);
        QCOMPARE(scan.current, 0);
    }
}

void TestScanning::spaceSelectsOncePerPress()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.inRow(QStringLiteral("b"), 1, 1);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.edit->setFocus();
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    QVERIFY(scan.keyInput);

    QTest::keyClick(p.edit, Qt::Key_Space);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});
    QCOMPARE(p.edit->text(), QString()); // the space never reached the edit box

    // Held down as X11 repeats it: auto-repeated release + press pairs.
    scan.performAction(scanNext);
    sendKey(p.edit, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, false, QStringLiteral(" "));
    for (int i = 0; i < 10; ++i) {
        sendKey(p.edit, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, true, QStringLiteral(" "));
        sendKey(p.edit, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, true, QStringLiteral(" "));
    }
    sendKey(p.edit, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, false, QStringLiteral(" "));
    QCOMPARE(p.clicks, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    // Repeated presses without the auto-repeat mark: the latch holds them.
    for (int i = 0; i < 5; ++i)
        sendKey(p.edit, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, false, QStringLiteral(" "));
    QCOMPARE(p.clicks.size(), 3);
    sendKey(p.edit, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, false, QStringLiteral(" "));
    QTest::keyClick(p.edit, Qt::Key_Space);
    QCOMPARE(p.clicks.size(), 4);
    QCOMPARE(p.edit->text(), QString());

    // X11 repeat pairs that arrive unmarked carry one time for release and press.
    auto timed = [&p](QEvent::Type type, quint64 time) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        event.setTimestamp(time);
        QApplication::sendEvent(p.edit, &event);
    };
    timed(QEvent::KeyPress, 4000);
    for (quint64 time = 4500; time < 5000; time += 33) {
        timed(QEvent::KeyRelease, time);
        timed(QEvent::KeyPress, time);
    }
    QCOMPARE(p.clicks.size(), 5);
    timed(QEvent::KeyRelease, 5200);
    timed(QEvent::KeyPress, 5300);
    QCOMPARE(p.clicks.size(), 6);
}

void TestScanning::spaceIsIgnoredWhileSuspendedOrWithoutKeyInput()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    auto* b = p.inRow(QStringLiteral("b"), 1, 1);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    TScansione scan(p.panel, 1500, spaceBarSwitch);

    p.edit->setFocus();
    scan.suspended = true;
    QTest::keyClick(p.edit, Qt::Key_Space);
    QVERIFY(p.clicks.isEmpty());
    QCOMPARE(p.edit->text(), QString()); // swallowed all the same
    scan.suspended = false;
    QTest::keyClick(p.edit, Qt::Key_Space);
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});

    // Without key input the keys go where they were going: the space into
    // the edit box, Space on the focused button presses that button.
    scan.keyInput = false;
    QTest::keyClick(p.edit, Qt::Key_Space);
    QTest::keyClick(p.edit, Qt::Key_Left);
    QTest::keyClick(p.edit, Qt::Key_X);
    QCOMPARE(p.edit->text(), QStringLiteral("x "));
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    QCOMPARE(p.clicks, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    // Other scanning devices have no key hook at all.
    TScansione serial(p.panel, 1500, serialOneSwitch);
    scan.keyInput = false;
    p.edit->setFocus();
    QTest::keyClick(p.edit, Qt::Key_Space);
    QCOMPARE(p.edit->text(), QStringLiteral("x  "));
    QCOMPARE(p.clicks.size(), 2);
}

void TestScanning::spaceReleasedWhileKeysPassStillEndsThePress()
{
    // The select opens a text box (key input off) while Space is still down;
    // Space is let go there. When key input is back, the next press selects.
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.edit->setFocus();
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    QObject::connect(scan.buttons.at(0), &QAbstractButton::clicked, &p.window,
                     [&scan] { scan.keyInput = false; });
    QTest::keyPress(p.edit, Qt::Key_Space);
    QCOMPARE(p.clicks.size(), 1);
    QVERIFY(!scan.keyInput);
    QTest::keyRelease(p.edit, Qt::Key_Space); // reaches the text box as usual
    QTest::keyClick(p.edit, Qt::Key_Left);
    QCOMPARE(p.edit->text(), QString());
    scan.keyInput = true;
    QTest::keyClick(p.edit, Qt::Key_Space);
    QCOMPARE(p.clicks.size(), 2);
    QCOMPARE(p.edit->text(), QString());

    // Held on through the text box and after it, as X11 repeats it when the
    // pairs arrive unmarked (one time for release and press): still one press.
    auto timed = [&p](QEvent::Type type, quint64 time) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        event.setTimestamp(time);
        QApplication::sendEvent(p.edit, &event);
    };
    scan.keyInput = true;
    timed(QEvent::KeyPress, 9000);
    QCOMPARE(p.clicks.size(), 3);
    QVERIFY(!scan.keyInput);
    timed(QEvent::KeyRelease, 9500); // the repeat, into the text box
    timed(QEvent::KeyPress, 9500);
    timed(QEvent::KeyRelease, 9533);
    scan.keyInput = true;            // the text box is gone, Space still held
    timed(QEvent::KeyPress, 9533);
    timed(QEvent::KeyRelease, 9566);
    timed(QEvent::KeyPress, 9566);
    QCOMPARE(p.clicks.size(), 3);
    timed(QEvent::KeyRelease, 9700); // let go, pressed again
    timed(QEvent::KeyPress, 9800);
    QCOMPARE(p.clicks.size(), 4);
}

void TestScanning::spaceReleasedOverAnotherScanningEndsThePress()
{
    // Space selects an answer in the run window, whose feedback window opens
    // with its own scanning while Space is still down. The release goes to
    // the newer scanning; back in the run window the next Space selects.
    Panel run;
    auto* answer = run.inRow(QStringLiteral("answer"), 0, 0);
    Panel feedback;
    feedback.inRow(QStringLiteral("ok"), 0, 0);
    run.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run.window));
    run.edit->setFocus();
    TScansione runScan(run.panel, 1500, spaceBarSwitch);
    std::unique_ptr<TScansione> feedbackScan;
    QObject::connect(answer, &QAbstractButton::clicked, &run.window, [&] {
        if (!feedbackScan)
            feedbackScan = std::make_unique<TScansione>(feedback.panel, 1500, spaceBarSwitch);
    });

    QTest::keyPress(run.edit, Qt::Key_Space);
    QVERIFY(feedbackScan);
    QTest::keyRelease(run.edit, Qt::Key_Space);
    QTest::keyClick(run.edit, Qt::Key_Space); // selects in the feedback window
    QCOMPARE(feedback.clicks, QStringList{QStringLiteral("ok")});
    feedbackScan.reset();
    QTest::keyClick(run.edit, Qt::Key_Space);
    QCOMPARE(run.clicks, (QStringList{QStringLiteral("answer"), QStringLiteral("answer")}));
    QCOMPARE(feedback.clicks.size(), 1);
}

void TestScanning::arrowsAndKeypadPlusAreKeptFromControls()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    p.edit->setFocus();
    p.edit->setText(QStringLiteral("abc"));
    p.edit->setCursorPosition(1);
    TScansione scan(p.panel, 1500, spaceBarSwitch);

    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(p.edit, key);
    QCOMPARE(p.edit->cursorPosition(), 1);
    QTest::keyClick(p.edit, Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(p.edit->text(), QStringLiteral("abc"));
    QTest::keyClick(p.edit, Qt::Key_Plus); // the plus of the main keyboard is typed
    QCOMPARE(p.edit->text(), QStringLiteral("a+bc"));
    QVERIFY(p.clicks.isEmpty());
    QCOMPARE(scan.current, 0);
}

void TestScanning::directionPicksNearestWithTiesToScanOrder()
{
    Panel p;
    // Centres: c (220, 210); r1 (260, 190) and r2 (260, 230), both 44 away.
    p.button(QStringLiteral("c"), QRect(200, 200, 40, 20), 0);
    p.button(QStringLiteral("r1"), QRect(240, 180, 40, 20), 2);
    p.button(QStringLiteral("r2"), QRect(240, 220, 40, 20), 1);
    p.button(QStringLiteral("farRight"), QRect(400, 200, 40, 20), 3);
    TScansione scan(p.panel, 1500, serialTwoSwitch);
    QCOMPARE(names(scan).first(), QStringLiteral("c"));

    scan.performAction(scanRight);
    QCOMPARE(currentName(scan), QStringLiteral("r2")); // earlier in scanning order
    scan.current = 0;
    scan.performAction(scanLeft);
    QCOMPARE(scan.current, 0); // nothing to the left

    // From r2 upward, r1 (straight above, 40 away) beats c (dx -40, dy -20 is left of the diagonal).
    scan.current = 1;
    scan.performAction(scanUp);
    QCOMPARE(currentName(scan), QStringLiteral("r1"));
    scan.performAction(scanRight);
    QCOMPARE(currentName(scan), QStringLiteral("farRight"));
}

void TestScanning::directionDiagonalsCountForBothNeighbours()
{
    Panel p;
    // c centre (220, 210); d centre (250, 180): exactly on the up-right diagonal.
    p.button(QStringLiteral("c"), QRect(200, 200, 40, 20), 0);
    auto* d = p.button(QStringLiteral("d"), QRect(230, 170, 40, 20), 1);
    d->setEnabled(false); // a disabled button is still a place to go
    TScansione scan(p.panel, 1500, serialTwoSwitch);

    scan.performAction(scanUp);
    QCOMPARE(currentName(scan), QStringLiteral("d"));
    scan.performAction(scanDown);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    scan.performAction(scanRight);
    QCOMPARE(currentName(scan), QStringLiteral("d"));
    scan.performAction(scanLeft);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    scan.performAction(scanDown);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    scan.performAction(scanLeft);
    QCOMPARE(currentName(scan), QStringLiteral("c"));

    // With a single button nothing moves.
    Panel single;
    single.button(QStringLiteral("only"), QRect(10, 10, 40, 20), 0);
    TScansione alone(single.panel, 1500, serialTwoSwitch);
    for (ScanCommand command : {scanUp, scanDown, scanLeft, scanRight})
        alone.performAction(command);
    QCOMPARE(alone.current, 0);
}

void TestScanning::directionUsesContainerCoordinatesAndLimit()
{
    Panel p;
    p.panel->resize(10200, 300);
    p.button(QStringLiteral("c"), QRect(200, 200, 40, 20), 0);
    // Inside a frame at (300, 0): container centre (330, 210), to the right of c.
    auto* group = new QFrame(p.panel);
    group->setGeometry(300, 0, 200, 280);
    p.button(QStringLiteral("nested"), QRect(10, 200, 40, 20), 1, group);
    TScansione scan(p.panel, 1500, serialTwoSwitch);
    scan.performAction(scanLeft);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    scan.performAction(scanRight);
    QCOMPARE(currentName(scan), QStringLiteral("nested"));

    // A button 10000 pixels away is out of reach, 9999 is not.
    Panel wide;
    wide.panel->resize(10200, 300);
    wide.button(QStringLiteral("c"), QRect(0, 0, 40, 20), 0);       // centre (20, 10)
    auto* far = wide.button(QStringLiteral("far"), QRect(10000, 0, 40, 20), 1); // (10020, 10)
    TScansione reach(wide.panel, 1500, serialTwoSwitch);
    reach.performAction(scanRight);
    QCOMPARE(reach.current, 0);
    far->move(9999, 0);
    reach.performAction(scanRight);
    QCOMPARE(reach.current, 1);
}

void TestScanning::destroyedButtonIsLeftOut()
{
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    auto* b = p.inRow(QStringLiteral("b"), 1, 1);
    p.inRow(QStringLiteral("c"), 2, 2);
    TScansione scan(p.panel, 1500, serialTwoSwitch);
    scan.performAction(scanNext);
    delete b;
    QCOMPARE(scan.buttons.at(1), nullptr);
    scan.performAction(scanSelect); // the framed button is gone: nothing happens
    QVERIFY(p.clicks.isEmpty());
    scan.performAction(scanNext);
    QCOMPARE(currentName(scan), QStringLiteral("c"));
    scan.performAction(scanLeft);
    QCOMPARE(currentName(scan), QStringLiteral("a"));
    QVERIFY(magentaPixels(p.panel) > 0);
}

void TestScanning::screenshotOfScannedPanel()
{
    // Run on a real display (xvfb-run ... -platform xcb) with
    // SALIENTA_SCAN_SCREENSHOT naming the picture to write.
    const QString path = qEnvironmentVariable("SALIENTA_SCAN_SCREENSHOT");
    if (path.isEmpty())
        QSKIP("SALIENTA_SCAN_SCREENSHOT not set");
    Panel p;
    p.window.setWindowTitle(QStringLiteral("Scansione"));
    const QStringList labels = {QStringLiteral("su"), QStringLiteral("giù"), QStringLiteral("leggi"),
                                QStringLiteral("non importante"), QStringLiteral("importante"),
                                QStringLiteral("molto importante")};
    QList<QPushButton*> row;
    for (int i = 0; i < labels.size(); ++i)
        row << p.button(labels.at(i), QRect(20 + i * 140, 40, 120, 50), i);
    row.at(2)->setEnabled(false);
    p.window.move(40, 40);
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    scan.performAction(scanNext);
    scan.performAction(scanNext);
    QCOMPARE(scan.current, 3);
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage shot = screen->grabWindow(0).toImage();
    QVERIFY(shot.save(path));
    // The frame on the screen, 3 pixels left of the current button.
    const QPoint onScreen =
        row.at(3)->mapToGlobal(QPoint(-3, row.at(3)->height() / 2)) - screen->geometry().topLeft();
    QCOMPARE(QColor(shot.pixel(onScreen)), QColor(255, 0, 255));
}

namespace {

// Counts the auto-repeated Space events that reach the application.
class RepeatCounter : public QObject
{
public:
    int repeats = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            repeats += key->key() == Qt::Key_Space && key->isAutoRepeat();
        }
        return false;
    }
};

} // namespace

void TestScanning::heldSpaceOnARealDisplay()
{
    // The key repeat of a real X server (xvfb-run ... -platform xcb), with
    // the key held through xdotool.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display (-platform xcb)");
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty())
        QSKIP("xdotool is not installed");
    Panel p;
    p.inRow(QStringLiteral("a"), 0, 0);
    p.inRow(QStringLiteral("b"), 1, 1);
    p.window.show();
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    p.edit->setFocus();
    RepeatCounter counter;
    TScansione scan(p.panel, 1500, spaceBarSwitch);
    qApp->installEventFilter(&counter); // in front of the scanning: sees every repeat
    QCOMPARE(QProcess::execute(xdotool, {QStringLiteral("keydown"), QStringLiteral("space")}), 0);
    QTest::qWait(1500);
    QCOMPARE(QProcess::execute(xdotool, {QStringLiteral("keyup"), QStringLiteral("space")}), 0);
    QTest::qWait(300);
    qApp->removeEventFilter(&counter);
    QVERIFY2(counter.repeats > 0, "the X server did not repeat the key");
    QCOMPARE(p.clicks, QStringList{QStringLiteral("a")});
    // Let go and pressed again: a second selection.
    QCOMPARE(QProcess::execute(xdotool, {QStringLiteral("key"), QStringLiteral("space")}), 0);
    QTRY_COMPARE(p.clicks.size(), 2);
    QCOMPARE(p.edit->text(), QString());
}

QTEST_MAIN(TestScanning)
#include "tst_scanning.moc"
