#include "access/Joystick.h"
#include "access/JoystickDriver.h"
#include "access/SerBtn.h"
#include "access/Serial.h"
#include "authoring/Uloaddel.h"
#include "execution/RadioGroup.h"
#include "execution/Ucaricae.h"
#include "execution/Ucompito.h"
#include "execution/Usceltae.h"
#include "sound/AudioOutput.h"
#include "speech/SpeechEngine.h"
#include "support/FakeSwitches.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/BrokenDriver.h"
#include "support/VirtualStick.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using testsupport::whenModalShown;

namespace {

// The context the set-up windows are given, made afresh for each test.
AppContext context;

// The same context with the serial-switch object `serial`.
AppContext withSwitches(TBottoneSeriale* serial)
{
    AppContext given = context;
    given.serialSwitches = serial;
    return given;
}

void clickItem(TRadioGroup* group, int index)
{
    QTest::mouseClick(group->item(index), Qt::LeftButton, {}, QPoint(8, group->item(index)->height() / 2));
}

QByteArray crlf(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += testsupport::toCp1252(line) + "\r\n";
    return bytes;
}

} // namespace

class TestRunSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void namesComeFromTheArchiveOnce();
    void unreadableArchiveGivesAnEmptyList();
    void nameIsCheckedBeforeTheRun();
    void startRunsTheRunWindowWhileTheSetUpIsOpen();
    void mouseSpaceBarAndJoystickAccess();
    void joystickThatCannotBeUsedKeepsTheDialogOpen();
    void serialAccessOpensTheChosenPort();
    void exerciseChooserOffersEverySentenceOnlyOneByOne();
    void exerciseChooserWithoutExercises();
    void exerciseListsInItalianOrder();
    void taskWindowShowsAndReadsTheTask();

private:
    QTemporaryDir folder;
};

void TestRunSetup::initTestCase()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    QCOMPARE(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    QCOMPARE(SDL_NumJoysticks(), 0);
}

void TestRunSetup::cleanupTestCase()
{
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void TestRunSetup::init()
{
    QVERIFY(folder.isValid());
    QDir(folder.path()).removeRecursively();
    QVERIFY(QDir().mkpath(folder.path() + QStringLiteral("/risult")));
    QVERIFY(QDir().mkpath(folder.path() + QStringLiteral("/esercizi")));
    context = testsupport::makeContext(folder.path());
}

void TestRunSetup::namesComeFromTheArchiveOnce()
{
    ScriptedDialogs dialogs;
    {
        // No archive yet: no names, the box says "UTENTE".
        TsceltaEs setUp(context);
        QCOMPARE(setUp.objectName(), QStringLiteral("sceltaEs"));
        QCOMPARE(setUp.windowTitle(), QStringLiteral("  esercizio"));
        QVERIFY(setUp.isModal());
        for (const char* name : {"GroupBox1", "Label1", "comboNomi", "Label2", "memoInfo", "RadioAccesso",
                                 "RadioAccesso3", "comboJoy", "ComboSeriale", "proseguiBut", "annullaBut"})
            QVERIFY2(setUp.findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(setUp.comboNomi->count(), 0);
        QCOMPARE(setUp.comboNomi->currentText(), QStringLiteral("UTENTE"));
        QCOMPARE(setUp.RadioAccesso->itemIndex(), int(accessMouseKeyboard));
        QCOMPARE(setUp.RadioAccesso->items(),
                 (QStringList{"  mouse e tastiera", "  monotasto a scansione (barra spaziatrice)",
                              "  joystick", "  dispositivo seriale"}));
        QCOMPARE(setUp.comboJoy->currentText(), QStringLiteral("direzionale"));
        QCOMPARE(setUp.ComboSeriale->currentText(), QStringLiteral("COM1 bitasto"));
        QCOMPARE(setUp.ComboSeriale->itemText(7), QStringLiteral("COM4 monotasto"));
        QCOMPARE(setUp.ComboSeriale->count(), int(serialPortEntries().size()));
    }
    QVERIFY(testsupport::writeBytes(
        context.dataRoot + QStringLiteral("risult/risult.sal"),
        crlf({"[identificatore=LUCIA^PRIMA]", "[informazioni]", "NOME=LUCIA",
              "[identificatore= MARIO ^SECONDA]", "[testo]", "~nonImportante~", "Testo.",
              "[identificatore=LUCIA^TERZA]", "[identificatore=Lucia^QUARTA]",
              "[identificatore=NICOLÒ^QUINTA]"})));
    TsceltaEs setUp(context);
    QStringList names;
    for (int i = 0; i < setUp.comboNomi->count(); ++i)
        names << setUp.comboNomi->itemText(i);
    QCOMPARE(names, (QStringList{"LUCIA", "MARIO", "Lucia", "NICOLÒ"}));
    QCOMPARE(setUp.comboNomi->currentText(), QStringLiteral("UTENTE"));
    QVERIFY(dialogs.asked().isEmpty());
}

void TestRunSetup::unreadableArchiveGivesAnEmptyList()
{
    ScriptedDialogs dialogs;
    // A folder where the archive should be cannot be read as a file.
    QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("risult/risult.sal")));
    TsceltaEs setUp(context);
    QCOMPARE(setUp.comboNomi->count(), 0);
    QCOMPARE(setUp.comboNomi->currentText(), QStringLiteral("UTENTE"));
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY2(dialogs.messages().first().startsWith(QStringLiteral("Errore di lettura del file ")),
             qPrintable(dialogs.messages().first()));
}

void TestRunSetup::nameIsCheckedBeforeTheRun()
{
    ScriptedDialogs dialogs;
    TsceltaEs setUp(context);
    setUp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setUp));

    const auto refused = [&](const QString& name, const QString& info) {
        dialogs.clear();
        setUp.comboNomi->setEditText(name);
        setUp.memoInfo->setPlainText(info);
        QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
        // Refused: the dialog stays open.
        QTest::qVerify(setUp.isVisible() && setUp.result() == QDialog::Rejected, "still open", "",
                       __FILE__, __LINE__);
        return dialogs.messages().value(0);
    };
    QCOMPARE(refused(QString(), QString()), QStringLiteral("Inserisci un nome"));
    QCOMPARE(refused(QStringLiteral("   "), QString()), QStringLiteral("Inserisci un nome"));
    for (const QString& name : {QStringLiteral("ANNA^B"), QStringLiteral("[ANNA"), QStringLiteral("ANNA]"),
                                QStringLiteral("AN\nNA")})
        QVERIFY(refused(name, QString()).startsWith(QStringLiteral("Il nome non può contenere")));
    QVERIFY(refused(QStringLiteral("ŁUKASZ"), QString()).startsWith(QStringLiteral("Il nome contiene caratteri")));
    for (const QString& info : {QStringLiteral("classe 3\n[testo]"), QStringLiteral("=riga"),
                                QStringLiteral("identificatore=X^Y"), QStringLiteral("[identificatore=X^Y")})
        QVERIFY(refused(QStringLiteral("ANNA"), info).startsWith(QStringLiteral("Le altre informazioni non possono")));
    QVERIFY(refused(QStringLiteral("ANNA"), QStringLiteral("nata a Łódź")).startsWith(QStringLiteral("Le altre informazioni contengono")));

    // The memo takes at most 120 characters.
    setUp.memoInfo->setPlainText(QString(130, QLatin1Char('x')));
    QCOMPARE(setUp.memoInfo->toPlainText().size(), 120);

    dialogs.clear();
    setUp.comboNomi->setEditText(QStringLiteral(" anna rossi "));
    setUp.memoInfo->setPlainText(QStringLiteral("classe 3 B\nusa = e ^ liberamente"));
    QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
    QVERIFY(dialogs.asked().isEmpty());
    QCOMPARE(setUp.result(), int(QDialog::Accepted));
    // Stored in upper case with its spaces; only the emptiness check trims.
    QCOMPARE(setUp.pupilName(), QStringLiteral(" ANNA ROSSI "));
    QCOMPARE(setUp.pupilInfo(), (QStringList{"classe 3 B", "usa = e ^ liberamente"}));
    QVERIFY(!setUp.scanningAccess());
}

void TestRunSetup::startRunsTheRunWindowWhileTheSetUpIsOpen()
{
    ScriptedDialogs dialogs;
    FakeSwitches s;
    QWidget owner;
    QString seenName;
    bool setUpOpen = false;
    whenModalShown([](QWidget* modal) {
        auto setUp = qobject_cast<TsceltaEs*>(modal);
        QVERIFY(setUp);
        setUp->comboNomi->setEditText(QStringLiteral("piero"));
        QTest::keyClick(setUp->comboNomi, Qt::Key_Return); // "&avanti" is the default button
    });
    QVERIFY(startExerciseRun(&owner, withSwitches(&s.serial), [&](TsceltaEs& setUp) {
        seenName = setUp.pupilName();
        setUpOpen = setUp.parentWidget() == &owner && !setUp.isVisible();
    }));
    QCOMPARE(seenName, QStringLiteral("PIERO"));
    QVERIFY(setUpOpen);

    bool called = false;
    whenModalShown([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("annullaBut")), Qt::LeftButton);
    });
    QVERIFY(!startExerciseRun(&owner, withSwitches(&s.serial), [&](TsceltaEs&) { called = true; }));
    QVERIFY(!called);
    QVERIFY(dialogs.asked().isEmpty());
}

void TestRunSetup::mouseSpaceBarAndJoystickAccess()
{
    ScriptedDialogs dialogs;
    VirtualStick stick;
    QVERIFY(stick.ok());
    TsceltaEs setUp(context);
    setUp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setUp));

    clickItem(setUp.RadioAccesso, accessSpaceBar);
    QCOMPARE(setUp.RadioAccesso->itemIndex(), int(accessSpaceBar));
    QVERIFY(setUp.scanningAccess());
    QCOMPARE(setUp.accessDevice(), spaceBarSwitch);

    // Touching the joystick list chooses the joystick.
    QTest::mousePress(setUp.comboJoy, Qt::LeftButton);
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : setUp.comboJoy,
                    Qt::Key_Escape);
    QCOMPARE(setUp.RadioAccesso->itemIndex(), int(accessJoystick));
    const AccessDevice modes[] = {joystickDirectional, joystickTwoButton, joystickOneButton};
    for (int i = 0; i < 3; ++i) {
        setUp.comboJoy->setCurrentIndex(i);
        QCOMPARE(setUp.accessDevice(), modes[i]);
    }
    QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
    QVERIFY(dialogs.asked().isEmpty());
    QCOMPARE(setUp.result(), int(QDialog::Accepted));
    QCOMPARE(setUp.accessDevice(), joystickOneButton);

    // Choosing from the serial list by keyboard chooses the serial access.
    TsceltaEs second(context);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    second.ComboSeriale->setFocus();
    QTest::keyClick(second.ComboSeriale, Qt::Key_Down);
    QCOMPARE(second.RadioAccesso->itemIndex(), int(accessSerial));
    QCOMPARE(second.accessDevice(), serialOneSwitch);
}

void TestRunSetup::joystickThatCannotBeUsedKeepsTheDialogOpen()
{
    ScriptedDialogs dialogs;
    TsceltaEs setUp(context);
    setUp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setUp));
    clickItem(setUp.RadioAccesso, accessJoystick);
    const auto tryIt = [&] {
        dialogs.clear();
        QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
        QTest::qVerify(setUp.isVisible(), "still open", "", __FILE__, __LINE__);
        return dialogs.messages();
    };
    QCOMPARE(tryIt(), QStringList{"Il joystick non e' collegato"});
    {
        BrokenDriver none(false);
        QCOMPARE(tryIt(), QStringList{"il joystick non e' installato"});
    }
    {
        BrokenDriver refusing(true);
        QCOMPARE(tryIt(), QStringList{"Impossibile utilizzare il joystick"});
    }
    // The pupil may choose another access.
    clickItem(setUp.RadioAccesso, accessMouseKeyboard);
    dialogs.clear();
    QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
    QCOMPARE(setUp.result(), int(QDialog::Accepted));
    QVERIFY(dialogs.asked().isEmpty());
}

void TestRunSetup::serialAccessOpensTheChosenPort()
{
    ScriptedDialogs dialogs;
    FakeSwitches s;
    {
        TsceltaEs setUp(withSwitches(&s.serial));
        setUp.show();
        QVERIFY(QTest::qWaitForWindowExposed(&setUp));
        setUp.ComboSeriale->setCurrentIndex(5);
        QCOMPARE(setUp.ComboSeriale->currentText(), QStringLiteral("COM3 monotasto"));
        clickItem(setUp.RadioAccesso, accessSerial);
        QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
        QCOMPARE(setUp.result(), int(QDialog::Accepted));
        QCOMPARE(s.opened, QStringList{"/dev/ttyS2"});
        QCOMPARE(s.serial.portNumber(), 3);
        QCOMPARE(setUp.accessDevice(), serialOneSwitch);
        QCOMPARE(setUp.serialPortNumber(), 3);
    }
    {
        TsceltaEs setUp(withSwitches(&s.serial));
        setUp.show();
        QVERIFY(QTest::qWaitForWindowExposed(&setUp));
        clickItem(setUp.RadioAccesso, accessSerial);
        // A port that cannot be opened: the dialog stays, with the reason.
        s.nextError = 16;
        QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
        QVERIFY(setUp.isVisible());
        QCOMPARE(dialogs.messages(),
                 QStringList{"Impossibile utilizzare il tasto seriale\nporta occupata"});
        QVERIFY(!s.serial.portReady());
        s.nextError = 0;
        QTest::mouseClick(setUp.proseguiBut, Qt::LeftButton);
        QCOMPARE(setUp.result(), int(QDialog::Accepted));
        QCOMPARE(s.opened, (QStringList{"/dev/ttyS2", "/dev/ttyS0", "/dev/ttyS0"}));
        QCOMPARE(setUp.accessDevice(), serialTwoSwitch);
        QCOMPARE(s.serial.portNumber(), 1);
    }
    // Without a serial object (no main window) the serial access cannot be used.
    dialogs.clear();
    TsceltaEs orphan(context);
    orphan.show();
    QVERIFY(QTest::qWaitForWindowExposed(&orphan));
    clickItem(orphan.RadioAccesso, accessSerial);
    QTest::mouseClick(orphan.proseguiBut, Qt::LeftButton);
    QVERIFY(orphan.isVisible());
    QCOMPARE(dialogs.messages(), QStringList{"Impossibile utilizzare il tasto seriale"});
}

void TestRunSetup::exerciseChooserOffersEverySentenceOnlyOneByOne()
{
    ScriptedDialogs dialogs;
    const QString exercises = context.dataRoot + QStringLiteral("esercizi/");
    QVERIFY(testsupport::writeBytes(exercises + QStringLiteral("LONGNAME.LST"),
                                    crlf({"ZEBRE.S01=zebre del Kenya", "API.S01=Api e fiori"})));
    for (const char* name : {"ZEBRE.S01", "API.S01", "ALTRO.S02"})
        QVERIFY(testsupport::writeBytes(exercises + QLatin1String(name), crlf({"[compito]", "x", "[testo]"})));
    QVERIFY(testsupport::writeBytes(exercises + QStringLiteral("NOTE.TXT"), "x"));

    TcaricaE chooser(context);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QCOMPARE(chooser.objectName(), QStringLiteral("caricaE"));
    QCOMPARE(chooser.windowTitle(), QStringLiteral("  scegli un esercizio"));
    QVERIFY(chooser.isModal());
    QCOMPARE(chooser.focusWidget(), chooser.okBut);
    for (const char* name : {"Label1", "ComboEsercizi", "RadioVisualizzazione", "Radiofeedback", "okBut", "annullaBut"})
        QVERIFY2(chooser.findChild<QWidget*>(QLatin1String(name)), name);
    QStringList names;
    for (int i = 0; i < chooser.ComboEsercizi->count(); ++i)
        names << chooser.ComboEsercizi->itemText(i);
    QCOMPARE(names, (QStringList{"ALTRO", "Api e fiori", "zebre del Kenya"}));
    QCOMPARE(chooser.exerciseName(), QStringLiteral("ALTRO"));
    QCOMPARE(chooser.Radiofeedback->items(), (QStringList{"  nessuno", "  a metà e alla fine"}));
    QCOMPARE(chooser.displayMode(), wholeText);
    QCOMPARE(chooser.feedbackMode(), noFeedback);

    clickItem(chooser.RadioVisualizzazione, 1);
    QCOMPARE(chooser.displayMode(), sentenceBySentence);
    QCOMPARE(chooser.Radiofeedback->items(),
             (QStringList{"  nessuno", "  a metà e alla fine", "  dopo ogni frase"}));
    clickItem(chooser.Radiofeedback, 2);
    QCOMPARE(chooser.feedbackMode(), everySentence);
    // Another display brings the feedback back to "  nessuno".
    clickItem(chooser.RadioVisualizzazione, 0);
    QCOMPARE(chooser.Radiofeedback->count(), 2);
    QCOMPARE(chooser.feedbackMode(), noFeedback);
    clickItem(chooser.Radiofeedback, 1);
    clickItem(chooser.RadioVisualizzazione, 1);
    QCOMPARE(chooser.feedbackMode(), noFeedback);
    clickItem(chooser.Radiofeedback, 1);
    QCOMPARE(chooser.feedbackMode(), midAndEnd);

    chooser.ComboEsercizi->setCurrentIndex(2);
    QTest::mouseClick(chooser.okBut, Qt::LeftButton);
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.exerciseName(), QStringLiteral("zebre del Kenya"));
    QCOMPARE(chooser.displayMode(), sentenceBySentence);
    QCOMPARE(chooser.feedbackMode(), midAndEnd);
    QVERIFY(dialogs.asked().isEmpty());
}

void TestRunSetup::exerciseChooserWithoutExercises()
{
    ScriptedDialogs dialogs;
    TcaricaE chooser(context);
    QCOMPARE(chooser.ComboEsercizi->count(), 0);
    QCOMPARE(chooser.exerciseName(), QString());
    bool shown = false;
    whenModalShown([&](QWidget* modal) {
        shown = modal == &chooser;
        QTest::keyClick(modal, Qt::Key_Return);
    });
    QCOMPARE(chooser.exec(), int(QDialog::Rejected));
    QVERIFY(shown);
    QCOMPARE(dialogs.messages(), QStringList{"Non esistono esercizi da eseguire"});
}

void TestRunSetup::exerciseListsInItalianOrder()
{
    // Both exercise choosers list the names in Italian alphabetical order:
    // letter case and accents do not move a name ("Èra" stands with "Era",
    // not after "Z").
    ScriptedDialogs dialogs;
    const QString exercises = context.dataRoot + QStringLiteral("esercizi/");
    const QStringList table{QStringLiteral("ZEBRA.S01=Zebra"), QString::fromUtf8("ERA.S01=Èra glaciale"),
                            QStringLiteral("APE.S01=ape regina"), QStringLiteral("BUE.S01=Bue muschiato"),
                            QStringLiteral("ERA.S02=Era moderna"), QStringLiteral("ELEF.S01=elefante")};
    QByteArray lines;
    for (const QString& line : table) {
        lines += testsupport::toCp1252(line) + "\r\n";
        const QString file = line.left(line.indexOf(QLatin1Char('=')));
        QVERIFY(testsupport::writeBytes(exercises + file, crlf({"[compito]", "x", "[testo]"})));
    }
    QVERIFY(testsupport::writeBytes(exercises + QStringLiteral("LONGNAME.LST"), lines));
    const QStringList expected{QStringLiteral("ape regina"), QStringLiteral("Bue muschiato"),
                               QStringLiteral("elefante"), QString::fromUtf8("Èra glaciale"),
                               QStringLiteral("Era moderna"), QStringLiteral("Zebra")};
    auto listed = [](QComboBox* combo) {
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << combo->itemText(i);
        return names;
    };
    TcaricaE run(context);
    QCOMPARE(listed(run.ComboEsercizi), expected);
    QCOMPARE(run.exerciseName(), QStringLiteral("ape regina"));
    TcaricaElimina preparation(context);
    QCOMPARE(listed(preparation.ComboEsercizi), expected);
    QVERIFY(dialogs.asked().isEmpty());
}

void TestRunSetup::taskWindowShowsAndReadsTheTask()
{
    TFormCompito task;
    QCOMPARE(task.objectName(), QStringLiteral("FormCompito"));
    QCOMPARE(task.windowTitle(), QStringLiteral("Compito"));
    QCOMPARE(task.size(), QSize(600, 300));
    for (const char* name : {"suggPanel", "MemoCompito", "PanelBottom", "OkButton", "PlayButton"})
        QVERIFY2(task.findChild<QWidget*>(QLatin1String(name)), name);
    task.setTask(QStringLiteral("Trova le frasi più importanti."), false);
    task.show();
    QVERIFY(QTest::qWaitForWindowExposed(&task));
    QVERIFY(task.PlayButton->isHidden());
    QVERIFY(task.MemoCompito->isReadOnly());
    QCOMPARE(task.MemoCompito->toPlainText(), QStringLiteral("Trova le frasi più importanti."));
    for (const QSize size : {QSize(600, 300), QSize(801, 451)}) {
        task.resize(size);
        QTRY_COMPARE(task.PanelBottom->width(), size.width());
        QCOMPARE(task.PanelBottom->height(), 50);
        QCOMPARE(task.PanelBottom->y(), size.height() - 50);
        QCOMPARE(task.OkButton->x(), (size.width() - task.OkButton->width()) / 2);
        QCOMPARE(task.OkButton->y(), (50 - task.OkButton->height()) / 2);
        QCOMPARE(task.suggPanel->geometry(), QRect(0, 0, size.width(), size.height() - 50));
    }

    // Read aloud: the caption, then the task, through the speech engine.
    auto output = std::make_unique<CaptureAudioOutput>();
    CaptureAudioOutput* capture = output.get();
    capture->setPlaybackSpeed(20);
    installSpeechAudioOutput(std::move(output));
    if (!VS_CreateSpeechEngine())
        QSKIP("no speech engine on this machine");
    task.setTask(QStringLiteral("Trova le frasi più importanti."), true);
    QVERIFY(task.PlayButton->isVisible());
    QTest::mouseClick(task.PlayButton, Qt::LeftButton);
    QVERIFY(VS_IsTalking());
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 15000);
    const qint64 both = capture->captured().size();
    capture->clear();
    task.setTask(QString(), true);
    QTest::mouseClick(task.PlayButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 15000);
    const qint64 captionOnly = capture->captured().size();
    VS_DestroySpeechEngine();
    QVERIFY(captionOnly > 0);
    QVERIFY2(both > captionOnly * 2, qPrintable(QStringLiteral("%1 %2").arg(both).arg(captionOnly)));

    QTest::mouseClick(task.OkButton, Qt::LeftButton);
    QCOMPARE(task.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestRunSetup)
#include "tst_runsetup.moc"
