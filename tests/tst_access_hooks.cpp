#include "access/Gestoret.h"
#include "access/Uscans.h"

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <map>
#include <memory>

namespace {

// Counts the key presses that reach the edit box through the application's
// filters, installed before every hook (so it is asked last).
class Witness : public QObject
{
public:
    QObject* watchedObject = nullptr;
    int presses = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == watchedObject && event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

// The three hooks a run window and its feedback window put up: the keyboard
// handler "G", the run window's scanning "R" and the feedback window's "F".
struct Desk {
    QWidget window;
    QLineEdit* edit;
    QFrame* runPanel;
    QFrame* feedbackPanel;
    std::map<QChar, int> selected; // clicks per panel
    int keyFunctionCalls = 0;
    std::unique_ptr<TgestoreAlternativoTastiera> keyboard;
    std::unique_ptr<TScansione> runScan;
    std::unique_ptr<TScansione> feedbackScan;

    Desk()
    {
        window.resize(600, 300);
        edit = new QLineEdit(&window);
        edit->setGeometry(10, 250, 200, 30);
        runPanel = addPanel(QLatin1Char('R'), 0);
        feedbackPanel = addPanel(QLatin1Char('F'), 120);
    }
    QFrame* addPanel(QChar name, int top)
    {
        auto* panel = new QFrame(&window);
        panel->setGeometry(0, top, 600, 110);
        for (int i = 0; i < 2; ++i) {
            auto* button = new QPushButton(panel);
            button->setGeometry(20 + i * 150, 30, 100, 40);
            button->setProperty("tag", i);
            QObject::connect(button, &QPushButton::clicked, &window,
                             [this, name] { ++selected[name]; });
        }
        return panel;
    }
    void create(QChar hook)
    {
        if (hook == QLatin1Char('G')) {
            keyboard = std::make_unique<TgestoreAlternativoTastiera>(
                qApp, [this](QObject*, int) { ++keyFunctionCalls; return false; }, &window);
            keyboard->enabled = true;
        } else if (hook == QLatin1Char('R')) {
            runScan = std::make_unique<TScansione>(runPanel, 1500, spaceBarSwitch);
        } else {
            feedbackScan = std::make_unique<TScansione>(feedbackPanel, 1500, spaceBarSwitch);
        }
    }
    void destroy(QChar hook)
    {
        if (hook == QLatin1Char('G'))
            keyboard.reset();
        else if (hook == QLatin1Char('R'))
            runScan.reset();
        else
            feedbackScan.reset();
    }
};

bool framed(QWidget* panel)
{
    const QImage image = panel->grab().toImage();
    const QPushButton* first = panel->findChildren<QPushButton*>().first();
    return image.pixel(first->x() - 3, first->y() + 20) == qRgb(255, 0, 255);
}

} // namespace

class TestAccessHooks : public QObject
{
    Q_OBJECT

private slots:
    void hooksInAnyOrderLoseAndDoubleNothing_data();
    void hooksInAnyOrderLoseAndDoubleNothing();
};

void TestAccessHooks::hooksInAnyOrderLoseAndDoubleNothing_data()
{
    QTest::addColumn<QString>("created");
    QTest::addColumn<QString>("destroyed");
    QString creation = QStringLiteral("FGR");
    do {
        QString destruction = QStringLiteral("FGR");
        do {
            QTest::newRow(qPrintable(creation + QLatin1Char('-') + destruction))
                << creation << destruction;
        } while (std::next_permutation(destruction.begin(), destruction.end()));
    } while (std::next_permutation(creation.begin(), creation.end()));
}

// After every creation and destruction, one Space and one letter are typed
// into the edit box. The model of the chain: the hooks are asked newest
// first; the keyboard handler is asked and lets the key pass; the first
// scanning asked keeps the Space and selects on its own panel. A letter
// reaches the edit box once; a Space reaches it only with no scanning left.
void TestAccessHooks::hooksInAnyOrderLoseAndDoubleNothing()
{
    QFETCH(QString, created);
    QFETCH(QString, destroyed);
    Desk desk;
    Witness witness;
    witness.watchedObject = desk.edit;
    qApp->installEventFilter(&witness);
    desk.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk.window));
    desk.edit->setFocus();

    QString alive; // oldest first
    QString typed;
    std::map<QChar, int> expectedSelections;
    int expectedCalls = 0;
    int expectedPresses = 0;

    auto check = [&](const QString& stage) {
        QTest::keyClick(desk.edit, Qt::Key_Space);
        QTest::keyClick(desk.edit, Qt::Key_A);
        bool kept = false;
        for (auto hook = alive.crbegin(); hook != alive.crend() && !kept; ++hook) {
            if (*hook == QLatin1Char('G')) {
                ++expectedCalls;
            } else {
                ++expectedSelections[*hook];
                kept = true;
            }
        }
        if (!kept) {
            typed += QLatin1Char(' ');
            ++expectedPresses;
        }
        if (alive.contains(QLatin1Char('G')))
            ++expectedCalls;
        typed += QLatin1Char('a');
        ++expectedPresses;

        const QByteArray where = stage.toUtf8();
        QVERIFY2(desk.edit->text() == typed, where.constData());
        QVERIFY2(desk.keyFunctionCalls == expectedCalls, where.constData());
        QVERIFY2(witness.presses == expectedPresses, where.constData());
        for (QChar panel : {QLatin1Char('R'), QLatin1Char('F')}) {
            QVERIFY2(desk.selected[panel] == expectedSelections[panel], where.constData());
            QWidget* widget = panel == QLatin1Char('R') ? desk.runPanel : desk.feedbackPanel;
            QVERIFY2(framed(widget) == alive.contains(panel), where.constData());
        }
    };

    check(QStringLiteral("none"));
    for (QChar hook : created) {
        desk.create(hook);
        alive += hook;
        check(QStringLiteral("created ") + alive);
        if (QTest::currentTestFailed())
            return;
    }
    for (QChar hook : destroyed) {
        desk.destroy(hook);
        alive.remove(hook);
        check(QStringLiteral("destroyed ") + hook + QStringLiteral(", left ") + alive);
        if (QTest::currentTestFailed())
            return;
    }
    qApp->removeEventFilter(&witness);
}

QTEST_MAIN(TestAccessHooks)
#include "tst_access_hooks.moc"
