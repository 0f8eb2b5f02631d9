// Pupil profiles: the profile window opened from the run set-up, the file it
// writes and what another process reads of it, damaged and out-of-range
// files, the lock, and runs that use the profile's timing on the test clock:
// step and first-button time, acceptance, ignored repeats, rounds, auditory
// scanning, the large frame, and the scanned end of a run.

#include "access/SerBtn.h"
#include "access/SerialLines.h"
#include "access/Uscans.h"
#include "execution/RadioGroup.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Udomanda.h"
#include "execution/Uesegui.h"
#include "execution/Uprofilo.h"
#include "execution/Usceltae.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/PupilProfile.h"
#include "model/ResultsFile.h"
#include "model/SafeFile.h"
#include "common/AppContext.h"
#include "speech/SpeechOutput.h"
#include "support/FakeSwitches.h"
#include "support/ModalSteps.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::readBytes;
using testsupport::toCp1252;
using testsupport::writeBytes;

namespace {

const QString dateFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

// Speech on the test clock: a text is "said" for 60 ms per character; a
// text cut off while it is said is recorded as such.
class FakeSpeech final : public SpeechOutput
{
public:
    explicit FakeSpeech(FakeClock& c) : clock(c) { previous = setSpeechOutput(this); }
    ~FakeSpeech() override { setSpeechOutput(previous); }
    bool isTalking() override { return clock.now() < endsAt; }
    void stopTalk() override
    {
        if (isTalking())
            events << QStringLiteral("cut ") + saying;
        endsAt = 0;
    }
    void sayText(const QString& text) override
    {
        events << QStringLiteral("say ") + text;
        saying = text;
        endsAt = std::max(endsAt, clock.now()) + 60 * text.size();
    }
    int speed() override { return speedValue; }
    void setSpeed(int wordsPerMinute) override { speedValue = wordsPerMinute; }

    QStringList events;
    int speedValue = 175;

private:
    FakeClock& clock;
    SpeechOutput* previous = nullptr;
    QString saying;
    qint64 endsAt = 0;
};

using Modals = ModalSteps<Tesegui>;

void press(QWidget* w)
{
    QTest::keyPress(w, Qt::Key_Space);
}

void release(QWidget* w)
{
    QTest::keyRelease(w, Qt::Key_Space);
}

QString runHelper(const QStringList& args)
{
    QProcess helper;
    helper.start(QStringLiteral(DATAHELPER_PATH), args);
    if (!helper.waitForFinished(30000))
        return QStringLiteral("helper did not finish");
    return QString::fromUtf8(helper.readAllStandardOutput());
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir data;
    AppContext context;
    QString dataRoot;
    std::unique_ptr<ScriptedDialogs> scripted;
    std::unique_ptr<FakeClock> clock;
    QDateTime dateBase;

    QString archivePath() const { return dataRoot + QStringLiteral("risult/risult.sal"); }

    AppContext withSerial(TBottoneSeriale* serial) const
    {
        AppContext given = context;
        given.serialSwitches = serial;
        return given;
    }

    void writeExercise(const QString& longName, const QList<int>& levels)
    {
        QVERIFY(testsupport::writeStoryExercise(dataRoot, longName, levels));
    }

    // The bytes of the stored run `id`, from its header to the next one.
    QByteArray storedBlock(const QString& id)
    {
        const QByteArray bytes = readBytes(archivePath());
        const QByteArray header = toCp1252(QStringLiteral("[identificatore=") + id + QLatin1Char(']'));
        const qsizetype start = bytes.indexOf(header + "\r\n");
        if (start < 0)
            return {};
        const qsizetype end = bytes.indexOf("\r\n[identificatore=", start);
        return bytes.mid(start, end < 0 ? -1 : end + 2 - start);
    }

    static RunSetup pupil(const QString& name, const PupilProfile& profile, bool scanning = true)
    {
        RunSetup setup;
        setup.pupilName = name;
        setup.pupilInfo = QStringList{QStringLiteral("classe terza")};
        setup.scanningAccess = scanning;
        setup.device = spaceBarSwitch;
        setup.profile = profile;
        return setup;
    }

    // Shows the run window: the introduction is answered by `introduction`,
    // the chooser takes "Storia", whole text, no feedback.
    bool open(Tesegui& run, Modals& modals, const Modals::Step& introduction)
    {
        modals.then(QStringLiteral("introduction"), introduction);
        modals.then(QStringLiteral("chooser"), [](QWidget* w) {
            auto chooser = qobject_cast<TcaricaE*>(w);
            QVERIFY(chooser);
            chooser->ComboEsercizi->setCurrentIndex(chooser->ComboEsercizi->findText(QStringLiteral("Storia")));
            chooser->okBut->click();
        });
        run.show();
        if (!QTest::qWaitFor([&run]() { return run.exerciseLoaded; }, 20000))
            return false;
        QApplication::setActiveWindow(&run);
        return QTest::qWaitFor([&run]() { return run.isActiveWindow(); }, 5000);
    }

    static bool closed(Tesegui& run, Modals& modals)
    {
        const bool gone = QTest::qWaitFor([&run]() { return !run.isVisible(); }, 20000);
        if (!modals.done())
            qWarning() << "windows:" << modals.failures;
        return gone && modals.done();
    }

    // The clock moves on until the frame is on `button` (at most `limit` ms).
    bool frameTo(TScansione* scan, QAbstractButton* button, int limit = 60000)
    {
        for (int waited = 0; scan->currentButton() != button || scan->waiting(); waited += 100) {
            if (waited > limit)
                return false;
            clock->advance(100);
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        context = testsupport::makeContext(QStringLiteral(SALIENTA_ASSETS_DIR), data.path());
        dataRoot = context.dataRoot;
        QVERIFY(QDir().mkpath(dataRoot + QStringLiteral("esercizi")));
        QVERIFY(QDir().mkpath(dataRoot + QStringLiteral("risult")));
        writeExercise(QStringLiteral("Storia"), {2, 1});
    }

    void init()
    {
        scripted = std::make_unique<ScriptedDialogs>();
        clock = std::make_unique<FakeClock>(0, true);
        dateBase = QDateTime(QDate(2024, 3, 5), QTime(10, 15, 0));
        clock->setDateTime(dateBase);
    }

    void cleanup()
    {
        clock.reset();
        scripted.reset();
    }

    // The teacher types a name in the run set-up and opens "&profilo...",
    // sets every value with the keyboard alone and confirms; the file is
    // UTF-8 INI under alunni/, a second process reads the same values, and
    // "&avanti" hands them to the run.
    void profileSavedReadBackAndUsed()
    {
        TsceltaEs setUp(context);
        QCOMPARE(setUp.profiloBut->text(), QStringLiteral("&profilo..."));
        QVERIFY(setUp.profiloBut->isEnabled());                 // "UTENTE"
        setUp.comboNomi->setEditText(QStringLiteral("   "));
        QVERIFY(!setUp.profiloBut->isEnabled());
        setUp.comboNomi->setEditText(QString::fromUtf8("Anna Maria Niccolò"));
        QVERIFY(setUp.profiloBut->isEnabled());

        scripted->answerFont(QFont(QStringLiteral("Liberation Sans"), 20));
        bool seen = false;
        testsupport::whenModalShown([&](QWidget* modal) {
            auto form = qobject_cast<TprofiloForm*>(modal);
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QString::fromUtf8("  profilo di ANNA MARIA NICCOLÒ"));
            // A pupil without a profile: the defaults.
            QCOMPARE(form->chosenProfile(), PupilProfile());
            QCOMPARE(form->spinPasso->text(), QStringLiteral("1,5 s"));
            QCOMPARE(form->spinGiri->text(), QStringLiteral("senza limite"));
            QCOMPARE(form->spinTempoMax->text(), QStringLiteral("come nelle opzioni generali"));
            QCOMPARE(form->checkSintesi->checkState(), Qt::PartiallyChecked);
            const auto key = [form](Qt::Key k, int times = 1) {
                for (int i = 0; i < times; ++i)
                    QTest::keyClick(form->focusWidget(), k);
            };
            QCOMPARE(form->focusWidget(), form->spinPasso);
            key(Qt::Key_Up, 15);                          // 3 s
            key(Qt::Key_Tab);
            key(Qt::Key_Up, 10);                          // 1 s more on the first button
            key(Qt::Key_Tab);
            key(Qt::Key_Up, 3);                           // held 0.3 s
            key(Qt::Key_Tab);
            key(Qt::Key_Up, 5);                           // repeats within 0.5 s ignored
            key(Qt::Key_Tab);
            key(Qt::Key_Up, 2);                           // 2 rounds
            key(Qt::Key_Tab);
            QCOMPARE(form->focusWidget(), form->checkScansioneUditiva);
            key(Qt::Key_Space);
            key(Qt::Key_Tab);
            key(Qt::Key_Space);                           // large frame
            key(Qt::Key_Tab);
            QCOMPARE(form->focusWidget(), form->fontBut);
            key(Qt::Key_Space);                           // the font dialog
            QCOMPARE(form->fontBut->text(), QStringLiteral("Liberation Sans, 20"));
            key(Qt::Key_Tab);
            key(Qt::Key_Space);                           // read aloud: yes
            QCOMPARE(form->checkSintesi->text(), QString::fromUtf8("&lettura ad alta voce: sì"));
            key(Qt::Key_Tab);
            QCOMPARE(form->focusWidget(), form->spinVelocita);
            QTest::keyClick(form->spinVelocita, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(form->spinVelocita, QStringLiteral("200"));
            key(Qt::Key_Tab);
            key(Qt::Key_Up, 11);                          // 10 s a sentence
            // "Valori predefiniti" would bring everything back; Enter is OK.
            QCOMPARE(form->spinTempoMax->value(), 10);
            key(Qt::Key_Return);
            seen = true;
        });
        QTest::mouseClick(setUp.profiloBut, Qt::LeftButton);
        QVERIFY(seen);

        const QString path = dataRoot + QStringLiteral("alunni/ANNA MARIA NICCOL%C3%92.ini");
        QCOMPARE(profilePath(dataRoot, QString::fromUtf8(" anna maria niccolò")), path);
        QCOMPARE(QString::fromUtf8(readBytes(path)),
                 QString::fromUtf8("[profilo]\n"
                                   "accettazione=0.3\n"
                                   "alunno=ANNA MARIA NICCOLÒ\n"
                                   "carattere=Liberation Sans\n"
                                   "corniceGrande=true\n"
                                   "dimensione=20\n"
                                   "giri=2\n"
                                   "ignora=0.5\n"
                                   "passo=3\n"
                                   "primoPasso=1\n"
                                   "scansioneUditiva=true\n"
                                   "sintesi=true\n"
                                   "tempoMax=10\n"
                                   "velocita=200\n"));

        // Another process (another computer of the lab) reads the same profile.
        QCOMPARE(runHelper({QStringLiteral("profile"), dataRoot, QString::fromUtf8("Anna Maria Niccolò")}),
                 QString::fromUtf8("read\npasso 3 s; accettazione 0,3 s; primo passo 1 s; ignora "
                                   "ripetizioni 0,5 s; giri 2; scansione uditiva sì; cornice grande "
                                   "sì; carattere Liberation Sans 20; sintesi sì velocità 200; "
                                   "tempo massimo 10 s\n"));

        // "&avanti" reads it for the run; the run window takes it.
        setUp.RadioAccesso->setItemIndex(accessSpaceBar);
        setUp.proseguiBut->click();
        QCOMPARE(setUp.result(), int(QDialog::Accepted));
        const PupilProfile profile = setUp.pupilProfile();
        QCOMPARE(profile.scan.stepMs, 3000);
        QCOMPARE(profile.scan.acceptMs, 300);
        QCOMPARE(profile.speechSpeed, std::optional<int>(200));
        FakeSpeech speech(*clock);
        {
            Tesegui run(Tesegui::setupFrom(setUp), context);
            QVERIFY(run.ready());
            QCOMPARE(run.scansione()->timing(), profile.scan);
            QCOMPARE(run.textFont().family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(run.textFont().pointSize(), 20);
            QCOMPARE(run.options.maxSentenceTime, 10);
            QCOMPARE(run.options.useSpeech, true);
            QCOMPARE(speech.speedValue, 200);
            // Speech is not available here: the line says what was in force.
            QCOMPARE(run.run.profileLine,
                     QString::fromUtf8("passo 3 s; accettazione 0,3 s; primo passo 1 s; ignora "
                                       "ripetizioni 0,5 s; giri 2; scansione uditiva sì; cornice "
                                       "grande sì; carattere Liberation Sans 20; sintesi no; tempo "
                                       "massimo 10 s"));
        }
        QCOMPARE(speech.speedValue, 175);   // the speech settings' speed is back
        QCOMPARE(scripted->messages(), QStringList());
    }

    // A damaged profile gives the defaults and one message naming the pupil,
    // and stays as it was until the profile is saved again; values out of
    // range are brought to the nearest end, without a message.
    void badProfiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<int>("stepMs");
        QTest::addColumn<int>("cycles");
        QTest::addColumn<int>("timeLimit");
        QTest::newRow("not UTF-8") << QByteArray("[profilo]\npasso=3\nalunno=ZO\xc8\n") << true << 1500 << 0 << -1;
        QTest::newRow("not INI") << QByteArray("[profilo\npasso=3\n") << true << 1500 << 0 << -1;
        QTest::newRow("another group") << QByteArray("[altro]\npasso=3\n") << true << 1500 << 0 << -1;
        QTest::newRow("empty") << QByteArray() << true << 1500 << 0 << -1;
        QTest::newRow("a word for a number") << QByteArray("[profilo]\npasso=tre\n") << true << 1500 << 0 << -1;
        QTest::newRow("not a number") << QByteArray("[profilo]\npasso=nan\n") << true << 1500 << 0 << -1;
        QTest::newRow("zero step") << QByteArray("[profilo]\npasso=0\ngiri=-3\ntempoMax=-9\n") << false << 300 << 0 << 0;
        QTest::newRow("too large") << QByteArray("[profilo]\npasso=12,34\ngiri=40\ntempoMax=500\n") << false << 10000 << 10 << 120;
        QTest::newRow("hundredths") << QByteArray("[profilo]\npasso=1.04\n") << false << 1000 << 0 << -1;
    }
    void badProfiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, damaged);
        QFETCH(int, stepMs);
        QFETCH(int, cycles);
        QFETCH(int, timeLimit);
        const QString path = profilePath(dataRoot, QStringLiteral("ZOE"));
        QVERIFY(QDir().mkpath(profileFolder(dataRoot)));
        QVERIFY(writeBytes(path, bytes));
        const QString message = QString::fromUtf8(
            "Il profilo dell'alunno ZOE non può essere letto (il file è danneggiato o "
            "illeggibile): si usano i valori predefiniti. Il file resta com'è finché il profilo "
            "non viene salvato di nuovo.");
        const QStringList expected = damaged ? QStringList{message} : QStringList();
        {
            TsceltaEs setUp(context);
            setUp.comboNomi->setEditText(QStringLiteral("zoe"));
            PupilProfile shown;
            testsupport::whenModalShown([&](QWidget* modal) {
                auto form = qobject_cast<TprofiloForm*>(modal);
                QVERIFY(form);
                shown = form->chosenProfile();
                form->CancelBtn->click();
            });
            QTest::mouseClick(setUp.profiloBut, Qt::LeftButton);
            QCOMPARE(scripted->messages(), expected);
            QCOMPARE(shown.scan.stepMs, stepMs);
            QCOMPARE(shown.scan.cycles, cycles);
            QCOMPARE(shown.maxSentenceTime.value_or(-1), timeLimit);
            QCOMPARE(readBytes(path), bytes);             // cancelled: left alone
            setUp.proseguiBut->click();                   // reported once in this dialog
            QCOMPARE(scripted->messages(), expected);
            QCOMPARE(setUp.pupilProfile(), shown);
        }
        // The next set-up reports it again, once.
        scripted->clear();
        TsceltaEs again(context);
        again.comboNomi->setEditText(QStringLiteral("Zoe "));
        again.proseguiBut->click();
        QCOMPARE(scripted->messages(), expected);
        QCOMPARE(again.pupilProfile().scan.stepMs, stepMs);
        QCOMPARE(readBytes(path), bytes);
    }

    // Saving waits for the profile's lock: a profile held by another copy of
    // the program is not written when the teacher gives up; two copies that
    // save at once leave one whole profile, the last one saved.
    void profileUnderTheLock()
    {
        FileLock::setPatienceForTests(200);
        QProcess holder;
        holder.start(QStringLiteral(DATAHELPER_PATH),
                     {QStringLiteral("holdprofile"), dataRoot, QStringLiteral("BEA")});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
        TsceltaEs setUp(context);
        setUp.comboNomi->setEditText(QStringLiteral("Bea"));
        testsupport::whenModalShown([](QWidget* modal) {
            auto form = qobject_cast<TprofiloForm*>(modal);
            QVERIFY(form);
            form->spinPasso->setValue(2.5);
            form->OKBtn->click();
        });
        scripted->answer(NoAnswerButton);                 // "Riprovare?"
        QTest::mouseClick(setUp.profiloBut, Qt::LeftButton);
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(scripted->messages().last(),
                 QString::fromUtf8("Il profilo dell'alunno BEA non è stato salvato: il file è in "
                                   "uso altrove."));
        const QString path = profilePath(dataRoot, QStringLiteral("BEA"));
        QVERIFY(!QFile::exists(path));

        QProcess first;
        QProcess second;
        first.start(QStringLiteral(DATAHELPER_PATH),
                    {QStringLiteral("saveprofile"), dataRoot, QStringLiteral("BEA"), QStringLiteral("2000")});
        second.start(QStringLiteral(DATAHELPER_PATH),
                     {QStringLiteral("saveprofile"), dataRoot, QStringLiteral("BEA"), QStringLiteral("4000")});
        QVERIFY(first.waitForFinished(30000) && second.waitForFinished(30000));
        QCOMPARE(first.readAllStandardOutput(), QByteArray("saved\n"));
        QCOMPARE(second.readAllStandardOutput(), QByteArray("saved\n"));
        PupilProfile read;
        QCOMPARE(readPupilProfile(dataRoot, QStringLiteral("bea"), read), ProfileRead::read);
        QVERIFY(read.scan.stepMs == 2000 || read.scan.stepMs == 4000);
        QCOMPARE(QDir(profileFolder(dataRoot)).entryList({QStringLiteral("BEA*")}, QDir::Files),
                 QStringList{QStringLiteral("BEA.ini")});
        FileLock::setPatienceForTests(3000);
    }

    // A whole run with the space bar, a 3 s step and 1 s more on the button
    // where the scan starts again, timed on the test clock; the end of the
    // run is scanned too, and the proposed name, taken already, gets " (2)".
    void spaceBarRunOnTheClock()
    {
        PupilProfile profile;
        profile.scan.stepMs = 3000;
        profile.scan.firstStepExtraMs = 1000;
        Tesegui run(pupil(QStringLiteral("PIA"), profile), context);
        Modals modals;
        const auto space = [](QWidget* w) {
            press(w);
            release(w);
        };
        QVERIFY(open(run, modals, space));
        TScansione* scan = run.scansione();
        const QList<QAbstractButton*> order{run.suBut, run.giuBut, run.nonBot, run.impBot,
                                            run.moltoBot, run.fineBot};
        QCOMPARE(scan->buttons, order);
        // The frame's moves: 4 s on the first button, then every 3 s.
        QCOMPARE(scan->currentButton(), run.suBut);
        clock->advance(3999);
        QCOMPARE(scan->currentButton(), run.suBut);
        clock->advance(1);
        QCOMPARE(scan->currentButton(), run.giuBut);
        clock->advance(2999);
        QCOMPARE(scan->currentButton(), run.giuBut);
        clock->advance(1);
        QCOMPARE(scan->currentButton(), run.nonBot);
        clock->advance(3000);
        QCOMPARE(scan->currentButton(), run.impBot);
        space(&run);                                      // sentence 1: "importante"
        // The scan starts again where it is: 4 s on it, then 3 s a button.
        clock->advance(3999);
        QCOMPARE(scan->currentButton(), run.impBot);
        clock->advance(1);
        QCOMPARE(scan->currentButton(), run.moltoBot);
        QVERIFY(frameTo(scan, run.giuBut));
        space(&run);                                      // the next sentence
        QCOMPARE(run.model->currentSentence, 1);
        QVERIFY(frameTo(scan, run.nonBot));
        space(&run);                                      // sentence 2: "non importante"
        QVERIFY(frameTo(scan, run.fineBot));

        // The name the end of the run will propose is taken already.
        const QString proposed = clock->dateTime().toString(dateFormat);
        TesercizioSvolto earlier;
        earlier.pupilName = QStringLiteral("PIA");
        earlier.exerciseName = QStringLiteral("Storia");
        earlier.runName = proposed;
        QVERIFY(run.model->writeRun(resultsFolderIn(dataRoot), resultsName, resultsExtension, earlier));
        modals.then(QStringLiteral("judgement"), space);
        modals.then(QStringLiteral("save question"), [&](QWidget* w) {
            auto question = qobject_cast<TdomandaForm*>(w);
            QVERIFY(question);
            QCOMPARE(question->Label1->text(), QStringLiteral("Vuoi salvare l'esercizio ?"));
            QCOMPARE(question->scanning()->currentButton(), question->yesBut);
            QCOMPARE(question->scanning()->timing(), profile.scan);
            space(w);
        });
        space(&run);
        QVERIFY(closed(run, modals));
        QCOMPARE(run.run.runName, proposed + QStringLiteral(" (2)"));
        const QString id = QStringLiteral("PIA^") + proposed + QStringLiteral(" (2)");
        const QByteArray expected = toCp1252(
            QStringLiteral("[identificatore=") + id + QStringLiteral("]\r\n[informazioni]\r\nNOME=PIA\r\n"
            "ALTRE INFORMAZIONI:\r\nclasse terza\r\nNOME ESERCIZIO=Storia\r\nCOMPITO:\r\n"
            "Evidenzia le frasi importanti.\r\nDATA=") + proposed + QString::fromUtf8(
            "\r\nTIPO DI VISUALIZZAZIONE=tutto assieme\r\nTIPO DI FEEDBACK=nessun feedback\r\n"
            "PROFILO=passo 3 s; accettazione 0 s; primo passo 1 s; ignora ripetizioni 0 s; giri "
            "senza limite; scansione uditiva no; cornice grande no; carattere Times New Roman 16; "
            "sintesi no; tempo massimo 7 s\r\n[testo]\r\n~importante~\r\nFrase numero 1 della "
            "storia.\r\n~nonImportante~\r\nFrase numero 2 della storia.\r\n[storia]\r\n0|1| |10000\r\n"
            "1|0| |17000\r\n"));
        QCOMPARE(storedBlock(id), expected);
        QVERIFY(!storedBlock(QStringLiteral("PIA^") + proposed).contains("PROFILO="));
    }

    // A press counts once held 0.3 s; presses within 0.5 s of an accepted
    // one are ignored; after two rounds the frame stops, and the next press
    // starts it again on the first button without choosing anything.
    void pressesAndRounds()
    {
        PupilProfile profile;
        profile.scan.stepMs = 1000;
        profile.scan.acceptMs = 300;
        profile.scan.ignoreMs = 500;
        profile.scan.cycles = 2;
        Tesegui run(pupil(QStringLiteral("LIA"), profile), context);
        Modals modals;
        QVERIFY(open(run, modals, [this](QWidget* w) {
            press(w);
            clock->advance(400);                          // the introduction's OK, held
            release(w);
        }));
        TScansione* scan = run.scansione();
        QVERIFY(frameTo(scan, run.nonBot));
        const auto hold = [&](int ms) {
            press(&run);
            clock->advance(ms);
            release(&run);
        };
        hold(200);                                        // too short: nothing
        QCOMPARE(run.run.historyFirst.size(), 0);
        QCOMPARE(scan->currentButton(), run.nonBot);      // the frame waited meanwhile
        clock->advance(100);                              // the press is over
        QVERIFY(!scan->pressPending());
        press(&run);
        clock->advance(299);
        QCOMPARE(run.run.historyFirst.size(), 0);
        clock->advance(1);                                // held 0.3 s: chosen
        QCOMPARE(run.run.historySecond, QStringList{QStringLiteral("0")});
        clock->advance(100);
        release(&run);
        clock->advance(200);                              // 0.3 s after the choice
        hold(400);                                        // a repeat: ignored
        QCOMPARE(run.run.historySecond.size(), 1);
        QCOMPARE(scan->currentButton(), run.nonBot);
        hold(400);                                        // 0.7 s after: it counts
        QCOMPARE(run.run.historySecond, (QStringList{QStringLiteral("0"), QStringLiteral("0")}));

        // Two rounds of the six buttons from the last choice (0.3 s into the
        // press): 11 moves, then the frame stops at the twelfth step.
        clock->advance(11999 - 100);
        QVERIFY(!scan->waiting());
        clock->advance(1);
        QVERIFY(scan->waiting());
        QVERIFY(scan->markRect().isNull());
        const QAbstractButton* stoppedOn = scan->currentButton();
        clock->advance(30000);
        QVERIFY(scan->waiting());
        QCOMPARE(scan->currentButton(), stoppedOn);
        hold(400);                                        // starts the scan again
        QVERIFY(!scan->waiting());
        QCOMPARE(scan->currentButton(), run.suBut);
        QCOMPARE(run.run.historySecond.size(), 2);
        clock->advance(1000);
        QCOMPARE(scan->currentButton(), run.giuBut);

        run.unsaved = false;
        run.close();
        QVERIFY(modals.done());
    }

    // Auditory scanning with a large frame: each button's name is said as
    // the frame reaches it; with a step shorter than a name the frame waits
    // for it. With two serial switches, names are cut off by the next one.
    void auditoryScanning()
    {
        FakeSpeech speech(*clock);
        PupilProfile profile;
        profile.scan.stepMs = 500;
        profile.scan.auditory = true;
        profile.scan.largeFrame = true;
        {
            Tesegui run(pupil(QStringLiteral("EVA"), profile), context);
            Modals modals;
            QVERIFY(open(run, modals, [&profile](QWidget* w) {
                auto form = qobject_cast<TanimazioneForm*>(w);
                QVERIFY(form);
                QCOMPARE(form->scanning()->timing(), profile.scan);
                form->okBut->click();
            }));
            TScansione* scan = run.scansione();
            clock->advance(200);                          // the first name has been said
            speech.events.clear();
            const qint64 t0 = clock->now();
            scan->rebuildList();                          // "su" said at once
            clock->advance(500);                          // "giù"
            clock->advance(500);                          // "non importante", 0.84 s long
            QCOMPARE(scan->currentButton(), run.nonBot);
            clock->advance(t0 + 1899 - clock->now());
            QCOMPARE(scan->currentButton(), run.nonBot);  // the step waits for the name
            clock->advance(1);
            QCOMPARE(scan->currentButton(), run.impBot);
            QCOMPARE(speech.events,
                     (QStringList{QStringLiteral("say su"), QString::fromUtf8("say giù"),
                                  QStringLiteral("say non importante"), QStringLiteral("say importante")}));
            // Twice as thick a frame, inside its panel.
            QCOMPARE(scan->markRect(), run.impBot->geometry().adjusted(-12, -12, 12, 12));
            for (QAbstractButton* button : std::as_const(scan->buttons)) {
                const QRect frame = button->geometry().adjusted(-12, -12, 12, 12);
                QVERIFY(run.PanelScansione->rect().contains(frame));
                for (QAbstractButton* other : std::as_const(scan->buttons))
                    QVERIFY(other == button || !frame.intersects(other->geometry()));
            }
            run.unsaved = false;
            run.close();
        }

        TBottoneSeriale serial;
        FakeSwitchLines* lines = nullptr;
        serial.setPortFactory([&lines](const QString&) {
            auto made = std::make_unique<FakeSwitchLines>(0);
            lines = made.get();
            return std::unique_ptr<SerialLines>(std::move(made));
        });
        serial.openPort(1);
        const auto step = [&] {
            lines->dsr = true;
            serial.poll();
            lines->dsr = false;
            serial.poll();
            clock->advance(100);
        };
        RunSetup setup = pupil(QStringLiteral("EVA"), profile);
        setup.device = serialTwoSwitch;
        Tesegui run(setup, withSerial(&serial));
        Modals modals;
        QVERIFY(open(run, modals, [](QWidget* w) {
            qobject_cast<TanimazioneForm*>(w)->okBut->click();
        }));
        speech.events.clear();
        step();
        step();
        step();
        QCOMPARE(run.scansione()->currentButton(), run.impBot);
        QCOMPARE(speech.events,
                 (QStringList{QStringLiteral("cut su"), QString::fromUtf8("say giù"),
                              QString::fromUtf8("cut giù"), QStringLiteral("say non importante"),
                              QStringLiteral("cut non importante"), QStringLiteral("say importante")}));
        run.unsaved = false;
        run.close();
    }

    // A pupil without a profile, or with one that holds the defaults, runs
    // and stores a run exactly as before profiles: no "PROFILO=" line.
    void defaultsStoreTheRunAsBefore_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("no profile") << false;
        QTest::newRow("profile of defaults") << true;
    }
    void defaultsStoreTheRunAsBefore()
    {
        QFETCH(bool, withFile);
        const QString name = withFile ? QStringLiteral("UGO") : QStringLiteral("IVO");
        if (withFile)
            QVERIFY(savePupilProfile(dataRoot, name, PupilProfile()));
        TsceltaEs setUp(context);
        setUp.comboNomi->setEditText(name.toLower());
        setUp.memoInfo->setPlainText(QStringLiteral("classe terza"));
        setUp.proseguiBut->click();
        QVERIFY(setUp.pupilProfile().isDefault());
        Tesegui run(Tesegui::setupFrom(setUp), context);
        QVERIFY(run.run.profileLine.isEmpty());
        QCOMPARE(run.textFont().family(), QStringLiteral("Times New Roman"));
        QCOMPARE(run.textFont().pointSize(), 16);
        Modals modals;
        QVERIFY(open(run, modals, [](QWidget* w) { qobject_cast<TanimazioneForm*>(w)->okBut->click(); }));
        QTest::mouseClick(run.importanteBut, Qt::LeftButton);
        modals.then(QStringLiteral("judgement"), [](QWidget* w) {
            qobject_cast<TanimazioneForm*>(w)->okBut->click();
        });
        modals.then(QStringLiteral("name"), [](QWidget* w) {
            // Mouse and keyboard: the typed name question as always.
            QCOMPARE(w->windowTitle(), QStringLiteral("Vuoi salvare l'esercizio ?"));
            w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("prova"));
            w->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
        });
        QTest::mouseClick(run.fineBut, Qt::LeftButton);
        QVERIFY(closed(run, modals));
        const QByteArray expected = toCp1252(
            QStringLiteral("[identificatore=") + name + QStringLiteral("^PROVA]\r\n[informazioni]\r\nNOME=")
            + name + QStringLiteral("\r\nALTRE INFORMAZIONI:\r\nclasse terza\r\nNOME ESERCIZIO=Storia\r\n"
            "COMPITO:\r\nEvidenzia le frasi importanti.\r\nDATA=") + clock->dateTime().toString(dateFormat)
            + QStringLiteral("\r\nTIPO DI VISUALIZZAZIONE=tutto assieme\r\nTIPO DI FEEDBACK=nessun "
            "feedback\r\n[testo]\r\n~importante~\r\nFrase numero 1 della storia.\r\n~nonImportante~\r\n"
            "Frase numero 2 della storia.\r\n[storia]\r\n0|1| |0\r\n"));
        QCOMPARE(storedBlock(name + QStringLiteral("^PROVA")), expected);
    }
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
