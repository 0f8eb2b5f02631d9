#include "model/Longname.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testsupport::readBytes;
using testsupport::writeBytes;

class TestLongname : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void basesOfLongNames();
    void fileNamesFromCounters();
    void firstNameCreatesTheTable();
    void sameNameGivesSameFile();
    void namesDifferingInCaseGetTwoFiles();
    void takenNamesAreSkippedEvenBeforeSaving();
    void handCopiedFilesAreFoundWhateverTheirCase();
    void newNamesNeverDifferOnlyByCase();
    void countersOfHundredAndMore();
    void longNamesCompareOn255Characters();
    void unstorableNamesAreRefused();
    void longNameForFilesWithoutEntry();
    void removeEntryDeletesTheFirstMatch();
    void listLongNamesMatchesMaskWithoutCase();
    void tableWriteFailureIsReported();
    void unreadableTableIsNeverReplaced();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString folder() const { return dir->path(); }
    QString path(const QString& n) const { return QDir(dir->path()).filePath(n); }
    QString table() const { return path("LONGNAME.LST"); }
    void touch(const QString& n) { QVERIFY(writeBytes(path(n), "x")); }
};

void TestLongname::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestLongname::basesOfLongNames()
{
    QCOMPARE(exerciseBase(QStringLiteral("Il gatto e la volpe")), QStringLiteral("ILGATTOE"));
    QCOMPARE(exerciseBase(QStringLiteral("È l'ora!")), QStringLiteral("LORA"));
    QCOMPARE(exerciseBase(QStringLiteral("àèìòù €!")), QString());
    QCOMPARE(exerciseBase(QStringLiteral("3a classe: lettura 2")), QStringLiteral("3ACLASSE"));
    QCOMPARE(exerciseBase(QStringLiteral("ｆｕｌｌ")), QString());    // wide letters are not ASCII
}

void TestLongname::fileNamesFromCounters()
{
    QCOMPARE(exerciseFileName("ILGATTOE", 1), QStringLiteral("ILGATTOE.S01"));
    QCOMPARE(exerciseFileName("ILGATTOE", 99), QStringLiteral("ILGATTOE.S99"));
    QCOMPARE(exerciseFileName("ILGATTOE", 123), QStringLiteral("ILGATTO1.S23"));
    QCOMPARE(exerciseFileName("ILGATTOE", 1000), QStringLiteral("ILGATT10.S00"));
    QCOMPARE(exerciseFileName("GATTO", 123), QStringLiteral("GATTO1.S23"));
    QCOMPARE(exerciseFileName("GATTO", 12345), QStringLiteral("GATTO123.S45"));
    QCOMPARE(exerciseFileName("GATTO", 1234567), QStringLiteral("GAT12345.S67"));
    QCOMPARE(exerciseFileName("", 5), QStringLiteral(".S05"));
    QCOMPARE(exerciseFileName("", 250), QStringLiteral("2.S50"));
    // Every name of a base is distinct and keeps eight characters at most
    // before the point.
    QSet<QString> seen;
    for (int counter = 1; counter < 20000; ++counter) {
        const QString n = exerciseFileName("GATTO", counter);
        QVERIFY(n.indexOf(u'.') <= 8);
        QVERIFY2(!seen.contains(n), qPrintable(n));
        seen.insert(n);
    }
}

void TestLongname::firstNameCreatesTheTable()
{
    ScriptedDialogs script;
    QVERIFY(!QFile::exists(table()));
    QCOMPARE(fileNameFor(folder(), QStringLiteral("Il gatto e la volpe")),
             QStringLiteral("ILGATTOE.S01"));
    QCOMPARE(readBytes(table()), QByteArray("ILGATTOE.S01=Il gatto e la volpe\r\n"));
    QCOMPARE(fileNameFor(folder() + "/", QStringLiteral("È l'ora!")), QStringLiteral("LORA.S01"));
    QCOMPARE(fileNameFor(folder(), QStringLiteral("!!!")), QStringLiteral(".S01"));
    QCOMPARE(readBytes(table()), QByteArray("ILGATTOE.S01=Il gatto e la volpe\r\n"
                                            "LORA.S01=\xc8 l'ora!\r\n.S01=!!!\r\n"));
    QCOMPARE(fileNameFor(folder(), QString()), QString());
    QVERIFY(script.messages().isEmpty());
}

void TestLongname::sameNameGivesSameFile()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(table(), "GATTO.S01=Gatto\nMIO.S01=a=b\n"));
    QCOMPARE(fileNameFor(folder(), "Gatto"), QStringLiteral("GATTO.S01"));
    QCOMPARE(fileNameFor(folder(), "a=b"), QStringLiteral("MIO.S01"));
    QCOMPARE(readBytes(table()), QByteArray("GATTO.S01=Gatto\nMIO.S01=a=b\n"));    // untouched
}

void TestLongname::namesDifferingInCaseGetTwoFiles()
{
    ScriptedDialogs script;
    QCOMPARE(fileNameFor(folder(), "Gatto"), QStringLiteral("GATTO.S01"));
    touch("GATTO.S01");    // the first is saved
    QCOMPARE(fileNameFor(folder(), "gatto"), QStringLiteral("GATTO.S02"));
    QCOMPARE(longNameFor(folder(), "gatto.s02"), QStringLiteral("gatto"));
    QCOMPARE(longNameFor(folder(), "GATTO.S01"), QStringLiteral("Gatto"));
}

void TestLongname::takenNamesAreSkippedEvenBeforeSaving()
{
    ScriptedDialogs script;
    touch("VOLPE.S01");    // a file without entry
    QCOMPARE(fileNameFor(folder(), "Volpe"), QStringLiteral("VOLPE.S02"));
    // "volpe" before "Volpe" was saved: the table names VOLPE.S02 already.
    QCOMPARE(fileNameFor(folder(), "volpe"), QStringLiteral("VOLPE.S03"));
    // A file of another case takes the name too.
    touch("volpe.s04");
    QCOMPARE(fileNameFor(folder(), "VOLPE!"), QStringLiteral("VOLPE.S05"));
}

void TestLongname::handCopiedFilesAreFoundWhateverTheirCase()
{
    ScriptedDialogs script;
    // Copied from a stick in lower case: listed under its upper-case name,
    // opened under the name it has on disk.
    QVERIFY(writeBytes(path("volpe.s01"), "[compito]\r\n"));
    QStringList out;
    listLongNames(out, folder(), "*.s??");
    QCOMPARE(out, QStringList{"VOLPE"});
    QCOMPARE(readBytes(table()), QByteArray("VOLPE.S01=VOLPE\r\n"));
    const QString found = fileNameFor(folder(), "VOLPE");
    QCOMPARE(found, QStringLiteral("volpe.s01"));
    QCOMPARE(readBytes(path(found)), QByteArray("[compito]\r\n"));
    // A table written elsewhere names a file that is here in mixed case.
    QVERIFY(writeBytes(table(), "VOLPE.S01=VOLPE\r\nGATTO.S01=Il gatto\r\n"));
    touch("Gatto.S01");
    QCOMPARE(fileNameFor(folder(), "Il gatto"), QStringLiteral("Gatto.S01"));
    // A name whose file is not there yet stays as the table has it.
    QVERIFY(QFile::remove(path("Gatto.S01")));
    QCOMPARE(fileNameFor(folder(), "Il gatto"), QStringLiteral("GATTO.S01"));
    QCOMPARE(readBytes(table()), QByteArray("VOLPE.S01=VOLPE\r\nGATTO.S01=Il gatto\r\n"));
}

void TestLongname::newNamesNeverDifferOnlyByCase()
{
    ScriptedDialogs script;
    touch("lupo.s01");    // copied by hand, not listed yet
    touch("Lupo.S02");
    QCOMPARE(fileNameFor(folder(), "Lupo"), QStringLiteral("LUPO.S03"));
    // A lower-case name in a table counts as its upper-case form.
    QVERIFY(writeBytes(table(), "orso.s01=Orso bruno\r\n"));
    QCOMPARE(fileNameFor(folder(), "Orso"), QStringLiteral("ORSO.S02"));
    // Two files that differ only by case are one exercise: listed once, and
    // the one named in upper case is the one opened.
    touch("CANE.S01");
    touch("cane.s01");
    QStringList out;
    listLongNames(out, folder(), "*.s??");
    QCOMPARE(out.count("CANE"), 1);
    QCOMPARE(fileNameFor(folder(), "CANE"), QStringLiteral("CANE.S01"));
    QCOMPARE(readBytes(table()).count("CANE.S01="), 1);
}

void TestLongname::countersOfHundredAndMore()
{
    ScriptedDialogs script;
    QStringList lines;
    for (int i = 1; i <= 99; ++i)
        lines << QStringLiteral("GATTO.S%1=gatto %2").arg(i, 2, 10, QChar(u'0')).arg(i);
    QVERIFY(writeBytes(table(), lines.join("\r\n").toLatin1() + "\r\n"));
    QCOMPARE(fileNameFor(folder(), "Gatto nuovo"), QStringLiteral("GATTONUO.S01"));
    QCOMPARE(fileNameFor(folder(), "gatto!"), QStringLiteral("GATTO1.S00"));
    QCOMPARE(fileNameFor(folder(), "gatto?"), QStringLiteral("GATTO1.S01"));
    // "Gatto 1" has the base GATTO1, whose 1 is taken by now: it moves on.
    QCOMPARE(fileNameFor(folder(), "Gatto 1"), QStringLiteral("GATTO1.S02"));
    touch("ILGATTOE.S01");
    for (int i = 2; i <= 99; ++i)
        touch(exerciseFileName("ILGATTOE", i));
    QCOMPARE(fileNameFor(folder(), "Il gatto e la volpe"), QStringLiteral("ILGATTO1.S00"));
}

void TestLongname::longNamesCompareOn255Characters()
{
    ScriptedDialogs script;
    const QString longA = QString(255, u'a') + "FINE1";
    const QString longB = QString(255, u'a') + "FINE2";
    const QString first = fileNameFor(folder(), longA);
    QCOMPARE(first, QStringLiteral("AAAAAAAA.S01"));
    QCOMPARE(fileNameFor(folder(), longB), first);    // the same name for the table
    QCOMPARE(longNameFor(folder(), first), QString(255, u'a'));
    QVERIFY(readBytes(table()).contains("FINE1"));    // stored whole
}

void TestLongname::unstorableNamesAreRefused()
{
    ScriptedDialogs script;
    QCOMPARE(fileNameFor(folder(), QStringLiteral("Ωmega")), QString());
    QCOMPARE(fileNameFor(folder(), QStringLiteral("due\r\nrighe")), QString());
    QVERIFY(!QFile::exists(table()));
    QCOMPARE(script.messages().size(), 2);
}

void TestLongname::longNameForFilesWithoutEntry()
{
    ScriptedDialogs script;
    QCOMPARE(longNameFor(folder(), QString()), QString());
    QVERIFY(!QFile::exists(table()));
    QCOMPARE(longNameFor(folder(), "copiato.s01"), QStringLiteral("COPIATO"));
    QCOMPARE(readBytes(table()), QByteArray("COPIATO.S01=COPIATO\r\n"));
    QCOMPARE(longNameFor(folder(), "COPIATO.S01"), QStringLiteral("COPIATO"));
    QCOMPARE(longNameFor(folder(), ".s07"), QStringLiteral(".S07"));
    QCOMPARE(longNameFor(folder(), "a.b.s01"), QStringLiteral("A"));
    QCOMPARE(readBytes(table()).count('\n'), 3);
}

void TestLongname::removeEntryDeletesTheFirstMatch()
{
    ScriptedDialogs script;
    QVERIFY(removeEntry(folder(), "X.S01"));
    QVERIFY(!QFile::exists(table()));    // no table: nothing written
    QVERIFY(writeBytes(table(), "A.S01=Uno\nB.S01=Due\nA.S01=Tre\n"));
    QVERIFY(removeEntry(folder(), "a.s01"));
    QCOMPARE(readBytes(table()), QByteArray("B.S01=Due\r\nA.S01=Tre\r\n"));
    QVERIFY(removeEntry(folder(), "nessuno.s01"));    // rewritten all the same
    QCOMPARE(readBytes(table()), QByteArray("B.S01=Due\r\nA.S01=Tre\r\n"));
}

void TestLongname::listLongNamesMatchesMaskWithoutCase()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(table(), "GATTO.S01=Il gatto\r\n.S01=!!!\r\n"));
    touch("GATTO.S01");
    touch(".S01");
    touch("NUOVO.S02");
    touch("NOTE.TXT");
    QVERIFY(QDir(folder()).mkdir("CARTELLA.S01"));
    QStringList out;
    listLongNames(out, folder(), "*.s??");
    QCOMPARE(out, (QStringList{"!!!", "Il gatto", "NUOVO"}));
    QCOMPARE(readBytes(table()), QByteArray("GATTO.S01=Il gatto\r\n.S01=!!!\r\nNUOVO.S02=NUOVO\r\n"));
    listLongNames(out, folder() + "/", "*.S01");
    QCOMPARE(out, (QStringList{"!!!", "Il gatto"}));
    listLongNames(out, path("manca"), "*.s??");
    QVERIFY(out.isEmpty());
}

void TestLongname::tableWriteFailureIsReported()
{
    ScriptedDialogs script;
    QVERIFY(QDir(folder()).mkdir("LONGNAME.LST"));    // a folder in the way
    QCOMPARE(fileNameFor(folder(), "Gatto"), QString());
    QVERIFY(!removeEntry(folder(), "GATTO.S01"));
    QCOMPARE(script.messages(),
             QStringList(2, QStringLiteral("Errore nella scrittura del file LONGNAME.LST")));
}

// A table that is there but cannot be read is not taken for an empty one: it
// would be replaced by a table of one line and every other long name lost.
// Here the table is a pipe; a helper opens its other end once, so a reader
// that waits on it is let go (and reads nothing).
void TestLongname::unreadableTableIsNeverReplaced()
{
    ScriptedDialogs script;
    const QByteArray fifo = QFile::encodeName(table());
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread helper([&] {
        for (int i = 0; i < 100 && !done; ++i) {
            QThread::msleep(20);
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
                return;
            }
        }
    });
    const QString name = fileNameFor(folder(), QStringLiteral("Il gatto"));
    done = true;
    helper.join();
    QCOMPARE(name, QString());
    QVERIFY(QFileInfo(table()).exists() && !QFileInfo(table()).isFile());    // still the pipe
    QCOMPARE(script.messages(), QStringList(QStringLiteral("Errore di lettura del file LONGNAME.LST")));

    touch("GATTO.S01");
    QVERIFY(!removeEntry(folder(), "GATTO.S01"));
    QCOMPARE(longNameFor(folder(), "GATTO.S01"), QStringLiteral("GATTO"));    // its base name
    QStringList out;
    listLongNames(out, folder(), "*.s??");
    QCOMPARE(out, QStringList(QStringLiteral("GATTO")));
    QVERIFY(!QFileInfo(table()).isFile());
    QCOMPARE(script.messages().size(), 4);
}

QTEST_MAIN(TestLongname)
#include "tst_longname.moc"
