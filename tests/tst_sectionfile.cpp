#include "model/Funzioni.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

const QString key = QStringLiteral("identificatore");
const QString name = QStringLiteral("risult");
const QString ext = QStringLiteral("sal");

// Three runs: MARIO^UNO (spaces around key and value), ANNA^DUE and MARIO^UNO
// again further down, with lines before the first header.
const QByteArray archive =
    "riga prima\r\n"
    "[identificatore = MARIO^UNO ]\r\n"
    "[informazioni]\r\n"
    "NOME=MARIO\r\n"
    "   \r\n"
    "  rientrato  \r\n"
    "[identificatore=ANNA^DUE]\r\n"
    "NOME=ANNA\r\n"
    "[storia]\r\n"
    "3|1|\r\n"
    "[identificatore=MARIO^UNO]\r\n"
    "seconda parte\r\n";

} // namespace

class TestSectionFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keysAndValuesOfLines();
    void readBlockFindsBlocksByKey();
    void readBlockAndListValuesCreateMissingFile();
    void readErrorsAreReported();
    void listValuesInFileOrder();
    void appendDropsBlankLinesAndKeepsTheRest();
    void appendEndsAnUnfinishedLastLine();
    void appendErrorsWriteNothing();
    void fullDiskAndOddFilesAreReported();
    void removeBlockRewritesTheFile();
    void removeBlockOfMissingValue();
    void removeBlockFailuresLeaveTheFileAlone();
    void charactersOutsideCp1252NeverMatch();
    void pathsOfFolderNameAndExtension();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString folder() const { return dir->path(); }
    QString file() const { return QDir(dir->path()).filePath("risult.sal"); }
    QString path(const QString& n) const { return QDir(dir->path()).filePath(n); }
};

void TestSectionFile::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestSectionFile::keysAndValuesOfLines()
{
    struct Case {
        const char* line;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"[identificatore = MARIO^UNO ]", "identificatore", "MARIO^UNO"},
        {"NOME=MARIO", "NOME", ""},              // no "]": empty value
        {"NOME=MARIO]", "NOME", "MARIO"},
        {"[testo]", "", ""},                     // no "="
        {"a=b[c=d]", "", ""},                    // "=" before "["
        {"x]y[k=v]", "", ""},                    // "]" before "["
        {"[k]=v", "k]", ""},                     // "]" before "=": empty value
        {"[ k = v = w ]", "k", "v = w"},
        {"  =  ", "", ""},
        {"[\tk\t= v]", "\tk\t", "v"},            // only spaces are trimmed
    };
    for (const Case& c : cases) {
        QString k;
        QString v;
        lineKeyValue(QString::fromLatin1(c.line), k, v);
        QCOMPARE(k, QString::fromLatin1(c.key));
        QCOMPARE(v, QString::fromLatin1(c.value));
    }
}

void TestSectionFile::readBlockFindsBlocksByKey()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), archive));
    QStringList out;
    readBlock(out, key, "MARIO^UNO", true, folder(), name, ext);
    // Both places of the value, in file order; lines trimmed, blank ones dropped;
    // "NOME=MARIO" has another key and does not end the block.
    QCOMPARE(out, (QStringList{"[identificatore = MARIO^UNO ]", "[informazioni]", "NOME=MARIO",
                               "rientrato", "[identificatore=MARIO^UNO]", "seconda parte"}));
    readBlock(out, key, "MARIO^UNO", false, folder(), name, ext);
    QCOMPARE(out.first(), QStringLiteral("[informazioni]"));
    QCOMPARE(out.size(), 5);    // only the first header goes

    readBlock(out, key, "ANNA^DUE", false, folder(), name, ext);
    QCOMPARE(out, (QStringList{"NOME=ANNA", "[storia]", "3|1|"}));
    readBlock(out, key, "anna^due", false, folder(), name, ext);    // case-sensitive
    QVERIFY(out.isEmpty());
    readBlock(out, "Identificatore", "ANNA^DUE", false, folder(), name, ext);
    QVERIFY(out.isEmpty());
    QVERIFY(script.messages().isEmpty());

    // LF and lone CR line ends read the same; windows-1252 letters come back.
    QVERIFY(writeBytes(file(), "[identificatore=NICOL\xd2^PI\xd9]\nperch\xe9\rfine\r\n"));
    readBlock(out, key, QStringLiteral("NICOLÒ^PIÙ"), false, folder(), name, ext);
    QCOMPARE(out, (QStringList{QStringLiteral("perché"), "fine"}));
}

void TestSectionFile::readBlockAndListValuesCreateMissingFile()
{
    ScriptedDialogs script;
    QStringList out{"vecchio"};
    readBlock(out, key, "X", false, folder() + "/", name, ext);
    QVERIFY(out.isEmpty());
    QVERIFY(QFileInfo(file()).isFile());
    QCOMPARE(QFileInfo(file()).size(), 0);
    QVERIFY(QFile::remove(file()));
    out = QStringList{"vecchio"};
    listValues(out, key, folder(), name, ext);
    QVERIFY(out.isEmpty());
    QVERIFY(QFileInfo(file()).isFile());
    QVERIFY(script.messages().isEmpty());
}

void TestSectionFile::readErrorsAreReported()
{
    ScriptedDialogs script;
    QVERIFY(QDir(folder()).mkdir("risult.sal"));    // a folder where the file should be
    QStringList out{"vecchio"};
    readBlock(out, key, "X", true, folder(), name, ext);
    QVERIFY(out.isEmpty());
    listValues(out, key, folder(), name, ext);
    QVERIFY(out.isEmpty());
    // A folder that does not exist: the file cannot be created nor read.
    readBlock(out, key, "X", true, path("manca"), name, ext);
    QCOMPARE(script.messages(),
             QStringList(3, QStringLiteral("Errore di lettura del file risult")));
}

void TestSectionFile::listValuesInFileOrder()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), archive + "NOME=X]\r\n[identificatore=]\r\n"));
    QStringList out;
    listValues(out, key, folder(), name, ext);
    QCOMPARE(out, (QStringList{"MARIO^UNO", "ANNA^DUE", "MARIO^UNO", ""}));
    listValues(out, "NOME", folder(), name, ext);
    QCOMPARE(out, (QStringList{"", "", "X"}));
}

void TestSectionFile::appendDropsBlankLinesAndKeepsTheRest()
{
    ScriptedDialogs script;
    QVERIFY(appendLines({"A", "   ", "", "B"}, folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("A\r\nB\r\n"));
    QVERIFY(appendLines({"  C con spazi ", QStringLiteral("città")}, folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("A\r\nB\r\n  C con spazi \r\ncitt\xe0\r\n"));
    const QByteArray before = readBytes(file());
    QVERIFY(appendLines({"", "  "}, folder(), name, ext));
    QCOMPARE(readBytes(file()), before);
    // A task with its CR LF pairs is one item, written whole.
    QVERIFY(appendLines({"uno\r\n\r\ndue"}, folder(), name, ext));
    QVERIFY(readBytes(file()).endsWith("uno\r\n\r\ndue\r\n"));
    QVERIFY(script.messages().isEmpty());
}

void TestSectionFile::appendEndsAnUnfinishedLastLine()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), "[identificatore=A^B]\r\nultima"));
    QVERIFY(appendLines({"[identificatore=C^D]", "x"}, folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=A^B]\r\nultima\r\n"
                                           "[identificatore=C^D]\r\nx\r\n"));
    QStringList values;
    listValues(values, key, folder(), name, ext);
    QCOMPARE(values, (QStringList{"A^B", "C^D"}));
}

void TestSectionFile::appendErrorsWriteNothing()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), "A\r\n"));
    QVERIFY(!appendLines({"B", QStringLiteral("Ωmega")}, folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("A\r\n"));
    QCOMPARE(script.messages().size(), 1);
    QVERIFY(script.messages().first().contains("risult"));

    QVERIFY(QFile::remove(file()));
    QVERIFY(QDir(folder()).mkdir("risult.sal"));
    QVERIFY(!appendLines({"B"}, folder(), name, ext));
    QVERIFY(!appendLines({"B"}, path("manca"), name, ext));
    QCOMPARE(script.messages().mid(1),
             QStringList(2, QStringLiteral("Errore nell'apertura del file risult")));
}

void TestSectionFile::fullDiskAndOddFilesAreReported()
{
    ScriptedDialogs script;
    // A full disk: the file is a link to /dev/full, where every write fails.
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        QSKIP("no /dev/full on this system");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), file()));
    QVERIFY(!appendLines({"A"}, folder(), name, ext));
    QCOMPARE(script.messages(), QStringList{"Errore nella scrittura del file risult"});
    QVERIFY(QFile::remove(file()));
    script.clear();

    // A pipe in place of the file is never read (it would block).
    QCOMPARE(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
    QStringList out;
    readBlock(out, key, "A", true, folder(), name, ext);
    QVERIFY(out.isEmpty());
    QVERIFY(!removeBlock(key, "A", folder(), name, ext));
    QStringList lines;
    QVERIFY(!loadText(lines, file()));
    QString task;
    QVERIFY(!readExercise(file(), lines, task));
    QCOMPARE(script.messages(), (QStringList{"Errore di lettura del file risult",
                                             "Errore nelle operazioni sui file"}));
}

void TestSectionFile::removeBlockRewritesTheFile()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), archive));
    QVERIFY(removeBlock(key, "MARIO^UNO", folder(), name, ext));
    // Both parts of the block go, and so do the lines before the first header.
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=ANNA^DUE]\r\nNOME=ANNA\r\n"
                                           "[storia]\r\n3|1|\r\n"));
    QVERIFY(removeBlock(key, "ANNA^DUE", folder() + "/", name, ext));
    QCOMPARE(readBytes(file()), QByteArray());
    QVERIFY(script.messages().isEmpty());
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{"risult.sal"});

    // Lone LF lines are written back with CR LF; other bytes unchanged.
    QVERIFY(writeBytes(file(), "[identificatore=A]\nx\xff\n[identificatore=B]\ny  \n"));
    QVERIFY(removeBlock(key, "A", folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=B]\r\ny  \r\n"));

    // A file ending in a lone CR, or with a last line without its end.
    QVERIFY(writeBytes(file(), "[identificatore=A]\r\nx\r\n[identificatore=B]\r\ny\r"));
    QVERIFY(removeBlock(key, "A", folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=B]\r\ny\r\n"));
    QVERIFY(writeBytes(file(), "[identificatore=B]\r\n\r\r\n  z"));
    QVERIFY(removeBlock(key, "A", folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=B]\r\n\r\n\r\n  z\r\n"));
}

void TestSectionFile::removeBlockOfMissingValue()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), archive));
    QVERIFY(removeBlock(key, "NESSUNO^MAI", folder(), name, ext));
    QCOMPARE(readBytes(file()), archive.mid(archive.indexOf('\n') + 1));
    QVERIFY(script.messages().isEmpty());
}

void TestSectionFile::removeBlockFailuresLeaveTheFileAlone()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), archive));
    // The temporary names of this process.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString newName = "risult.sal.xprtwqsz-" + pid + ".tch";
    const QString oldName = "risult.sal.pqwxzswt-" + pid + ".xxx";
    const auto unchanged = [&] {
        return readBytes(file()) == archive && !QFileInfo::exists(path(newName));
    };

    // 1. The file cannot be read, or the new content cannot be written.
    QVERIFY(!removeBlock(key, "ANNA^DUE", path("manca"), name, ext));
    QVERIFY(QDir(folder()).mkdir(newName));
    QVERIFY(!removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(readBytes(file()) == archive);
    QVERIFY(QDir(folder()).rmdir(newName));
    injectReplaceFaultForTests(ReplaceFault::WriteTemporary);    // as on a full disk
    QVERIFY(!removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(unchanged());
    QCOMPARE(script.messages(),
             QStringList(3, QStringLiteral("Errore nelle operazioni sui file")));
    script.clear();

    // 2. The old content cannot be kept aside: a folder in the way.
    QVERIFY(QDir(folder()).mkpath(oldName + "/sub"));
    QVERIFY(!removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(unchanged());
    QVERIFY(QDir(folder()).rmpath(oldName + "/sub"));
    injectReplaceFaultForTests(ReplaceFault::KeepOld);
    QVERIFY(!removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(unchanged());
    QCOMPARE(script.messages(),
             QStringList(2, QStringLiteral("Errore! operazione non terminata")));
    script.clear();

    // 3. The new content cannot take the file's place: the old content is in
    //    the file and under its second name.
    injectReplaceFaultForTests(ReplaceFault::ReplaceFile);
    QVERIFY(!removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(unchanged());
    QCOMPARE(readBytes(path(oldName)), archive);
    QCOMPARE(script.messages(), QStringList{"Errore! Si veda il file " + oldName});
    script.clear();

    // Leftovers of this file (of this process or of one that died) do not
    // stop the next removal, which succeeds and clears them away.
    QVERIFY(writeBytes(path("risult.sal.xprtwqsz-999999.tch"), "mezzo"));
    QVERIFY(writeBytes(path("risult.sal.pqwxzswt-999999.xxx"), archive));
    QVERIFY(removeBlock(key, "ANNA^DUE", folder(), name, ext));
    QVERIFY(script.messages().isEmpty());
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{"risult.sal"});
    QStringList values;
    listValues(values, key, folder(), name, ext);
    QCOMPARE(values, (QStringList{"MARIO^UNO", "MARIO^UNO"}));

    // The fixed names of older versions are no longer used: a "pqwxzswt.xxx"
    // may be the one copy of an older archive, and stays as it is.
    const QByteArray older = "[identificatore=VECCHIO^UNO]\r\nNOME=VECCHIO\r\n";
    QVERIFY(writeBytes(path("pqwxzswt.xxx"), older));
    QVERIFY(removeBlock(key, "MARIO^UNO", folder(), name, ext));
    QVERIFY(script.messages().isEmpty());
    QCOMPARE(readBytes(path("pqwxzswt.xxx")), older);
}

void TestSectionFile::charactersOutsideCp1252NeverMatch()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(file(), "[identificatore=?]\r\nx\r\n"));
    QStringList out;
    readBlock(out, key, QStringLiteral("Ω"), true, folder(), name, ext);
    QVERIFY(out.isEmpty());
    QVERIFY(removeBlock(key, QStringLiteral("Ω"), folder(), name, ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=?]\r\nx\r\n"));
}

// folder + name + "." + extension, with a "/" between folder and name only
// when the folder does not end with one and the name does not begin with one:
// a name beginning with "/" stays inside the folder.
void TestSectionFile::pathsOfFolderNameAndExtension()
{
    QCOMPARE(sectionFilePath("/dati/risult", "risult", "sal"), QStringLiteral("/dati/risult/risult.sal"));
    QCOMPARE(sectionFilePath("/dati/risult/", "risult", "sal"), QStringLiteral("/dati/risult/risult.sal"));
    QCOMPARE(sectionFilePath("/dati/risult", "/risult", "sal"), QStringLiteral("/dati/risult/risult.sal"));
    QCOMPARE(sectionFilePath("/dati/risult/", "/risult", "sal"), QStringLiteral("/dati/risult//risult.sal"));

    // The file really is read and written there.
    ScriptedDialogs script;
    QVERIFY(appendLines({"[identificatore=A^B]", "riga"}, folder(), "/risult", ext));
    QCOMPARE(readBytes(file()), QByteArray("[identificatore=A^B]\r\nriga\r\n"));
    QStringList values;
    listValues(values, key, folder(), "/risult", ext);
    QCOMPARE(values, QStringList{"A^B"});
    QVERIFY(removeBlock(key, "A^B", folder(), "/risult", ext));
    QCOMPARE(readBytes(file()), QByteArray());
    QVERIFY(script.messages().isEmpty());
}

QTEST_MAIN(TestSectionFile)
#include "tst_sectionfile.moc"
