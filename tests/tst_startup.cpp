#include "shell/Umascher.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;
using testsupport::writeBytes;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void writableProgramFolderIsItsOwnDataRoot();
    void readOnlyProgramFolderIsSeededOnceAndKeepsResults();
    void dataRootThatCannotBeMadeFails();
    void programFolderOfABuildTreeAndOfAnInstall();
};

namespace {

void makeProgramFolder(const QString& root)
{
    QDir().mkpath(root + QStringLiteral("/immagini"));
    QDir().mkpath(root + QStringLiteral("/testi"));
    QDir().mkpath(root + QStringLiteral("/esercizi"));
    writeBytes(root + QStringLiteral("/istruzio.txt"), "Istruzioni\r\n");
    writeBytes(root + QStringLiteral("/testi/gatto.txt"), "Il gatto dorme.\r\n");
    writeBytes(root + QStringLiteral("/esercizi/GATTO.S01"), "[compito]\r\nLeggi.\r\n[testo]\r\n");
    writeBytes(root + QStringLiteral("/esercizi/LONGNAME.LST"), "GATTO.S01=Gatto\r\n");
}

} // namespace

void TestStartup::writableProgramFolderIsItsOwnDataRoot()
{
    QTemporaryDir temp;
    const QString program = temp.path() + QStringLiteral("/corso");
    makeProgramFolder(program);
    QString root;
    QVERIFY(prepareDataRoot(program, true, temp.path() + QStringLiteral("/utente"), root));
    QCOMPARE(root, program + QLatin1Char('/'));
    QVERIFY(!QDir(temp.path() + QStringLiteral("/utente")).exists());
    // The results folder is there for the first save.
    QVERIFY(QDir(program + QStringLiteral("/risult")).exists());
    QCOMPARE(readBytes(program + QStringLiteral("/testi/gatto.txt")), QByteArray("Il gatto dorme.\r\n"));
}

void TestStartup::readOnlyProgramFolderIsSeededOnceAndKeepsResults()
{
    QTemporaryDir temp;
    const QString program = temp.path() + QStringLiteral("/share/corso/");
    makeProgramFolder(program);
    const QString user = temp.path() + QStringLiteral("/home/.local/share/salienta");

    QString root;
    QVERIFY(prepareDataRoot(program, false, user, root));
    QCOMPARE(root, user + QStringLiteral("/corso/"));
    QCOMPARE(readBytes(root + QStringLiteral("testi/gatto.txt")), QByteArray("Il gatto dorme.\r\n"));
    QCOMPARE(readBytes(root + QStringLiteral("esercizi/LONGNAME.LST")), QByteArray("GATTO.S01=Gatto\r\n"));
    QVERIFY(QDir(root + QStringLiteral("risult")).exists());
    // Only the data folders are copied, not the program's own files.
    QVERIFY(!QFile::exists(root + QStringLiteral("istruzio.txt")));
    QVERIFY(!QDir(root + QStringLiteral("immagini")).exists());

    // The user works: results are saved, an exercise changes, one is added.
    QVERIFY(writeBytes(root + QStringLiteral("risult/risult.sal"), "[identificatore=ANNA^UNO]\r\n"));
    QVERIFY(writeBytes(root + QStringLiteral("esercizi/LONGNAME.LST"),
                       "GATTO.S01=Gatto\r\nCANE.S01=Cane\r\n"));
    QVERIFY(writeBytes(root + QStringLiteral("esercizi/CANE.S01"), "[compito]\r\n"));
    QVERIFY(QFile::remove(root + QStringLiteral("testi/gatto.txt")));
    // A newer program folder arrives with other sample files.
    writeBytes(program + QStringLiteral("/esercizi/LONGNAME.LST"), "NUOVO.S01=Nuovo\r\n");

    QString again;
    QVERIFY(prepareDataRoot(program, false, user, again));
    QCOMPARE(again, root);
    QCOMPARE(readBytes(root + QStringLiteral("risult/risult.sal")), QByteArray("[identificatore=ANNA^UNO]\r\n"));
    QCOMPARE(readBytes(root + QStringLiteral("esercizi/LONGNAME.LST")),
             QByteArray("GATTO.S01=Gatto\r\nCANE.S01=Cane\r\n"));
    QVERIFY(QFile::exists(root + QStringLiteral("esercizi/CANE.S01")));
    // The user's own deletion stands: an existing folder is never seeded again.
    QVERIFY(!QFile::exists(root + QStringLiteral("testi/gatto.txt")));
}

void TestStartup::dataRootThatCannotBeMadeFails()
{
    QTemporaryDir temp;
    const QString program = temp.path() + QStringLiteral("/corso");
    makeProgramFolder(program);
    // A file stands where the user's data folder should be.
    const QString blocked = temp.path() + QStringLiteral("/blocked");
    QVERIFY(writeBytes(blocked, "x"));
    QString root;
    QVERIFY(!prepareDataRoot(program, false, blocked, root));
}

void TestStartup::programFolderOfABuildTreeAndOfAnInstall()
{
    QTemporaryDir temp;
    makeProgramFolder(temp.path() + QStringLiteral("/build"));
    QCOMPARE(locateProgramFolder(temp.path() + QStringLiteral("/build")),
             temp.path() + QStringLiteral("/build/"));

    QDir().mkpath(temp.path() + QStringLiteral("/usr/bin"));
    makeProgramFolder(temp.path() + QStringLiteral("/usr/share/salienta"));
    QCOMPARE(locateProgramFolder(temp.path() + QStringLiteral("/usr/bin")),
             temp.path() + QStringLiteral("/usr/share/salienta/"));

    // A build tree keeps the data beside the program; an installed folder
    // never does, even when it can be written, since the next installation
    // replaces its samples.
    QVERIFY(dataInProgramFolder(temp.path() + QStringLiteral("/build/"), temp.path() + QStringLiteral("/build")));
    QVERIFY(QFileInfo(temp.path() + QStringLiteral("/usr/share/salienta")).isWritable());
    QVERIFY(!dataInProgramFolder(temp.path() + QStringLiteral("/usr/share/salienta/"),
                                 temp.path() + QStringLiteral("/usr/bin")));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
