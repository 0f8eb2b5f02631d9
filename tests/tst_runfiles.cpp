#include "model/Funzioni.h"
#include "model/ResultsFile.h"
#include "model/Uevidenz.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Exercises and runs written by the model and read back through the file helpers.
class TestRunFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exerciseRoundTripKeepsBytesAndLines();
    void emptyTaskIsAnEmptyLine();
    void allWindows1252BytesSurvive();
    void exerciseThatWouldNotReadBackIsRefused();
    void exerciseWriteFailureIsReported();
    void runBlockReadsBackAsWritten();
    void historyLinesAndEmptyHistory();
    void blankNotesAreDroppedTaskKeepsItsInnerBlankLine();
    void replacingARunAsksFirst();
    void runsThatWouldBreakTheFileAreRefused();
    void failedRemovalWritesNothing();
    void failedAppendIsReported();
    void bareLineEndsAreStoredAsCrLf();
    void writerAndReaderReadArchiveLinesAlike();

private:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QString resultsPath() const { return dir.filePath(QStringLiteral("risult.sal")); }
};

namespace {

QStringList L(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}

QByteArray crlfJoin(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += testsupport::toCp1252(line) + "\r\n";
    return out;
}

std::unique_ptr<Tevidenziatore> exerciseModel(const QStringList& text, const QString& task)
{
    Tparametri p;
    p.mode = fromExercise;
    p.source = text;
    p.compito = task;
    return std::make_unique<Tevidenziatore>(p);
}

TesercizioSvolto sampleRun()
{
    TesercizioSvolto run;
    run.pupilName = QStringLiteral("MARIO");
    run.pupilInfo = L({"terza B", "legge volentieri"});
    run.exerciseName = QStringLiteral("Il gatto e la volpe");
    run.runName = QStringLiteral("PRIMA");
    run.displayMode = sentenceBySentence;
    run.feedbackMode = midAndEnd;
    run.historyFirst = L({"0", "1", "-1"});
    run.historySecond = L({"1", "2", "0"});
    run.historyThird = L({"", "Torna indietro di 5 frasi", "1"});
    return run;
}

const QStringList exerciseText = L({"~importante~", "Il gatto dorme sul divano", "di casa.",
                                    "~nonImportante~", "Il cane abbaia.", "~moltoImportante~",
                                    "Perché è così?"});

} // namespace

void TestRunFiles::init()
{
    QVERIFY(dir.isValid());
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
}

void TestRunFiles::exerciseRoundTripKeepsBytesAndLines()
{
    ScriptedDialogs script;
    const QString task = QString::fromUtf8("Sottolinea le frasi importanti.\r\n\r\nPoi rileggi «tutto».");
    auto model = exerciseModel(exerciseText, task);
    QVERIFY(model->saveExercise(folder(), QStringLiteral("ILGATTOE.S01")));
    QVERIFY(script.messages().isEmpty());

    const QString path = dir.filePath(QStringLiteral("ILGATTOE.S01"));
    const QByteArray expected = crlfJoin(QStringList{QStringLiteral("[compito]"),
                                                     QStringLiteral("Sottolinea le frasi importanti."),
                                                     QString(), QString::fromUtf8("Poi rileggi «tutto»."),
                                                     QStringLiteral("[testo]")}
                                         + exerciseText);
    QCOMPARE(testsupport::readBytes(path), expected);
    QVERIFY(testsupport::readBytes(path).contains("\xab" "tutto" "\xbb"));

    QStringList text;
    QString readTask;
    QVERIFY(readExercise(path, text, readTask));
    QCOMPARE(text, exerciseText);
    QCOMPARE(readTask, task);
    auto again = exerciseModel(text, readTask);
    QCOMPARE(again->sentenceCount, 3);
    QCOMPARE(again->importanceOf(2), moltoImportante);

    // Saving again replaces the file whole.
    model->lines = L({"~nonImportante~", "Solo questo."});
    QVERIFY(model->saveExercise(dir.path(), QStringLiteral("ILGATTOE.S01")));   // no final "/"
    QVERIFY(readExercise(path, text, readTask));
    QCOMPARE(text, model->lines);
}

void TestRunFiles::emptyTaskIsAnEmptyLine()
{
    ScriptedDialogs script;
    auto model = exerciseModel(L({"~nonImportante~", "Una frase."}), QString());
    QVERIFY(model->saveExercise(folder(), QStringLiteral("VUOTO.S01")));
    const QString path = dir.filePath(QStringLiteral("VUOTO.S01"));
    QCOMPARE(testsupport::readBytes(path),
             QByteArray("[compito]\r\n\r\n[testo]\r\n~nonImportante~\r\nUna frase.\r\n"));
    QStringList text;
    QString task = QStringLiteral("x");
    QVERIFY(readExercise(path, text, task));
    QVERIFY(task.isEmpty());
    QCOMPARE(text, model->lines);
}

void TestRunFiles::allWindows1252BytesSurvive()
{
    ScriptedDialogs script;
    QByteArray high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high.append(char(b));
    const QString decoded = testsupport::fromCp1252(high);
    QCOMPARE(decoded.size(), 128);
    auto model = exerciseModel(QStringList{QStringLiteral("~importante~"), decoded}, decoded);
    QVERIFY(model->saveExercise(folder(), QStringLiteral("ALTI.S01")));
    const QByteArray bytes = testsupport::readBytes(dir.filePath(QStringLiteral("ALTI.S01")));
    QCOMPARE(bytes, QByteArray("[compito]\r\n") + high + "\r\n[testo]\r\n~importante~\r\n" + high + "\r\n");
    QStringList text;
    QString task;
    QVERIFY(readExercise(dir.filePath(QStringLiteral("ALTI.S01")), text, task));
    QCOMPARE(task, decoded);
    QCOMPARE(text.value(1), decoded);

    // The same characters in a run reach the results file as the same bytes.
    TesercizioSvolto run = sampleRun();
    run.pupilInfo = QStringList{decoded};
    QVERIFY(model->writeRun(dir.path(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(script.messages().isEmpty());
    const QByteArray results = testsupport::readBytes(resultsPath());
    QVERIFY(results.contains("ALTRE INFORMAZIONI:\r\n" + high + "\r\nNOME ESERCIZIO="));
    QStringList block;
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^PRIMA"), false,
              dir.path(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.value(3), trimSpaces(decoded));
}

void TestRunFiles::exerciseThatWouldNotReadBackIsRefused()
{
    const QString path = dir.filePath(QStringLiteral("RIFIUTO.S01"));
    QVERIFY(testsupport::writeBytes(path, "vecchio\r\n"));
    struct Case {
        QStringList text;
        QString task;
        QString inMessage;
    };
    const QList<Case> cases = {
        {exerciseText, QStringLiteral("Leggi.\r\n[testo]\r\naltro"), QStringLiteral("[testo]")},
        {exerciseText, QStringLiteral(" [ compito ] "), QStringLiteral("il compito")},
        {exerciseText, QStringLiteral("testo]"), QStringLiteral("sezione")},
        {exerciseText, QString::fromUtf8("Leggi ā"), QString::fromUtf8("«ā»")},
        {exerciseText, QString::fromUtf8("Leggi 😀"), QString::fromUtf8("«😀»")},
        {QStringList{QStringLiteral("~importante~"), QStringLiteral("[compito]")}, QString(),
         QStringLiteral("il testo")},
        {QStringList{QStringLiteral("~importante~"), QString::fromUtf8("Ω")}, QString(),
         QString::fromUtf8("«Ω»")},
        {QStringList{QStringLiteral("~importante~"), QStringLiteral("due\nrighe")}, QString(),
         QStringLiteral("ritorno a capo")},
    };
    for (const Case& c : cases) {
        ScriptedDialogs script;
        auto model = exerciseModel(c.text, c.task);
        QVERIFY(!model->saveExercise(folder(), QStringLiteral("RIFIUTO.S01")));
        QCOMPARE(script.messages().size(), 1);
        QVERIFY2(script.messages().at(0).startsWith(QString::fromUtf8("L'esercizio non è stato salvato")),
                 qPrintable(script.messages().at(0)));
        QVERIFY2(script.messages().at(0).contains(c.inMessage), qPrintable(script.messages().at(0)));
        QCOMPARE(testsupport::readBytes(path), QByteArray("vecchio\r\n"));
    }
    // A header with another word is an ordinary line and is written.
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("[nota] leggi"));
    QVERIFY(model->saveExercise(folder(), QStringLiteral("RIFIUTO.S01")));
}

void TestRunFiles::exerciseWriteFailureIsReported()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    QVERIFY(!model->saveExercise(dir.filePath(QStringLiteral("manca/")), QStringLiteral("X.S01")));
    QCOMPARE(script.messages().size(), 1);
    QVERIFY(script.messages().at(0).contains(QStringLiteral("X.S01")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("manca/X.S01"))));
    // A folder where the file should be: not written either.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Y.S01")));
    QVERIFY(!model->saveExercise(folder(), QStringLiteral("Y.S01")));
    QCOMPARE(script.messages().size(), 2);
}

void TestRunFiles::runBlockReadsBackAsWritten()
{
    ScriptedDialogs script;
    const QString task = QStringLiteral("Sottolinea le frasi importanti.");
    auto model = exerciseModel(exerciseText, task);
    model->hideAnswers();
    model->setImportance(0, moltoImportante);     // the pupil's answers
    model->setImportance(2, importante);
    const QStringList answers = model->lines;

    TesercizioSvolto run = sampleRun();
    run.pupilName = QStringLiteral(" MARIO ");        // spaces around the names do not count
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(script.messages().isEmpty());
    QCOMPARE(model->lines, answers);                  // the model keeps the pupil's answers

    const QStringList fileLines = splitLines(testsupport::fromCp1252(testsupport::readBytes(resultsPath())));
    QVERIFY(testsupport::readBytes(resultsPath()).endsWith("\r\n"));
    QCOMPARE(fileLines.size(), 24);
    const QStringList head = L({"[identificatore=MARIO^PRIMA]", "[informazioni]", "NOME=MARIO",
                                "ALTRE INFORMAZIONI:", "terza B", "legge volentieri",
                                "NOME ESERCIZIO=Il gatto e la volpe", "COMPITO:",
                                "Sottolinea le frasi importanti."});
    QCOMPARE(fileLines.mid(0, 9), head);
    QVERIFY2(QRegularExpression(QStringLiteral("^DATA=\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                 .match(fileLines.at(9)).hasMatch(),
             qPrintable(fileLines.at(9)));
    const QStringList tail = QStringList{QStringLiteral("TIPO DI VISUALIZZAZIONE=una frase per volta"),
                                         QString::fromUtf8("TIPO DI FEEDBACK=a metà e alla fine"),
                                         QStringLiteral("[testo]")}
                             + exerciseText   // the expected levels, not the answers
                             + L({"[storia]", "0|1|", "1|2|Torna indietro di 5 frasi", "-1|0|1"});
    QCOMPARE(fileLines.mid(10), tail);

    QStringList values;
    listValues(values, QStringLiteral("identificatore"), folder(), QStringLiteral("risult"),
               QStringLiteral("sal"));
    QCOMPARE(values, QStringList{QStringLiteral("MARIO^PRIMA")});
    QStringList block;
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^PRIMA"), true,
              folder(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.mid(0, 9), head);
    QCOMPARE(block.mid(10), tail);

    // A second pupil's run goes after it and both read back apart.
    auto other = exerciseModel(exerciseText, QString());
    TesercizioSvolto second = sampleRun();
    second.pupilName = QStringLiteral("ANNA");
    second.displayMode = wholeText;
    second.feedbackMode = everySentence;
    QVERIFY(other->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), second));
    listValues(values, QStringLiteral("identificatore"), folder(), QStringLiteral("risult"),
               QStringLiteral("sal"));
    QCOMPARE(values, L({"MARIO^PRIMA", "ANNA^PRIMA"}));
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("ANNA^PRIMA"), false,
              folder(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.value(6), QStringLiteral("COMPITO:"));                 // an empty task is not written
    QCOMPARE(block.value(8), QStringLiteral("TIPO DI VISUALIZZAZIONE=tutto assieme"));
    QCOMPARE(block.value(9), QStringLiteral("TIPO DI FEEDBACK=dopo ogni frase"));
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^PRIMA"), true,
              folder(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.size(), 24);
}

void TestRunFiles::historyLinesAndEmptyHistory()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    TesercizioSvolto run = sampleRun();
    run.historyFirst.clear();
    run.historySecond.clear();
    run.historyThird.clear();
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(testsupport::readBytes(resultsPath()).endsWith("Perch\xe9 \xe8 cos\xec?\r\n[storia]\r\n"));

    // Steps without a message end with "|"; a reset names its range.
    run.runName = QStringLiteral("SECONDA");
    run.historyFirst = L({"3", "-1", "4"});
    run.historySecond = L({"1", "0", "2"});
    run.historyThird = L({"", "4", "Sei andato bene nella prima parte"});
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(testsupport::readBytes(resultsPath())
                .endsWith("[storia]\r\n3|1|\r\n-1|0|4\r\n4|2|Sei andato bene nella prima parte\r\n"));

    // Lists of unequal length lose nothing: missing fields are empty.
    run.runName = QStringLiteral("TERZA");
    run.historyFirst = L({"0", "1"});
    run.historySecond = L({"2"});
    run.historyThird = QStringList();
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(testsupport::readBytes(resultsPath()).endsWith("[storia]\r\n0|2|\r\n1||\r\n"));
    QVERIFY(script.messages().isEmpty());
}

void TestRunFiles::blankNotesAreDroppedTaskKeepsItsInnerBlankLine()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Prima riga.\r\n\r\nTerza riga."));
    TesercizioSvolto run = sampleRun();
    run.pupilInfo = L({"uno", "", "   ", "due"});
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    const QByteArray bytes = testsupport::readBytes(resultsPath());
    QVERIFY(bytes.contains("ALTRE INFORMAZIONI:\r\nuno\r\ndue\r\nNOME ESERCIZIO="));
    QVERIFY(bytes.contains("COMPITO:\r\nPrima riga.\r\n\r\nTerza riga.\r\nDATA="));
}

void TestRunFiles::replacingARunAsksFirst()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    TesercizioSvolto run = sampleRun();
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    TesercizioSvolto other = sampleRun();
    other.pupilName = QStringLiteral("ANNA");
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), other));
    const QByteArray before = testsupport::readBytes(resultsPath());

    // No: nothing written, false.
    script.answer(NoAnswerButton);
    run.historyFirst = L({"2"});
    run.historySecond = L({"0"});
    run.historyThird = L({""});
    QVERIFY(!model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QCOMPARE(testsupport::readBytes(resultsPath()), before);
    const AskedDialog asked = script.last();
    QCOMPARE(asked.caption, QStringLiteral("Attenzione!"));
    QCOMPARE(asked.text, QString::fromUtf8("l'esercizio PRIMA svolto da MARIO esiste già: sostituirlo ?"));
    QCOMPARE(asked.buttons, YesButton | NoAnswerButton);
    QCOMPARE(asked.icon, DialogIcon::Warning);

    // Yes: the old block goes, the new one is at the end.
    script.answer(YesButton);
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QStringList values;
    listValues(values, QStringLiteral("identificatore"), folder(), QStringLiteral("risult"),
               QStringLiteral("sal"));
    QCOMPARE(values, L({"ANNA^PRIMA", "MARIO^PRIMA"}));
    QStringList block;
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^PRIMA"), false,
              folder(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.constLast(), QStringLiteral("2|0|"));
    QCOMPARE(block.count(QStringLiteral("[storia]")), 1);
    QCOMPARE(script.pendingAnswers(), 0);
    QCOMPARE(script.messages().size(), 2);
}

void TestRunFiles::runsThatWouldBreakTheFileAreRefused()
{
    {
        ScriptedDialogs script;
        auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
        QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), sampleRun()));
    }
    const QByteArray before = testsupport::readBytes(resultsPath());

    struct Case {
        const char* what;
        std::function<void(TesercizioSvolto&, Tevidenziatore&)> spoil;
        QString inMessage;
    };
    const QList<Case> cases = {
        {"caret in the pupil", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilName = QStringLiteral("MA^RIO"); },
         QStringLiteral("nome dell'alunno")},
        {"bracket in the pupil", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilName = QStringLiteral("MARIO]"); },
         QStringLiteral("«]»")},
        {"bracket in the run", [](TesercizioSvolto& r, Tevidenziatore&) { r.runName = QStringLiteral("[PROVA"); },
         QStringLiteral("nome della prova")},
        {"line break in the run", [](TesercizioSvolto& r, Tevidenziatore&) { r.runName = QStringLiteral("UNO\r\nDUE"); },
         QStringLiteral("ritorno a capo")},
        {"not windows-1252 in the pupil", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilName = QString::fromUtf8("ŁUKASZ"); },
         QString::fromUtf8("«Ł»")},
        {"identifier key in the notes", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilInfo << QStringLiteral(" identificatore = ANNA^X"); },
         QStringLiteral("altro risultato")},
        {"identifier header in the notes", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilInfo << QStringLiteral("[identificatore=ANNA^X]"); },
         QStringLiteral("altre informazioni")},
        {"section in the notes", [](TesercizioSvolto& r, Tevidenziatore&) { r.pupilInfo << QStringLiteral("vedi [ storia ] sotto"); },
         QStringLiteral("sezione")},
        {"section in the exercise name", [](TesercizioSvolto& r, Tevidenziatore&) { r.exerciseName = QStringLiteral("[testo]"); },
         QStringLiteral("nome dell'esercizio")},
        {"section in the task", [](TesercizioSvolto&, Tevidenziatore& m) { m.compito = QStringLiteral("Leggi.\r\n[informazioni]"); },
         QStringLiteral("il compito")},
        {"identifier in the task", [](TesercizioSvolto&, Tevidenziatore& m) { m.compito = QStringLiteral("uno\nidentificatore=x"); },
         QStringLiteral("il compito")},
        {"emoji in the task", [](TesercizioSvolto&, Tevidenziatore& m) { m.compito = QString::fromUtf8("Leggi 😀"); },
         QString::fromUtf8("«😀»")},
        {"not windows-1252 in the text", [](TesercizioSvolto&, Tevidenziatore& m) { m.lines[2] = QString::fromUtf8("di casa ✓"); },
         QStringLiteral("il testo")},
        {"section in the text", [](TesercizioSvolto&, Tevidenziatore& m) { m.lines[2] = QStringLiteral("[storia]"); },
         QStringLiteral("il testo")},
        {"pipe in a message", [](TesercizioSvolto& r, Tevidenziatore&) { r.historyThird[1] = QStringLiteral("a|b"); },
         QStringLiteral("storia")},
        {"line break in a message", [](TesercizioSvolto& r, Tevidenziatore&) { r.historyThird[1] = QStringLiteral("a\nb"); },
         QStringLiteral("storia")},
    };
    for (const Case& c : cases) {
        ScriptedDialogs script;     // a question would fail the test: none may be asked
        auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
        TesercizioSvolto run = sampleRun();
        run.runName = QStringLiteral("ALTRA");
        c.spoil(run, *model);
        QVERIFY2(!model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run), c.what);
        QCOMPARE(script.messages().size(), 1);
        const QString message = script.messages().at(0);
        QVERIFY2(message.startsWith(QString::fromUtf8("Il risultato non è stato salvato")), qPrintable(message));
        QVERIFY2(message.contains(c.inMessage), qPrintable(QString::fromUtf8(c.what) + QStringLiteral(": ") + message));
        QCOMPARE(testsupport::readBytes(resultsPath()), before);
    }

    // Keys and brackets that do not switch anything are written.
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Scrivi la [nota] e NOME=qualcosa"));
    TesercizioSvolto run = sampleRun();
    run.runName = QStringLiteral("ALTRA");
    run.pupilInfo = L({"identificatori: 3", "[classe] terza"});
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QStringList block;
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^ALTRA"), false,
              folder(), QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.mid(3, 2), run.pupilInfo);
}

void TestRunFiles::failedRemovalWritesNothing()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), sampleRun()));
    const QByteArray before = testsupport::readBytes(resultsPath());
    for (ReplaceFault fault : {ReplaceFault::WriteTemporary, ReplaceFault::KeepOld, ReplaceFault::ReplaceFile}) {
        script.clear();
        script.answer(YesButton);
        injectReplaceFaultForTests(fault);
        QVERIFY(!model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), sampleRun()));
        QCOMPARE(testsupport::readBytes(resultsPath()), before);
        QCOMPARE(script.messages().size(), 3);     // the question, the removal's error, ours
        QVERIFY(script.messages().at(2).startsWith(QString::fromUtf8("Il risultato non è stato salvato")));
    }
    injectReplaceFaultForTests(ReplaceFault::None);
}

void TestRunFiles::failedAppendIsReported()
{
    ScriptedDialogs script;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("risult.sal")));     // not a file
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    QVERIFY(!model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), sampleRun()));
    QVERIFY(!script.messages().isEmpty());
    QVERIFY(script.messages().constLast().contains(QStringLiteral("risult")));
}

// Qt's text editors hand their text over with "\n" line ends; the files keep
// CR LF all the same, and what is read back is what was meant.
void TestRunFiles::bareLineEndsAreStoredAsCrLf()
{
    ScriptedDialogs script;
    auto model = exerciseModel(exerciseText, QStringLiteral("Prima riga\nseconda\rterza\n\nquinta"));
    QVERIFY(model->saveExercise(folder(), QStringLiteral("RIGHE.S01")));
    const QString path = dir.filePath(QStringLiteral("RIGHE.S01"));
    const QByteArray bytes = testsupport::readBytes(path);
    QCOMPARE(bytes, crlfJoin(L({"[compito]", "Prima riga", "seconda", "terza", "", "quinta", "[testo]"})
                             + exerciseText));
    QStringList text;
    QString task;
    QVERIFY(readExercise(path, text, task));
    QCOMPARE(task, QStringLiteral("Prima riga\r\nseconda\r\nterza\r\n\r\nquinta"));
    QCOMPARE(text, exerciseText);

    TesercizioSvolto run = sampleRun();
    run.pupilInfo = L({"terza B\nlegge volentieri", "ultima"});
    QVERIFY(model->writeRun(folder(), QStringLiteral("risult"), QStringLiteral("sal"), run));
    QVERIFY(script.messages().isEmpty());
    const QByteArray stored = testsupport::readBytes(resultsPath());
    // Every CR is followed by LF and every LF follows a CR.
    QCOMPARE(stored.count('\r'), stored.count("\r\n"));
    QCOMPARE(stored.count('\n'), stored.count("\r\n"));
    QVERIFY(stored.contains("ALTRE INFORMAZIONI:\r\nterza B\r\nlegge volentieri\r\nultima\r\n"));
    QVERIFY(stored.contains("COMPITO:\r\nPrima riga\r\nseconda\r\nterza\r\n\r\nquinta\r\nDATA="));
    QStringList block;
    readBlock(block, QStringLiteral("identificatore"), QStringLiteral("MARIO^PRIMA"), false, folder(),
              QStringLiteral("risult"), QStringLiteral("sal"));
    QCOMPARE(block.mid(0, 10), L({"[informazioni]", "NOME=MARIO", "ALTRE INFORMAZIONI:", "terza B",
                                  "legge volentieri", "ultima", "NOME ESERCIZIO=Il gatto e la volpe",
                                  "COMPITO:", "Prima riga", "seconda"}));
}

// The run writer refuses exactly the lines that the archive's reader would
// take for a header or a section, whatever their spacing, and a run's
// identifier is split where it was joined.
void TestRunFiles::writerAndReaderReadArchiveLinesAlike()
{
    // Headers: the writer's check (isRunHeader) and the file reader
    // (listValues, on the file's bytes) agree line by line.
    const QStringList lines = L({"[identificatore=A^1]", "[ identificatore  =  B^2  ]",
                                 "  identificatore=C^3", "x[identificatore=D^4]", "=[identificatore=E^5]",
                                 "[identificatore]=F^6", "a]b[identificatore=G^7]", "[Identificatore=H^8]",
                                 "[identificatore=città^9", "[identificatore = ]"});
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += testsupport::toCp1252(line) + "\r\n";
    QVERIFY(testsupport::writeBytes(resultsPath(), bytes));
    QStringList headers;
    for (const QString& line : lines) {
        if (isRunHeader(line))
            headers << line;
    }
    QCOMPARE(headers, L({"[identificatore=A^1]", "[ identificatore  =  B^2  ]", "  identificatore=C^3",
                         "x[identificatore=D^4]", "[identificatore=città^9", "[identificatore = ]"}));
    QStringList values;
    {
        ScriptedDialogs script;
        listValues(values, resultsKey, folder(), resultsName, resultsExtension);
    }
    QCOMPARE(values, L({"A^1", "B^2", "", "D^4", "", ""}));

    // Sections: a line is refused in a run exactly when the reader would
    // switch section on it; the accepted ones come back as information lines.
    const QStringList refused = L({"[storia]", " [  testo ] ", "x [informazioni] y", "[storia]]"});
    const QStringList accepted = L({"] storia [", "a]b[storia]", "[Storia]", "[ storia", "[storia[x]"});
    for (const QString& line : refused + accepted)
        QCOMPARE(runSectionOf(line) != RunSection::None, refused.contains(line));
    QFile::remove(resultsPath());
    auto model = exerciseModel(exerciseText, QStringLiteral("Leggi."));
    for (const QString& line : refused) {
        ScriptedDialogs script;
        TesercizioSvolto run = sampleRun();
        run.pupilInfo = QStringList{line};
        QVERIFY2(!model->writeRun(folder(), resultsName, resultsExtension, run), qPrintable(line));
        QVERIFY(script.messages().value(0).contains(QStringLiteral("sezione")));
    }
    QVERIFY(!QFileInfo(resultsPath()).size());

    // Identifiers: names trimmed, split at the first "^"; the run's name may
    // hold "^", letter case is kept as given (the windows store upper case).
    QCOMPARE(RunIdentifier::storedName(QString::fromUtf8("  mario rossi é ")),
             QString::fromUtf8("MARIO ROSSI É"));
    ScriptedDialogs script;
    TesercizioSvolto run = sampleRun();
    run.pupilName = QStringLiteral(" Lucia ");
    run.runName = QStringLiteral(" a^B ");
    run.pupilInfo = accepted;
    QVERIFY(model->writeRun(folder(), resultsName, resultsExtension, run));
    QVERIFY(testsupport::readBytes(resultsPath()).startsWith("[identificatore=Lucia^a^B]\r\n"));
    const ResultsArchive archive(folder());
    const QList<RunIdentifier> ids = archive.runs();
    QCOMPARE(ids.size(), 1);
    QCOMPARE(ids.at(0), RunIdentifier(QStringLiteral("Lucia"), QStringLiteral("a^B")));
    QCOMPARE(ids.at(0).pupil(), QStringLiteral("Lucia"));
    QCOMPARE(ids.at(0).runName(), QStringLiteral("a^B"));
    QCOMPARE(RunIdentifier::fromStored(QStringLiteral(" SOLO ")).pupil(), QStringLiteral("SOLO"));
    QVERIFY(RunIdentifier::fromStored(QStringLiteral(" SOLO ")).runName().isEmpty());
    const StoredRun stored = splitRunSections(archive.readRun(ids.at(0)));
    QCOMPARE(stored.infoLines.mid(2, accepted.size()), accepted);
    QCOMPARE(stored.textLines, exerciseText);
    QCOMPARE(stored.historyThird, run.historyThird);
    QList<StoredBlock> all;
    QString error;
    QVERIFY(archive.readAll(all, error));
    QCOMPARE(all.size(), 1);
    QCOMPARE(all.at(0).id, ids.at(0));
    QCOMPARE(all.at(0).lines, archive.readRun(ids.at(0)));
    QVERIFY(archive.removeRun(ids.at(0)));
    QVERIFY(archive.runs().isEmpty());
    QVERIFY(script.messages().isEmpty());
}

QTEST_MAIN(TestRunFiles)
#include "tst_runfiles.moc"
