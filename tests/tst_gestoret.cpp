#include "access/Gestoret.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QtTest>

#include <memory>

namespace {

// A control that records the keys and clicks it receives.
class Recorder : public QWidget
{
public:
    using QWidget::QWidget;
    QStringList seen;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        seen << QStringLiteral("press %1").arg(event->key());
        event->ignore(); // hand it on to the parents
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        seen << QStringLiteral("release %1").arg(event->key());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        seen << QStringLiteral("mouse %1").arg(int(event->button()));
    }
};

struct Window {
    QWidget window;
    QFrame* frame;
    QLineEdit* edit;
    QPushButton* button;
    Recorder* recorder;
    int clicks = 0;
    QList<int> keys;          // what the key function was given
    QObject* keyTarget = nullptr;
    QList<int> consumed{Qt::Key_Home, Qt::Key_Escape};

    Window()
    {
        window.resize(400, 300);
        frame = new QFrame(&window);
        frame->setGeometry(0, 0, 400, 300);
        edit = new QLineEdit(frame);
        edit->setGeometry(10, 10, 200, 30);
        button = new QPushButton(QStringLiteral("OK"), frame);
        button->setGeometry(10, 60, 100, 30);
        QObject::connect(button, &QPushButton::clicked, &window, [this] { ++clicks; });
        recorder = new Recorder(frame);
        recorder->setGeometry(10, 110, 100, 100);
        window.show();
    }
    TgestoreAlternativoTastiera::KeyFunction keyFunction()
    {
        return [this](QObject* target, int key) {
            keys << key;
            keyTarget = target;
            return consumed.contains(key);
        };
    }
};

} // namespace

class TestGestoret : public QObject
{
    Q_OBJECT

private slots:
    void keysFollowTheFourFlagCombinations_data();
    void keysFollowTheFourFlagCombinations();
    void keyFunctionIsAskedOncePerPress();
    void releasesAndAltCombinationsAreNeverIntercepted();
    void leftClicksAreSwallowedWhileBlocked();
    void shortcutsAreHeldWhileKeysAreBlocked();
    void removingTheHandlerRestoresNormalKeys();
};

void TestGestoret::keysFollowTheFourFlagCombinations_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("blockKeys");
    QTest::addColumn<QString>("text");     // the edit box after typing "a", Home, "b"
    QTest::addColumn<int>("asked");        // calls of the key function
    QTest::newRow("off") << false << false << QStringLiteral("ba") << 0;
    QTest::newRow("off, blocking") << false << true << QStringLiteral("ba") << 0;
    QTest::newRow("on") << true << false << QStringLiteral("ab") << 3;
    QTest::newRow("on, blocking") << true << true << QString() << 0;
}

void TestGestoret::keysFollowTheFourFlagCombinations()
{
    QFETCH(bool, enabled);
    QFETCH(bool, blockKeys);
    QFETCH(QString, text);
    QFETCH(int, asked);
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
    QVERIFY(!handler.enabled && !handler.blockKeys && !handler.blockMouse);
    handler.enabled = enabled;
    handler.blockKeys = blockKeys;
    w.edit->setFocus();
    QTest::keyClick(w.edit, Qt::Key_A);
    QTest::keyClick(w.edit, Qt::Key_Home); // consumed by the key function when it is asked
    QTest::keyClick(w.edit, Qt::Key_B);
    QCOMPARE(w.edit->text(), text);
    QCOMPARE(w.keys.size(), asked);
    if (asked) {
        QCOMPARE(w.keys, (QList<int>{Qt::Key_A, Qt::Key_Home, Qt::Key_B}));
        QCOMPARE(w.keyTarget, &w.window);
    }
    // Mouse clicks are not touched by the key flags.
    QTest::mouseClick(w.button, Qt::LeftButton);
    QCOMPARE(w.clicks, 1);
}

void TestGestoret::keyFunctionIsAskedOncePerPress()
{
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
    handler.enabled = true;

    // The recorder ignores the key, which goes on to the frame and the window.
    QTest::keyClick(w.recorder, Qt::Key_F5);
    QCOMPARE(w.keys, QList<int>{Qt::Key_F5});
    QCOMPARE(w.recorder->seen.first(), QStringLiteral("press %1").arg(int(Qt::Key_F5)));

    // Through the top-level window, as the system delivers it, to the focused edit box.
    w.window.activateWindow();
    w.edit->setFocus();
    w.keys.clear();
    QTest::keyClick(w.window.windowHandle(), Qt::Key_C);
    QTest::keyClick(w.window.windowHandle(), Qt::Key_Home);
    QTest::keyClick(w.window.windowHandle(), Qt::Key_D);
    QCOMPARE(w.keys, (QList<int>{Qt::Key_C, Qt::Key_Home, Qt::Key_D}));
    QCOMPARE(w.edit->text(), QStringLiteral("cd"));

    // A press to a widget and the next one to its parent are two presses.
    w.keys.clear();
    QTest::keyPress(w.edit, Qt::Key_Home);
    QTest::keyPress(w.frame, Qt::Key_Home);
    QTest::keyPress(w.edit, Qt::Key_F6);   // ignored by the edit box, handed on
    QTest::keyPress(w.frame, Qt::Key_F6);
    QCOMPARE(w.keys, (QList<int>{Qt::Key_Home, Qt::Key_Home, Qt::Key_F6, Qt::Key_F6}));

    // Held down: every repeated press is a press.
    w.keys.clear();
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(w.edit, &repeat);
    }
    QCOMPARE(w.keys.size(), 3);
}

void TestGestoret::releasesAndAltCombinationsAreNeverIntercepted()
{
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
    handler.enabled = true;
    handler.blockKeys = true;
    QTest::keyRelease(w.recorder, Qt::Key_Space);
    QTest::keyPress(w.recorder, Qt::Key_X, Qt::AltModifier);
    QTest::keyPress(w.recorder, Qt::Key_Y);
    // The Alt key itself is an Alt combination too.
    QCOMPARE(w.recorder->seen, (QStringList{QStringLiteral("release %1").arg(int(Qt::Key_Space)),
                                            QStringLiteral("press %1").arg(int(Qt::Key_Alt)),
                                            QStringLiteral("press %1").arg(int(Qt::Key_X))}));
    handler.blockKeys = false;
    QTest::keyPress(w.recorder, Qt::Key_Z, Qt::AltModifier);
    QVERIFY(w.keys.isEmpty());
}

void TestGestoret::leftClicksAreSwallowedWhileBlocked()
{
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
    for (bool enabled : {false, true}) {
        handler.enabled = enabled;
        handler.blockMouse = true;
        QTest::mouseClick(w.button, Qt::LeftButton);
        QTest::mouseDClick(w.button, Qt::LeftButton);
        QTest::mousePress(w.recorder, Qt::LeftButton);
        QTest::mousePress(w.recorder, Qt::RightButton);
        QCOMPARE(w.clicks, 0);
        QCOMPARE(w.recorder->seen, QStringList{QStringLiteral("mouse %1").arg(int(Qt::RightButton))});
        w.recorder->seen.clear();
    }
    handler.blockMouse = false;
    QTest::mouseClick(w.button, Qt::LeftButton);
    QCOMPARE(w.clicks, 1);
    QVERIFY(w.keys.isEmpty());
}

void TestGestoret::shortcutsAreHeldWhileKeysAreBlocked()
{
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    int fired = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &w.window);
    connect(shortcut, &QShortcut::activated, &w.window, [&fired] { ++fired; });
    TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
    handler.enabled = true;
    handler.blockKeys = true;
    w.edit->setFocus();
    QTest::keyClick(w.edit, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fired, 0);
    handler.blockKeys = false;
    QTest::keyClick(w.edit, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fired, 1);
}

void TestGestoret::removingTheHandlerRestoresNormalKeys()
{
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    w.edit->setFocus();
    {
        TgestoreAlternativoTastiera handler(qApp, w.keyFunction(), &w.window);
        handler.enabled = true;
        handler.blockMouse = true;
        QTest::keyClick(w.edit, Qt::Key_Home);
    }
    QTest::keyClick(w.edit, Qt::Key_A);
    QTest::keyClick(w.edit, Qt::Key_Home);
    QTest::keyClick(w.edit, Qt::Key_B);
    QTest::mouseClick(w.button, Qt::LeftButton);
    QCOMPARE(w.keys, QList<int>{Qt::Key_Home});
    QCOMPARE(w.edit->text(), QStringLiteral("ba"));
    QCOMPARE(w.clicks, 1);

    // A handler whose window is gone asks nobody.
    auto target = std::make_unique<QObject>();
    TgestoreAlternativoTastiera orphan(qApp, w.keyFunction(), target.get());
    orphan.enabled = true;
    target.reset();
    QTest::keyClick(w.edit, Qt::Key_Home);
    QCOMPARE(w.keys.size(), 1);
    QCOMPARE(w.edit->cursorPosition(), 0);
}

QTEST_MAIN(TestGestoret)
#include "tst_gestoret.moc"
