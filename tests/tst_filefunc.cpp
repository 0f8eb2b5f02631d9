#include "model/fileFunc.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testsupport::readBytes;
using testsupport::writeBytes;

class TestFileFunc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void directoryExistsOnlyForFolders();
    void copyFileCodes();
    void copyFileCopiesBigFilesWhole();
    void copyFileKeepsReadOnlyTargets();
    void copyFileTakesOnlyFiles();
    void copyTreeCopiesAndKeepsExistingFiles();
    void copyTreeCodesAndHiddenEntries();
    void copyTreeSkipsLinksAndPipes();
    void copyTreeRefusesItsOwnInside();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return QDir(dir->path()).filePath(name); }
};

void TestFileFunc::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestFileFunc::directoryExistsOnlyForFolders()
{
    QVERIFY(directoryExists(dir->path()));
    QVERIFY(directoryExists(dir->path() + "/"));
    QVERIFY(writeBytes(path("file"), "x"));
    QVERIFY(!directoryExists(path("file")));
    QVERIFY(!directoryExists(path("missing")));
    QVERIFY(!directoryExists(QString()));
    QVERIFY(QDir(dir->path()).mkdir("empty"));
    QVERIFY(directoryExists(path("empty")));
}

void TestFileFunc::copyFileCodes()
{
    QVERIFY(writeBytes(path("a.txt"), "contenuto\r\n"));
    QCOMPARE(copyFile(path("missing.txt"), path("b.txt"), true), -1);
    QVERIFY(!QFile::exists(path("b.txt")));
    QCOMPARE(copyFile(path("a.txt"), path("a.txt"), true), 0);
    QCOMPARE(copyFile(path("a.txt"), dir->path() + "/./a.txt", true), 0);    // same file
    QCOMPARE(readBytes(path("a.txt")), QByteArray("contenuto\r\n"));

    QCOMPARE(copyFile(path("a.txt"), path("b.txt"), false), 1);
    QCOMPARE(readBytes(path("b.txt")), QByteArray("contenuto\r\n"));

    QVERIFY(writeBytes(path("c.txt"), "vecchio"));
    QCOMPARE(copyFile(path("a.txt"), path("c.txt"), false), 2);
    QCOMPARE(readBytes(path("c.txt")), QByteArray("vecchio"));
    QCOMPARE(copyFile(path("a.txt"), path("c.txt"), true), 1);
    QCOMPARE(readBytes(path("c.txt")), QByteArray("contenuto\r\n"));

    // A target that cannot be created: its folder is a file, or a folder is in the way.
    QCOMPARE(copyFile(path("a.txt"), path("b.txt/inside.txt"), true), -3);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    QCOMPARE(copyFile(path("a.txt"), path("folder"), true), -3);
    QVERIFY(QFileInfo(path("folder")).isDir());
    // A folder as the source is no file to copy.
    QCOMPARE(copyFile(path("folder"), path("d.txt"), true), -1);
}

void TestFileFunc::copyFileCopiesBigFilesWhole()
{
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big.append(char(i * 7 + i / 251));
    QVERIFY(writeBytes(path("big.bin"), big));    // several chunks of 65528 bytes
    QCOMPARE(copyFile(path("big.bin"), path("copy.bin"), false), 1);
    QCOMPARE(readBytes(path("copy.bin")), big);
}

void TestFileFunc::copyFileKeepsReadOnlyTargets()
{
    QVERIFY(writeBytes(path("a.txt"), "nuovo"));
    QVERIFY(writeBytes(path("ro.txt"), "protetto"));
    QVERIFY(QFile::setPermissions(path("ro.txt"), QFile::ReadOwner | QFile::ReadGroup));
    QCOMPARE(copyFile(path("a.txt"), path("ro.txt"), true), -3);
    QCOMPARE(readBytes(path("ro.txt")), QByteArray("protetto"));
    QCOMPARE(copyFile(path("a.txt"), path("ro.txt"), false), 2);
}

// A device or a pipe is no file to copy: a pipe would block the copy for
// ever and /dev/zero would fill the disk.
void TestFileFunc::copyFileTakesOnlyFiles()
{
    QCOMPARE(copyFile(QStringLiteral("/dev/null"), path("null.txt"), true), -1);
    QVERIFY(!QFileInfo::exists(path("null.txt")));
    QCOMPARE(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    QCOMPARE(copyFile(path("pipe"), path("pipe.txt"), true), -1);
    QVERIFY(!QFileInfo::exists(path("pipe.txt")));
    // A link to a file is that file.
    QVERIFY(writeBytes(path("a.txt"), "a"));
    QVERIFY(QFile::link(path("a.txt"), path("link.txt")));
    QCOMPARE(copyFile(path("link.txt"), path("b.txt"), false), 1);
    QCOMPARE(readBytes(path("b.txt")), QByteArray("a"));
}

void TestFileFunc::copyTreeCopiesAndKeepsExistingFiles()
{
    QDir root(dir->path());
    QVERIFY(root.mkpath("src/dati/esercizi"));
    QVERIFY(root.mkpath("src/dati/vuota"));
    QVERIFY(writeBytes(path("src/dati/LEGGIMI.TXT"), "leggimi"));
    QVERIFY(writeBytes(path("src/dati/esercizi/GATTO.S01"), "gatto"));
    QVERIFY(writeBytes(path("src/dati/esercizi/LONGNAME.LST"), "GATTO.S01=Gatto\r\n"));
    QVERIFY(root.mkpath("dest/dati/esercizi"));
    QVERIFY(writeBytes(path("dest/dati/esercizi/LONGNAME.LST"), "mio\r\n"));

    QCOMPARE(copyTree(path("src/dati/"), path("dest"), faAnyFile, false), 1);
    QCOMPARE(readBytes(path("dest/dati/LEGGIMI.TXT")), QByteArray("leggimi"));
    QCOMPARE(readBytes(path("dest/dati/esercizi/GATTO.S01")), QByteArray("gatto"));
    QCOMPARE(readBytes(path("dest/dati/esercizi/LONGNAME.LST")), QByteArray("mio\r\n"));
    QVERIFY(directoryExists(path("dest/dati/vuota")));

    // A second copy changes nothing and still succeeds; with overwrite it replaces.
    QCOMPARE(copyTree(path("src/dati"), path("dest/"), faAnyFile, false), 1);
    QCOMPARE(readBytes(path("dest/dati/esercizi/LONGNAME.LST")), QByteArray("mio\r\n"));
    QCOMPARE(copyTreeContents(path("src/dati"), path("dest/dati"), faAnyFile, true), 1);
    QCOMPARE(readBytes(path("dest/dati/esercizi/LONGNAME.LST")),
             QByteArray("GATTO.S01=Gatto\r\n"));
}

void TestFileFunc::copyTreeCodesAndHiddenEntries()
{
    QDir root(dir->path());
    QVERIFY(root.mkpath("src/sub"));
    QVERIFY(root.mkpath("dest"));
    QVERIFY(writeBytes(path("src/.nascosto"), "h"));
    QVERIFY(writeBytes(path("src/sub/a.txt"), "a"));
    QCOMPARE(copyTreeContents(path("missing"), path("dest"), faAnyFile, false), -1);
    QCOMPARE(copyTreeContents(path("src"), path("missing"), faAnyFile, false), -2);
    QCOMPARE(copyTree(path("missing"), path("dest"), faAnyFile, false), -1);
    QCOMPARE(copyTree(path("src"), path("missing"), faAnyFile, false), -2);

    QCOMPARE(copyTreeContents(path("src"), path("dest"), faDirectory | faArchive, false), 1);
    QVERIFY(!QFile::exists(path("dest/.nascosto")));    // hidden entries only when asked
    QCOMPARE(readBytes(path("dest/sub/a.txt")), QByteArray("a"));
    QCOMPARE(copyTreeContents(path("src"), path("dest"), faAnyFile, false), 1);
    QCOMPARE(readBytes(path("dest/.nascosto")), QByteArray("h"));

    // A folder of the source meets a file of the target: the copy fails with -3.
    QVERIFY(root.mkpath("dest2"));
    QVERIFY(writeBytes(path("dest2/sub"), "file in the way"));
    QCOMPARE(copyTreeContents(path("src"), path("dest2"), faAnyFile, false), -3);
    // An overwrite that cannot happen (read-only file) fails the copy too.
    QVERIFY(QFile::setPermissions(path("dest/sub/a.txt"), QFile::ReadOwner));
    QCOMPARE(copyTreeContents(path("src"), path("dest"), faAnyFile, true), -3);
    QCOMPARE(copyTreeContents(path("src"), path("dest"), faAnyFile, false), 1);
}

void TestFileFunc::copyTreeSkipsLinksAndPipes()
{
    QDir root(dir->path());
    QVERIFY(root.mkpath("src"));
    QVERIFY(root.mkpath("dest"));
    QVERIFY(writeBytes(path("src/a.txt"), "a"));
    QVERIFY(QFile::link(dir->path(), path("src/loop")));
    QCOMPARE(::mkfifo(QFile::encodeName(path("src/pipe")).constData(), 0600), 0);
    QCOMPARE(copyTreeContents(path("src"), path("dest"), faAnyFile, false), 1);
    QCOMPARE(readBytes(path("dest/a.txt")), QByteArray("a"));
    QVERIFY(!QFileInfo::exists(path("dest/loop")));
    QVERIFY(!QFileInfo::exists(path("dest/pipe")));
}

void TestFileFunc::copyTreeRefusesItsOwnInside()
{
    QDir root(dir->path());
    QVERIFY(root.mkpath("src/inner"));
    QVERIFY(writeBytes(path("src/a.txt"), "a"));
    QCOMPARE(copyTreeContents(path("src"), path("src/inner"), faAnyFile, false), -3);
    QVERIFY(!QFileInfo::exists(path("src/inner/a.txt")));
    QCOMPARE(copyTreeContents(path("src"), path("src"), faAnyFile, true), 1);    // onto itself
    QCOMPARE(readBytes(path("src/a.txt")), QByteArray("a"));
}

QTEST_MAIN(TestFileFunc)
#include "tst_filefunc.moc"
