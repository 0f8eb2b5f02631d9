#include "access/SerBtn.h"
#include "sound/SoundPlayer.h"
#include "execution/Uanimaf.h"
#include "common/Utabella.h"
#include "support/FakeSwitches.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/VirtualStick.h"
#include "access/Joystick.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testsupport::whenModalShown;

namespace {

// The context the feedback windows are given, made afresh for each test.
AppContext context;

// The same context with the serial-switch object `serial`.
AppContext withSwitches(TBottoneSeriale* serial)
{
    AppContext given = context;
    given.serialSwitches = serial;
    return given;
}

// Records what the feedback window asks of its sound player.
struct SoundJournal {
    QStringList events;
    SoundPlayerMaker previous;
    SoundJournal()
    {
        previous = setSoundPlayerMaker([this] { return std::make_unique<Player>(this); });
    }
    ~SoundJournal() { setSoundPlayerMaker(std::move(previous)); }
    SoundJournal(const SoundJournal&) = delete;
    SoundJournal& operator=(const SoundJournal&) = delete;

    class Player final : public SoundPlayer
    {
    public:
        explicit Player(SoundJournal* to) : journal(to) {}
        void play(const QString& path) override { journal->events << QStringLiteral("play ") + QFileInfo(path).fileName(); }
        void stop() override { journal->events << QStringLiteral("stop"); }

    private:
        SoundJournal* journal;
    };
};

FeedbackRequest request(int kind, int buttons)
{
    FeedbackRequest r;
    r.kind = FeedbackKind(kind);
    r.offeredButtons = buttons;
    return r;
}

bool writeLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += testsupport::toCp1252(line) + "\r\n";
    return testsupport::writeBytes(path, bytes);
}

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestFeedbackWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void everyKindWithItsMessageButtonsAndSound();
    void threeSizes();
    void finalJudgementShowsTheTable();
    void answeredByMouse();
    void answeredByEnter();
    void answeredBySpaceBar();
    void answeredBySerialSwitches();
    void answeredByJoystick();
    void scriptRules();
    void missingScriptPictureAndSoundNeverStopTheRun();
    void realSoundPlayerSurvivesABrokenSound();

private:
    QTemporaryDir folder;
};

void TestFeedbackWindow::initTestCase()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    QCOMPARE(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
}

void TestFeedbackWindow::cleanupTestCase()
{
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void TestFeedbackWindow::init()
{
    QVERIFY(folder.isValid());
    QDir(folder.path()).removeRecursively();
    context = testsupport::makeContext(folder.path());
    QVERIFY(QDir().mkpath(context.programFolder + QStringLiteral("animazio")));
    QVERIFY(QDir().mkpath(context.programFolder + QStringLiteral("audio")));
    const QString assets = QStringLiteral(SALIENTA_ASSETS_DIR);
    QVERIFY(QFile::copy(assets + QStringLiteral("/animazio/priOk.gif"),
                        context.programFolder + QStringLiteral("animazio/priOk.gif")));
    for (const char* kind : {"spieEs", "selErr", "priErr", "priOk", "secErr", "giuBuo", "giuDis", "giuNon"}) {
        const QString name = QLatin1String(kind);
        QVERIFY(writeLines(context.programFolder + QStringLiteral("animazio/") + name + QStringLiteral("1.txt"),
                           {QStringLiteral("###"), QStringLiteral("priOk.gif, F")}));
        QVERIFY(testsupport::writeBytes(context.programFolder + QStringLiteral("audio/") + name + QStringLiteral("2.wav"), "RIFF"));
    }
    // Only wave files of the kind's own name count.
    QVERIFY(testsupport::writeBytes(context.programFolder + QStringLiteral("audio/priOk0.mp3"), "x"));
    QVERIFY(testsupport::writeBytes(context.programFolder + QStringLiteral("audio/priOk9.WAV"), "x"));
    QVERIFY(QDir().mkpath(context.programFolder + QStringLiteral("audio/priOk1.wav")));
}

void TestFeedbackWindow::everyKindWithItsMessageButtonsAndSound()
{
    SoundJournal sounds;
    const QStringList names{"spieEs", "selErr", "priErr", "priOk", "secErr", "spieEs", "giuBuo", "giuDis", "giuNon"};
    const QStringList messages{
        "",
        "Nelle ultime frasi hai commesso un errore notevole. Vuoi tornare indietro di alcune frasi ?",
        "Nella prima parte hai commesso troppi errori. Vuoi ripartire dal principio ?",
        "Stai andando bene, continua così !",
        "Nella seconda parte hai commesso troppi errori. Vuoi rivedere la seconda parte ?",
        "L'esercizio consiste nell'evidenziare le frasi piu' importanti scegliendo il comando rosso "
        "o celeste. Se vuoi correggere, usa il comando bianco",
        "L'esercizio è finito. Sei andato bene, bravo !",
        "L'esercizio è finito. Sei andato abbastanza bene, ma puoi migliorare",
        "L'esercizio è finito. Non sei andato molto bene, la prossima volta stai più attento"};
    const int offers[] = {offerOk, offerYes | offerNo, offerYes | offerNo, offerOk, offerYes | offerNo,
                          offerOk, offerOk, offerYes | offerOk | offerNo, offerNo};
    for (int kind = 0; kind <= 8; ++kind) {
        sounds.events.clear();
        {
            TanimazioneForm form(request(kind, offers[kind]), context);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QCOMPARE(form.objectName(), QStringLiteral("animazioneForm"));
            QVERIFY(form.isModal());
            QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
            for (const char* name : {"panelBottom", "panelPulsanti", "yesBut", "okBut", "noBut", "panelLeft",
                                     "panelLeftBottom", "paintLeft", "Memo1", "panelRight", "paintRight"})
                QVERIFY2(form.findChild<QWidget*>(QLatin1String(name)), name);
            QCOMPARE(feedbackKindName(FeedbackKind(kind)), names.at(kind));
            QCOMPARE(form.Memo1->toPlainText(), messages.at(kind));
            QVERIFY(form.Memo1->isReadOnly());
            const QPushButton* buttons[] = {form.yesBut, form.okBut, form.noBut};
            const int bits[] = {offerYes, offerOk, offerNo};
            const char* captions[] = {"&Sì", "&OK", "&No"};
            for (int i = 0; i < 3; ++i) {
                const bool offered = offers[kind] & bits[i];
                QCOMPARE(buttons[i]->isVisible(), offered);
                QCOMPARE(buttons[i]->property("tag").toInt(), offered ? i : -1);
                QCOMPARE(buttons[i]->text(), QString::fromUtf8(captions[i]));
                QCOMPARE(buttons[i]->size(), QSize(50, 29));
            }
            QVERIFY(form.animation());
            QVERIFY(!form.paintLeft->pixmap().isNull());
            QCOMPARE(sounds.events, QStringList{QStringLiteral("play ") + names.at(kind) + QStringLiteral("2.wav")});
            QCOMPARE(form.soundPath(), context.programFolder + QStringLiteral("audio/") + names.at(kind) + QStringLiteral("2.wav"));
        }
        QCOMPARE(sounds.events.last(), QStringLiteral("stop"));
    }
    QCOMPARE(feedbackKindName(FeedbackKind(9)), QString());
    QCOMPARE(feedbackMessage(FeedbackKind(-1)), QString());
}

void TestFeedbackWindow::threeSizes()
{
    SoundJournal sounds;
    struct Case {
        bool custom;
        int width;
        int height;
        int table;
    } cases[] = {{false, 0, 0, 390}, {true, 640, 480, 390}, {true, 350, 460, 0}};
    for (const Case& c : cases) {
        FeedbackRequest r = request(6, offerOk);
        r.customSize = c.custom;
        r.windowWidth = c.width;
        r.windowHeight = c.height;
        r.tableWidth = c.table;
        TanimazioneForm form(r, context);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QSize size = c.custom ? QSize(c.width, c.height) : QSize(250, 440);
        QCOMPARE(form.size(), size);
        const int table = c.custom ? c.table : 0;
        QCOMPARE(form.panelRight->geometry(), QRect(size.width() - table, 0, table, size.height() - 49));
        QCOMPARE(form.paintRight->size(), form.panelRight->size());
        QCOMPARE(form.panelBottom->geometry(), QRect(0, size.height() - 49, size.width(), 49));
        QCOMPARE(form.panelPulsanti->geometry(),
                 QRect((size.width() - 173) / 2, (49 - 37) / 2, 173, 37));
        QCOMPARE(form.paintLeft->geometry(), QRect(8, 8, size.width() - table - 16, 288));
        // The picture fits its place, its proportions kept.
        const QSize shown = form.paintLeft->pixmap().size();
        QVERIFY(shown.width() <= form.paintLeft->width() && shown.height() <= 288);
        QVERIFY(qAbs(shown.width() * 276 - shown.height() * 224) <= 276 + 224);
        // The window is centred on the screen.
        const QRect screen = form.screen()->availableGeometry();
        QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form.geometry().center().y() - screen.center().y()) <= 1);
    }
}

void TestFeedbackWindow::finalJudgementShowsTheTable()
{
    SoundJournal sounds;
    FeedbackRequest r = request(7, offerOk);
    r.customSize = true;
    r.windowWidth = 640;
    r.windowHeight = 480;
    r.tableWidth = 390;
    TanimazioneForm form(r, context);
    AnswerCounts counts;
    counts.values = {4, 1, 0, 2, 1234, 0, 0, 3, 7};
    form.showTable(counts);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.table());
    QCOMPARE(form.table()->counts(), counts);
    const TableGeometry& g = form.table()->geometry();
    QCOMPARE(g.cellWidth, (370 - 45) / 3);
    QCOMPARE(g.cellHeight, (370 - 20) / 3);
    QVERIFY(form.paintRight->toolTip().startsWith(QStringLiteral("Sulla diagonale colorata")));

    const QImage shot = form.paintRight->grab().toImage();
    const QColor grey = form.palette().color(QPalette::Button);
    const QColor diagonal[] = {Qt::white, QColor(0, 255, 255), QColor(255, 0, 0)};
    const int x1 = 10 + 20 + 25;
    const int y1 = 20 + 20 + 25;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // A point inside the cell, away from its lines and its number.
            const QColor seen = shot.pixelColor(x1 + i * g.cellWidth + 8, y1 + j * g.cellHeight + 8);
            QCOMPARE(seen, i == j ? diagonal[i] : grey);
        }
    }
    // The four-digit count is written in its cell (red text on cyan).
    int red = 0;
    for (int x = x1 + g.cellWidth; x < x1 + 2 * g.cellWidth; ++x)
        for (int y = y1 + g.cellHeight; y < y1 + 2 * g.cellHeight; ++y)
            red += shot.pixelColor(x, y) == QColor(255, 0, 0);
    QVERIFY2(red > 50, qPrintable(QString::number(red)));
}

void TestFeedbackWindow::answeredByMouse()
{
    SoundJournal sounds;
    const struct {
        int offer;
        const char* button;
        FeedbackAnswer answer;
    } cases[] = {{offerYes | offerNo, "yesBut", answerYes},
                 {offerYes | offerNo, "noBut", answerNo},
                 {offerOk, "okBut", answerOk}};
    for (const auto& c : cases) {
        TanimazioneForm form(request(1, c.offer), context);
        whenModalShown([&](QWidget* modal) {
            QCOMPARE(modal, &form);
            // Escape does not take the question away.
            QTest::keyClick(modal, Qt::Key_Escape);
            QVERIFY(modal->isVisible());
            QTest::mouseClick(modal->findChild<QPushButton*>(QLatin1String(c.button)), Qt::LeftButton);
        });
        QCOMPARE(form.exec(), int(c.answer));
        QCOMPARE(form.answer(), c.answer);
    }
    // The end of the session closes it all the same, without an answer.
    TanimazioneForm form(request(1, offerYes | offerNo), context);
    whenModalShown([](QWidget* modal) { QVERIFY(modal->close()); });
    QCOMPARE(form.exec(), int(answerNone));
}

void TestFeedbackWindow::answeredByEnter()
{
    // Enter and the keypad's Enter press the focused button, as Space does.
    SoundJournal sounds;
    const struct {
        int offer;
        const char* button;
        Qt::KeyboardModifiers modifiers;
        FeedbackAnswer answer;
    } cases[] = {{offerYes | offerNo, "yesBut", Qt::NoModifier, answerYes},
                 {offerYes | offerNo, "noBut", Qt::KeypadModifier, answerNo},
                 {offerOk, "okBut", Qt::KeypadModifier, answerOk}};
    for (const auto& c : cases) {
        TanimazioneForm form(request(1, c.offer), context);
        whenModalShown([&](QWidget* modal) {
            auto button = modal->findChild<QPushButton*>(QLatin1String(c.button));
            QVERIFY(button);
            button->setFocus();
            QTest::keyClick(button, c.modifiers ? Qt::Key_Enter : Qt::Key_Return, c.modifiers);
            if (modal->isVisible())
                form.done(answerNone);
        });
        QCOMPARE(form.exec(), int(c.answer));
    }
}

void TestFeedbackWindow::answeredBySpaceBar()
{
    SoundJournal sounds;
    FeedbackRequest r = request(3, offerOk);
    r.scanningAccess = true;
    r.device = spaceBarSwitch;
    {
        TanimazioneForm form(r, context);
        QVERIFY(form.scanning());
        QCOMPARE(form.scanning()->buttons.size(), 1); // only OK is scanned
        QCOMPARE(form.scanning()->currentButton(), form.okBut);
        QVERIFY(form.scanning()->running());
        whenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Space); });
        QCOMPARE(form.exec(), int(answerOk));
    }
    r = request(2, offerYes | offerNo);
    r.scanningAccess = true;
    TanimazioneForm form(r, context);
    QCOMPARE(form.scanning()->buttons.size(), 2);
    whenModalShown([&form](QWidget* modal) {
        form.scanning()->performAction(scanNext); // the step the timer takes
        QCOMPARE(form.scanning()->currentButton(), form.noBut);
        QTest::keyClick(modal, Qt::Key_Space);
    });
    QCOMPARE(form.exec(), int(answerNo));
}

void TestFeedbackWindow::answeredBySerialSwitches()
{
    SoundJournal sounds;
    FakeSwitches s;
    s.serial.openPort(1);
    int runWindowPresses = 0;
    s.serial.setPressHandler([&runWindowPresses](TBottoneSeriale*) { ++runWindowPresses; });

    // Two switches: DSR steps, CTS selects.
    FeedbackRequest r = request(1, offerYes | offerNo);
    r.scanningAccess = true;
    r.device = serialTwoSwitch;
    {
        TanimazioneForm form(r, withSwitches(&s.serial));
        whenModalShown([&](QWidget*) {
            s.press(false, true);
            QCOMPARE(form.scanning()->currentButton(), form.noBut);
            s.press(true, false);
        });
        QCOMPARE(form.exec(), int(answerNo));
        QCOMPARE(runWindowPresses, 0);
    }
    // The run window's handler is back.
    s.press(true, false);
    QCOMPARE(runWindowPresses, 1);

    // One switch: either line selects the framed button.
    r.device = serialOneSwitch;
    {
        TanimazioneForm form(r, withSwitches(&s.serial));
        whenModalShown([&](QWidget*) { s.press(false, true); });
        QCOMPARE(form.exec(), int(answerYes));
        // A press while the window is not shown does nothing.
        form.scanning()->performAction(scanNext);
        QCOMPARE(form.scanning()->currentButton(), form.noBut);
        s.press(true, false);
        QCOMPARE(form.answer(), answerYes);
        QCOMPARE(runWindowPresses, 1);
    }
    s.press(false, true);
    QCOMPARE(runWindowPresses, 2);

    // Without scanning the switches stay with the run window.
    r.scanningAccess = false;
    TanimazioneForm plain(r, withSwitches(&s.serial));
    s.press(true, false);
    QCOMPARE(runWindowPresses, 3);
    QVERIFY(!plain.scanning());
}

void TestFeedbackWindow::answeredByJoystick()
{
    SoundJournal sounds;
    ScriptedDialogs dialogs;
    VirtualStick stick;
    QVERIFY(stick.ok());
    FeedbackRequest r = request(4, offerYes | offerNo);
    r.scanningAccess = true;
    r.device = joystickTwoButton;
    TanimazioneForm form(r, context);
    TJoystick* joy = form.scanning()->joystick();
    QVERIFY(joy && joy->captured());
    const auto press = [&](int button) {
        stick.button(button, true);
        joy->poll();
        stick.button(button, false);
        joy->poll();
    };
    whenModalShown([&](QWidget*) {
        press(1); // the second button steps to "No"
        QCOMPARE(form.scanning()->currentButton(), form.noBut);
        press(0); // the first one selects
    });
    QCOMPARE(form.exec(), int(answerNo));
    QVERIFY(dialogs.asked().isEmpty());
}

void TestFeedbackWindow::scriptRules()
{
    const QString animazio = context.programFolder + QStringLiteral("animazio/");
    QImage sprite(4, 4, QImage::Format_RGB32);
    sprite.fill(Qt::red);
    QVERIFY(sprite.save(animazio + QStringLiteral("uno.bmp")));

    // Lines before the first block are ignored; blank lines anywhere; the
    // picture's values are counted across lines.
    QStringList lines{"FILE = fuori.bmp", "priErr.gif, x", "   ", "###", "", "  priOk.gif ,", "  ",
                      " true , ignorato", "***", "file = uno.bmp, q", "  , 7 ", "FILE =, 8", "", "frame=1, 2,,3",
                      "Frame = 9", "X=10,20", "colore=rosso", "Y = 5, sei, 7", "senza uguale"};
    // Ten more sprite blocks, the last of them (the eleventh) not read.
    for (int i = 2; i <= 11; ++i)
        lines << QStringLiteral(" *** oggetto %1").arg(i) << QStringLiteral("FILE=manca%1.bmp,b,%1").arg(i);
    lines << QStringLiteral("###") << QStringLiteral("altra.gif");
    QVERIFY(writeLines(animazio + QStringLiteral("prova1.txt"), lines));
    const FeedbackScript script = readFeedbackScript(animazio + QStringLiteral("prova1.txt"), animazio);
    QCOMPARE(script.picture, QStringLiteral("priOk.gif"));
    QVERIFY(script.flag);
    QCOMPARE(script.sprites.size(), 10);
    const FeedbackSprite& first = script.sprites.first();
    QCOMPARE(first.file, QStringLiteral("uno.bmp"));
    QCOMPARE(first.picture.size(), QSize(4, 4));
    QCOMPARE(first.letter, QChar(u'Q'));
    QCOMPARE(first.number, 8); // the FILE values are counted across the block's lines
    QCOMPARE(first.frameCount, 1);
    QCOMPARE(first.frames[0], 9); // the last FRAME line fills the list from its start
    QCOMPARE(first.frames[1], 0);
    QCOMPARE(first.xCount, 2);
    QCOMPARE(first.x[1], 20);
    QCOMPARE(first.yCount, 3);
    QCOMPARE(first.y[2], 7);
    QCOMPARE(script.sprites.at(9).number, 10);
    QCOMPARE(script.sprites.at(9).letter, QChar(u'B'));
    QVERIFY(script.sprites.at(9).picture.isNull());
    // What could not be used is noted, and nothing stops.
    QVERIFY(script.problems.contains(QStringLiteral("oggetto 1: Y contiene \"sei\", che non è un numero intero")));
    QVERIFY(script.problems.contains(QStringLiteral("oggetto 10: immagine \"manca10.bmp\" mancante o illeggibile")));

    // "FILE" values: the third must be an integer; more than 50 list values are cut.
    QStringList tooMany;
    for (int i = 1; i <= 53; ++i)
        tooMany << QString::number(i);
    QVERIFY(QDir().mkpath(animazio + QStringLiteral("sotto")));
    QVERIFY(sprite.save(animazio + QStringLiteral("sotto/due.bmp")));
    QVERIFY(writeLines(animazio + QStringLiteral("altro1.txt"),
                       {"***", "FILE=sotto\\due.bmp,a,12x", "X=" + tooMany.join(QLatin1Char(',')), "###", "priOk.gif", "f"}));
    const FeedbackScript other = readFeedbackScript(animazio + QStringLiteral("altro1.txt"), animazio);
    QCOMPARE(other.sprites.size(), 1);
    QCOMPARE(other.sprites.first().number, 0);
    QVERIFY(!other.sprites.first().picture.isNull()); // a folder written the other way
    QCOMPARE(other.sprites.first().xCount, 50);
    QCOMPARE(other.sprites.first().x[49], 50);
    QVERIFY(!other.flag);
    QCOMPARE(other.problems,
             (QStringList{"oggetto 1: FILE contiene \"12x\", che non è un numero intero",
                          "oggetto 1: X ha più di 50 valori, gli altri sono ignorati"}));
}

void TestFeedbackWindow::missingScriptPictureAndSoundNeverStopTheRun()
{
    SoundJournal sounds;
    QDir(context.programFolder + QStringLiteral("audio")).removeRecursively();
    QVERIFY(QFile::remove(context.programFolder + QStringLiteral("animazio/giuBuo1.txt")));
    QVERIFY(writeLines(context.programFolder + QStringLiteral("animazio/giuDis1.txt"), {"###", "manca.gif"}));
    QVERIFY(writeLines(context.programFolder + QStringLiteral("animazio/giuNon1.txt"), {}));
    const QStringList before = filesUnder(context.programFolder);

    for (int kind : {6, 7, 8}) {
        TanimazioneForm form(request(kind, offerOk), context);
        QVERIFY(form.paintLeft->pixmap().isNull());
        QVERIFY(!form.animation());
        QCOMPARE(form.soundPath(), QString());
        QCOMPARE(form.Memo1->toPlainText(), feedbackMessage(FeedbackKind(kind)));
        whenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
        QCOMPARE(form.exec(), int(answerOk));
    }
    QVERIFY(sounds.events.filter(QStringLiteral("play")).isEmpty());

    // A still picture wider than its place is scaled down whole.
    QImage wide(468, 100, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QVERIFY(wide.save(context.programFolder + QStringLiteral("animazio/largo.bmp")));
    QVERIFY(writeLines(context.programFolder + QStringLiteral("animazio/spieEs1.txt"), {"###", "largo.bmp"}));
    TanimazioneForm still(request(5, offerOk), context);
    QVERIFY(!still.animation());
    QCOMPARE(still.paintLeft->pixmap().size(), QSize(234, 50));
    QVERIFY(QFile::remove(context.programFolder + QStringLiteral("animazio/largo.bmp")));
    QVERIFY(writeLines(context.programFolder + QStringLiteral("animazio/spieEs1.txt"), {"###", "priOk.gif"}));
    // No script was created in the program's folder.
    QCOMPARE(filesUnder(context.programFolder), before);
    QVERIFY(!QFileInfo::exists(context.programFolder + QStringLiteral("animazio/giuBuo1.txt")));
}

void TestFeedbackWindow::realSoundPlayerSurvivesABrokenSound()
{
    // The program's own player with a wave file that is not one.
    TanimazioneForm form(request(3, offerOk), context);
    QCOMPARE(form.soundPath(), context.programFolder + QStringLiteral("audio/priOk2.wav"));
    QCOMPARE(testsupport::readBytes(form.soundPath()), QByteArray("RIFF"));
    bool answerable = false;
    whenModalShown([&answerable](QWidget* modal) {
        QTest::qWait(100);
        auto ok = modal->findChild<QPushButton*>(QStringLiteral("okBut"));
        answerable = ok && ok->isVisible() && ok->isEnabled();
        if (ok)
            QTest::mouseClick(ok, Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(answerOk));
    QVERIFY(answerable);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.Memo1->toPlainText(), feedbackMessage(FeedbackKind::priOk));
    // The broken sound went to the sound module's real player, not to a silent stand-in.
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(maps.readAll().contains("salienta_sound"));

    // The next feedback plays again: the player is not left stuck.
    TanimazioneForm next(request(4, offerYes | offerNo), context);
    whenModalShown([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("noBut")), Qt::LeftButton);
    });
    QCOMPARE(next.exec(), int(answerNo));
}

QTEST_MAIN(TestFeedbackWindow)
#include "tst_feedbackwindow.moc"
