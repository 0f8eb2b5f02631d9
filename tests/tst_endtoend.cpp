// A teacher and a pupil at work, from the main window only: the teacher
// turns a sample text into an exercise, the pupil runs it, the teacher looks
// at the stored run, prints it and exports it.

#include "common/UQuery.h"
#include "authoring/Uedit.h"
#include "authoring/Uprepara.h"
#include "authoring/Useparat.h"
#include "execution/RadioGroup.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Uesegui.h"
#include "execution/Usceltae.h"
#include "model/Uevidenz.h"
#include "results/EsportaCsv.h"
#include "results/Urisult.h"
#include "results/Uscform.h"
#include "results/Usintesi.h"
#include "results/Ustampa.h"
#include "common/Utabella.h"
#include "shell/Umascher.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QLocale>
#include <QRegularExpression>
#include <QtTest>

using testsupport::fromCp1252;
using testsupport::readBytes;
using testsupport::whenModalShown;

namespace {

const QString exerciseName = QStringLiteral("Il gatto Briciola e il topolino Pepe nella vecchia cascina");
const QString runName = QStringLiteral("prima prova del gatto");

QList<ImportanceLevel> levelsOf(const Tevidenziatore& text)
{
    QList<ImportanceLevel> out;
    for (int i = 0; i < text.sentenceCount; ++i)
        out << text.importanceOf(i);
    return out;
}

QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Fields of one CSV line written with ';' and double quotes.
QStringList csvFields(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                field += line.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return fields << field;
}

// The pupil's side of the small windows of a run: set-up, introduction,
// exercise chooser, feedback and the run's name. Runs on its own timer, so
// that it answers the windows that open while the run window is being driven.
class Pupil : public QObject
{
public:
    Pupil()
    {
        connect(&timer, &QTimer::timeout, this, &Pupil::tick);
        timer.start(10);
    }

    QStringList feedback;   // the messages of the feedback windows, in order
    QStringList failures;
    QString nameTitle;

private:
    void tick()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("answered").toBool()
            || qobject_cast<Tesegui*>(modal))
            return;
        modal->setProperty("answered", true);
        if (auto setUp = qobject_cast<TsceltaEs*>(modal)) {
            setUp->comboNomi->setEditText(QStringLiteral("giulia"));
            setUp->memoInfo->setPlainText(QStringLiteral("classe quarta A"));
            setUp->RadioAccesso->item(accessMouseKeyboard)->click();
            setUp->proseguiBut->click();
        } else if (auto chooser = qobject_cast<TcaricaE*>(modal)) {
            const int index = chooser->ComboEsercizi->findText(exerciseName);
            if (index < 0)
                failures << QStringLiteral("the exercise is not offered");
            chooser->ComboEsercizi->setCurrentIndex(index);
            chooser->RadioVisualizzazione->item(sentenceBySentence)->click();
            chooser->Radiofeedback->item(midAndEnd)->click();
            chooser->okBut->click();
        } else if (auto form = qobject_cast<TanimazioneForm*>(modal)) {
            feedback << form->Memo1->toPlainText();
            // Every question is refused: the pupil goes on.
            (form->okBut->isVisible() ? form->okBut : form->noBut)->click();
        } else if (auto query = qobject_cast<TFormQuery*>(modal)) {
            nameTitle = query->windowTitle();
            query->Edit1->setText(runName);
            query->ButtonOK->click();
        } else {
            failures << QStringLiteral("unexpected window ") + modal->objectName();
            modal->close();
        }
    }

    QTimer timer;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void teacherPreparesPupilRunsTeacherReviews();
};

void TestEndToEnd::teacherPreparesPupilRunsTeacherReviews()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    AppContext context;
    context.programFolder = QStringLiteral(SALIENTA_ASSETS_DIR "/");
    // The data root is seeded from the program folder's samples, as at start-up.
    QVERIFY(prepareDataRoot(context.programFolder, false, home.path(), context.dataRoot));
    const QString exercises = context.dataRoot + QStringLiteral("esercizi/");
    const QByteArray namesBefore = readBytes(exercises + QStringLiteral("LONGNAME.LST"));
    QVERIFY(namesBefore.contains("ILGATTOE.S01=Il gatto e il topolino\r\n"));

    ScriptedDialogs script;
    FakeClock clock(50);
    Tmaschera window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // 1. The teacher converts "gatto.txt", marks four sentences by keys,
    // writes the task and saves the exercise under a long new name.
    const QList<ImportanceLevel> assigned{nonImportante, importante, moltoImportante, nonImportante,
                                          nonImportante, nonImportante, importante, nonImportante,
                                          nonImportante, moltoImportante, nonImportante, nonImportante,
                                          nonImportante, nonImportante};
    bool prepared = false;
    whenModalShown([&](QWidget* modal) {
        auto prepara = qobject_cast<Tprepara*>(modal);
        QVERIFY(prepara);
        script.answerFile(context.dataRoot + QStringLiteral("testi/gatto.txt"));
        whenModalShown([](QWidget* separator) {
            auto form = qobject_cast<TsepaForm*>(separator);
            QVERIFY(form);
            QTest::mouseClick(form->OKBtn, Qt::LeftButton);
        });
        prepara->Aprifileditesto1->trigger();
        QVERIFY(prepara->textLoaded);
        Tevidenziatore* model = prepara->textModel();
        QCOMPARE(model->sentenceCount, 14);

        QApplication::setActiveWindow(prepara);
        prepara->nonImportanteBut->setFocus();
        auto press = [](Qt::Key key, int times = 1) {
            for (int i = 0; i < times; ++i)
                QTest::keyClick(QApplication::focusWidget(), key);
        };
        press(Qt::Key_Down);
        press(Qt::Key_Right);      // importante
        press(Qt::Key_Space);
        press(Qt::Key_Down);
        press(Qt::Key_Right);      // molto importante
        press(Qt::Key_Space);
        press(Qt::Key_Down, 4);
        press(Qt::Key_Left);       // importante
        press(Qt::Key_Space);
        press(Qt::Key_Down, 3);
        press(Qt::Key_Right);      // molto importante
        press(Qt::Key_Space);
        QCOMPARE(levelsOf(*model), assigned);

        QTest::mouseClick(prepara->suggBut, Qt::LeftButton);
        QTest::keyClicks(prepara->Memo1, QStringLiteral("Colora le frasi importanti."));
        QTest::keyClick(prepara->Memo1, Qt::Key_Escape);

        whenModalShown([](QWidget* query) {
            auto form = qobject_cast<TFormQuery*>(query);
            QVERIFY(form);
            form->Edit1->setText(exerciseName);
            QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
        });
        prepara->Salva1->trigger();
        QVERIFY(!prepara->modified);
        QCOMPARE(prepara->exerciseName, exerciseName);
        prepared = true;
        prepara->Esci1->trigger();
    });
    QTest::mouseClick(window.preparazioneBut, Qt::LeftButton);
    QVERIFY(prepared);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY2(script.messages().isEmpty(), qPrintable(script.messages().join(QLatin1Char('|'))));

    // The new entry is added to the name table; its file holds the task and the levels.
    const QByteArray names = readBytes(exercises + QStringLiteral("LONGNAME.LST"));
    QVERIFY(names.startsWith(namesBefore));
    const QList<QByteArray> added = names.mid(namesBefore.size()).split('\n');
    QCOMPARE(added.size(), 2);
    QVERIFY(added.first().endsWith("=" + exerciseName.toLatin1() + "\r"));
    const QString file = QString::fromLatin1(added.first().left(added.first().indexOf('=')));
    QVERIFY(file.endsWith(QStringLiteral(".S01")) || file.endsWith(QStringLiteral(".S02")));
    const QByteArray stored = readBytes(exercises + file);
    QVERIFY2(stored.startsWith("[compito]\r\nColora le frasi importanti.\r\n[testo]\r\n"
                               "~nonImportante~\r\nIn una vecchia cascina"),
             stored.left(120).constData());
    QVERIFY(stored.contains("~moltoImportante~\r\nNella stessa cascina"));
    QVERIFY(stored.contains("~importante~\r\nProprio in quel momento Briciola apr\xEC un occhio"));
    QVERIFY(stored.contains("~moltoImportante~\r\nBriciola corse dietro di lui"));
    QCOMPARE(stored.count("~importante~\r\n"), 2);
    QCOMPARE(stored.count("~moltoImportante~\r\n"), 2);
    QCOMPARE(stored.count("~nonImportante~\r\n"), 10);

    // 2. The pupil: F10, set-up, the exercise one sentence at a time with
    // feedback in the middle and at the end. Two answers are wrong: sentence 1
    // in the first part and sentence 12 in the second.
    QList<ImportanceLevel> given = assigned;
    given[1] = nonImportante;
    given[12] = importante;
    {
        Pupil pupil;
        QStringList runFailures;
        QTimer driver;
        connect(&driver, &QTimer::timeout, &driver, [&]() {
            auto run = qobject_cast<Tesegui*>(QApplication::activeModalWidget());
            if (!run || !run->exerciseLoaded)
                return;
            driver.stop();
            QApplication::setActiveWindow(run);
            for (int i = 0; i < given.size() && run->isVisible(); ++i) {
                if (run->shownSentence != i)
                    runFailures << QStringLiteral("sentence %1 shown instead of %2").arg(run->shownSentence).arg(i);
                QPushButton* button = given.at(i) == nonImportante ? run->nonImportanteBut
                                      : given.at(i) == importante  ? run->importanteBut
                                                                   : run->moltoImportanteBut;
                if (i < given.size() - 1) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    continue;
                }
                // The last answer by keys: from "importante", clicked last, to
                // "non importante", and the space bar.
                QTest::keyClick(run->focusWidget(), Qt::Key_Left);
                if (run->focusWidget() != button)
                    runFailures << QStringLiteral("Left does not reach the answer button");
                QTest::keyClick(run->focusWidget(), Qt::Key_Space);
            }
        });
        driver.start(10);
        QTest::keyClick(&window, Qt::Key_F10);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(runFailures, QStringList());
        QCOMPARE(pupil.failures, QStringList());
        QCOMPARE(pupil.feedback,
                 (QStringList{QString::fromUtf8("L'esercizio consiste nell'evidenziare le frasi piu' importanti "
                                                "scegliendo il comando rosso o celeste. Se vuoi correggere, usa "
                                                "il comando bianco"),
                              QString::fromUtf8("Stai andando bene, continua così !"),
                              QString::fromUtf8("L'esercizio è finito. Sei andato bene, bravo !")}));
        QCOMPARE(pupil.nameTitle, QStringLiteral("Vuoi salvare l'esercizio ?"));
    }

    const QString archive = fromCp1252(readBytes(context.dataRoot + QStringLiteral("risult/risult.sal")));
    const QString id = QStringLiteral("[identificatore=GIULIA^PRIMA PROVA DEL GATTO]\r\n");
    QVERIFY2(archive.startsWith(id), qPrintable(archive.left(200)));
    QVERIFY(archive.contains(QStringLiteral("\r\nNOME=GIULIA\r\nALTRE INFORMAZIONI:\r\nclasse quarta A\r\n")));
    QVERIFY(archive.contains(QStringLiteral("\r\nNOME ESERCIZIO=") + exerciseName + QStringLiteral("\r\n")));
    QVERIFY(archive.contains(QStringLiteral("\r\nTIPO DI VISUALIZZAZIONE=una frase per volta\r\n")));
    QVERIFY(archive.contains(QString::fromUtf8("\r\nTIPO DI FEEDBACK=a metà e alla fine\r\n")));
    // The last two answers, each with its time on the test's clock.
    QVERIFY2(QRegularExpression(QStringLiteral("\r\n12\\|1\\| \\|\\d+\r\n13\\|0\\| \\|\\d+\r\n$"))
                 .match(archive).hasMatch(),
             qPrintable(archive.right(60)));

    // 3. The teacher: F9, the pupil's run, both texts, the history, the
    // summary, the printout of the done text and the export.
    const QString pdf = home.filePath(QStringLiteral("svolto.pdf"));
    const QString csv = home.filePath(QStringLiteral("classe"));
    bool reviewed = false;
    whenModalShown([&](QWidget* modal) {
        auto results = qobject_cast<Trisultati*>(modal);
        QVERIFY(results);
        whenModalShown([](QWidget* chooserWindow) {
            auto chooser = qobject_cast<TscegliRisultatiForm*>(chooserWindow);
            QVERIFY(chooser);
            chooser->ComboBox1->setCurrentIndex(chooser->ComboBox1->findText(QStringLiteral("GIULIA")));
            const QList<QListWidgetItem*> items =
                chooser->ListBox1->findItems(QStringLiteral("PRIMA PROVA DEL GATTO"), Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            QTest::mouseClick(chooser->ListBox1->viewport(), Qt::LeftButton, {},
                              chooser->ListBox1->visualItemRect(items.first()).center());
            QTest::mouseClick(chooser->OKBtn, Qt::LeftButton);
        });
        results->Aprieserciziosvolto1->trigger();
        QVERIFY(results->runLoaded());
        QCOMPARE(levelsOf(*results->assignedTextModel()), assigned);
        QCOMPARE(levelsOf(*results->doneTextModel()), given);
        QVERIFY(results->Memo2->toPlainText().contains(QStringLiteral("NOME ESERCIZIO=") + exerciseName));

        // 14 answers and "finale"; "-" seven times shows the state after the
        // seventh answer, with the feedback of the middle.
        QCOMPARE(results->ComboPassi->count(), 15);
        QCOMPARE(results->ComboPassi->currentText(), QStringLiteral("finale"));
        for (int i = 0; i < 8; ++i)
            QTest::mouseClick(results->Buttonmeno, Qt::LeftButton);
        QCOMPARE(results->ComboPassi->currentText(), QStringLiteral("7"));
        QList<ImportanceLevel> middle = given;
        for (int i = 7; i < middle.size(); ++i)
            middle[i] = nonImportante;
        QCOMPARE(levelsOf(*results->doneTextModel()), middle);
        QCOMPARE(results->doneTextModel()->currentSentence, 6);
        QCOMPARE(results->Memo1->toPlainText(), QStringLiteral("Sei andato bene nella prima parte"));
        for (int i = 0; i < 8; ++i)
            QTest::mouseClick(results->Buttonpiu, Qt::LeftButton);
        QCOMPARE(results->ComboPassi->currentText(), QStringLiteral("finale"));
        QCOMPARE(levelsOf(*results->doneTextModel()), given);

        // Expected / given: 10 right "non", 1 "importante" given as "non", 1
        // right "importante", 2 right "molto", 1 "non" given as "importante".
        whenModalShown([](QWidget* summary) {
            auto form = qobject_cast<TsintesiForm*>(summary);
            QVERIFY(form);
            QCOMPARE(form->paintSintesi->table->counts().values,
                     (std::array<int, 9>{9, 1, 0, 1, 1, 0, 0, 0, 2}));
            QTest::mouseClick(form->CancelBtn, Qt::LeftButton);
        });
        QTest::mouseClick(results->sintesiBut, Qt::LeftButton);

        script.answerPrinter([pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        });
        whenModalShown([](QWidget* print) {
            auto dialog = qobject_cast<TStampaDlg*>(print);
            QVERIFY(dialog);
            dialog->esercizioSvoltoRadio->setChecked(true);
            QTest::mouseClick(dialog->stampaBut, Qt::LeftButton);
            QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
        });
        QTest::mouseClick(results->stampaBut, Qt::LeftButton);

        script.answerFile(csv);
        whenModalShown([](QWidget* exportWindow) {
            auto form = qobject_cast<TesportaForm*>(exportWindow);
            QVERIFY(form);
            form->ComboAlunni->setCurrentIndex(form->ComboAlunni->findText(QStringLiteral("GIULIA")));
            QTest::mouseClick(form->OKBtn, Qt::LeftButton);
        });
        results->Esportacsv1->trigger();
        reviewed = true;
        QTest::keyClick(results, Qt::Key_Escape);
    });
    QTest::keyClick(&window, Qt::Key_F9);
    QVERIFY(reviewed);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(script.messages().size(), 2);
    QCOMPARE(script.messages().at(0), QStringLiteral("Stampa effettuata"));
    QVERIFY2(script.messages().at(1).startsWith(QStringLiteral("Esportazione effettuata: 1 esercizi svolti")),
             qPrintable(script.messages().at(1)));

    const QString printed = pdfText(pdf);
    QVERIFY2(printed.contains(QStringLiteral("NOME=GIULIA")), qPrintable(printed));
    QVERIFY(printed.contains(QStringLiteral("classe quarta A")));
    QVERIFY(printed.contains(QStringLiteral("[ESERCIZIO]")));
    QVERIFY(printed.contains(QStringLiteral("In una vecchia cascina")));
    QVERIFY(printed.contains(QStringLiteral("movimento")));

    const QStringList lines = QString::fromUtf8(readBytes(csv + QStringLiteral(".csv"))).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(2).isEmpty());
    const QStringList row = csvFields(lines.at(1));
    QCOMPARE(row.size(), 19);
    QCOMPARE(row.mid(0, 3), (QStringList{QStringLiteral("GIULIA"), exerciseName,
                                         QStringLiteral("PRIMA PROVA DEL GATTO")}));
    QCOMPARE(row.at(4), QStringLiteral("una frase per volta"));
    QCOMPARE(row.at(5), QString::fromUtf8("a metà e alla fine"));
    QCOMPARE(row.mid(6, 9), (QStringList{"9", "1", "0", "1", "1", "0", "0", "0", "2"}));
    // Two answers one level off over fourteen sentences, judged as the pupil was told.
    QCOMPARE(row.at(15), QStringLiteral("0,143"));
    QCOMPARE(row.at(16), QStringLiteral("bene"));
    QCOMPARE(row.at(17), QString());     // a pupil without a profile
    bool timed = false;
    const double total = QLocale(QLocale::Italian).toDouble(row.at(18), &timed);
    QVERIFY2(timed && total > 0, qPrintable(row.at(18)));     // the total time of the answers, in seconds
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
