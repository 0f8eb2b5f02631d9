// Installs the program as a package does, into a scratch root, checks what a
// desktop finds there, and starts the installed program as a user would: its
// program folder read-only, a home folder of its own.

#include "model/ProgramModule.h"
#include "sound/SoundModule.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLibrary>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;

namespace {

const QString appId = QStringLiteral(SALIENTA_APP_ID);

struct Run {
    int exitCode = -1;
    QString output;   // standard output and error together
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.output = program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    process.waitForFinished(180000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// Every file under `folder`, by path relative to it, with its size and time.
QStringList snapshot(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << QDir(folder).relativeFilePath(info.filePath()) + QLatin1Char(' ')
                       + QString::number(info.size()) + QLatin1Char(' ')
                       + QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyFileIsInPlace();
    void desktopEntryAndMetadataAreValidAndAgree();
    void installedProgramFindsItsFolderAndSeedsTheUsersData();
    void packagePassesLintian();

private:
    QTemporaryDir scratch;
    QString usr;   // the installed prefix inside the scratch root
};

void TestInstall::initTestCase()
{
    QVERIFY(scratch.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), scratch.path() + QStringLiteral("/root"));
    const Run install = run(QStringLiteral(SALIENTA_CMAKE),
                            {QStringLiteral("--install"), QStringLiteral(SALIENTA_BINARY_DIR),
                             QStringLiteral("--prefix"), QStringLiteral("/usr")},
                            environment);
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    usr = scratch.path() + QStringLiteral("/root/usr/");
}

void TestInstall::cleanupTestCase()
{
    // The program folder was made read-only: give it back, so it can go.
    if (!usr.isEmpty())
        run(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+w"), usr});
}

void TestInstall::everyFileIsInPlace()
{
    const QFileInfo program(usr + QStringLiteral("bin/salienta"));
    QVERIFY(program.isFile() && program.isExecutable());
    // The installed program finds its sound module from its own folder.
    const QString soundModule = findSoundModule(usr + QStringLiteral("bin"));
    QVERIFY2(soundModule.startsWith(QDir::cleanPath(usr + QStringLiteral("lib"))), qPrintable(soundModule));
    QLibrary module(soundModule);
    QVERIFY2(module.load(), qPrintable(module.errorString()));
    QVERIFY(module.resolve("salientaNewAudioOutput") && module.resolve("salientaNewSoundPlayer"));
    // And its documents module, which reads .odt, .docx and PDF files.
    const QString documentsModule =
        findProgramModule(usr + QStringLiteral("bin"), QStringLiteral("salienta_documents.so"));
    QVERIFY2(documentsModule.startsWith(QDir::cleanPath(usr + QStringLiteral("lib"))), qPrintable(documentsModule));
    QLibrary documents(documentsModule);
    QVERIFY2(documents.load(), qPrintable(documents.errorString()));
    QVERIFY(documents.resolve("salientaOpenZipPackage") && documents.resolve("salientaOpenPdfDocument"));

    // The program folder, file for file as it ships.
    const QString source = QStringLiteral(SALIENTA_ASSETS_DIR);
    const QStringList shipped = filesUnder(source);
    QVERIFY(shipped.contains(QStringLiteral("immagini/cover.bmp")));
    QCOMPARE(filesUnder(usr + QStringLiteral("share/salienta")), shipped);
    for (const QString& file : shipped)
        QVERIFY2(readBytes(usr + QStringLiteral("share/salienta/") + file) == readBytes(source + QLatin1Char('/') + file),
                 qPrintable(file));

    QVERIFY(QFileInfo(usr + QStringLiteral("share/applications/") + appId + QStringLiteral(".desktop")).isFile());
    QVERIFY(QFileInfo(usr + QStringLiteral("share/metainfo/") + appId + QStringLiteral(".metainfo.xml")).isFile());
    QVERIFY(QFileInfo(usr + QStringLiteral("share/doc/salienta/copyright")).isFile());

    // The icon, at every size the menus ask for.
    for (int size : {48, 64, 128, 256}) {
        const QString png = usr + QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + appId
                            + QStringLiteral(".png");
        const QImage icon(png);
        QVERIFY2(!icon.isNull(), qPrintable(png));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    }
    const QByteArray svg =
        readBytes(usr + QStringLiteral("share/icons/hicolor/scalable/apps/") + appId + QStringLiteral(".svg"));
    QVERIFY(svg.startsWith("<?xml"));
    QVERIFY(svg.contains("<svg") && svg.contains("viewBox=\"0 0 256 256\"") && svg.contains("</svg>"));

    // The manual page and the change log, compressed; the page reads back.
    const QString manual = usr + QStringLiteral("share/man/man1/salienta.1.gz");
    QVERIFY(readBytes(manual).startsWith("\x1f\x8b"));
    QVERIFY(readBytes(usr + QStringLiteral("share/doc/salienta/changelog.gz")).startsWith("\x1f\x8b"));
    const Run page = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), manual});
    QCOMPARE(page.exitCode, 0);
    QVERIFY(page.output.startsWith(QStringLiteral(".TH SALIENTA 1")));
    QVERIFY(page.output.contains(QStringLiteral("/usr/share/salienta/")));
}

void TestInstall::desktopEntryAndMetadataAreValidAndAgree()
{
    const QString desktop = usr + QStringLiteral("share/applications/") + appId + QStringLiteral(".desktop");
    const QString metainfo = usr + QStringLiteral("share/metainfo/") + appId + QStringLiteral(".metainfo.xml");

    const Run entry = run(QStringLiteral("desktop-file-validate"), {desktop});
    QVERIFY2(entry.exitCode == 0 && entry.output.trimmed().isEmpty(), qPrintable(entry.output));
    const Run metadata = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    QVERIFY2(metadata.exitCode == 0, qPrintable(metadata.output));
    QVERIFY2(!metadata.output.contains(QRegularExpression(QStringLiteral("^[EW]:"), QRegularExpression::MultilineOption)),
             qPrintable(metadata.output));

    // The entry starts the installed program and names the installed icon.
    QHash<QString, QString> keys;
    const QStringList lines = QString::fromUtf8(readBytes(desktop)).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('=')))
            keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    const QString exec = keys.value(QStringLiteral("Exec"));
    QVERIFY(QFileInfo(usr + QStringLiteral("bin/") + exec.section(QLatin1Char(' '), 0, 0)).isExecutable());
    QCOMPARE(keys.value(QStringLiteral("Icon")), appId);
    QCOMPARE(keys.value(QStringLiteral("Categories")), QStringLiteral("Education;"));
    QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Salienta"));
    QVERIFY(keys.value(QStringLiteral("Comment")).contains(QStringLiteral("frasi importanti")));

    // The metadata is about this entry: the same id, launching it.
    const QString xml = QString::fromUtf8(readBytes(metainfo));
    QVERIFY(xml.contains(QStringLiteral("<id>") + appId + QStringLiteral("</id>")));
    QVERIFY(xml.contains(QStringLiteral("<launchable type=\"desktop-id\">") + appId
                         + QStringLiteral(".desktop</launchable>")));
    QVERIFY(xml.contains(QStringLiteral("<project_license>GPL-3.0-or-later</project_license>")));
    QVERIFY(xml.contains(QStringLiteral("<release version=\"%1\"").arg(QStringLiteral(SALIENTA_VERSION))));
}

void TestInstall::installedProgramFindsItsFolderAndSeedsTheUsersData()
{
    const QString programFolder = usr + QStringLiteral("share/salienta");
    const Run lock = run(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a-w"), programFolder});
    QVERIFY2(lock.exitCode == 0, qPrintable(lock.output));
    const QStringList before = snapshot(programFolder);

    const QString home = scratch.path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        environment.remove(QLatin1String(name));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(usr + QStringLiteral("bin/salienta"), {});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

    // The results folder is the last one the start-up makes: once it is
    // there, the data folder is ready, and the program waits on its cover.
    const QString data = home + QStringLiteral("/.local/share/salienta/salienta/");
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo(data + QStringLiteral("risult")).isDir() && program.state() == QProcess::Running
           && waited.elapsed() < 60000)
        QTest::qWait(50);
    QTest::qWait(500);
    const bool running = program.state() == QProcess::Running;
    // While the cover waits, nothing of the sound devices, the joystick or
    // the speech engine is loaded: they would only hold up the first window.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    const QByteArray loaded = maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(10000);
    }
    QVERIFY2(running, qPrintable(QString::fromUtf8(program.readAll())));
    QVERIFY(loaded.contains("libQt6Widgets"));
    for (const char* late : {"libQt6Multimedia", "salienta_sound", "libSDL2", "libespeak-ng", "libpulse"})
        QVERIFY2(!loaded.contains(late), late);
    QVERIFY2(QFileInfo(data + QStringLiteral("risult")).isDir(), qPrintable(QString::fromUtf8(program.readAll())));

    // The samples of the installed program folder, byte for byte, in the
    // folder named after it; nothing else beside it, nothing written into it.
    QCOMPARE(QDir(home + QStringLiteral("/.local/share/salienta")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("salienta")});
    for (const char* folder : {"testi", "esercizi"}) {
        const QString name = QLatin1String(folder);
        const QStringList samples = filesUnder(programFolder + QLatin1Char('/') + name);
        QVERIFY(!samples.isEmpty());
        QCOMPARE(filesUnder(data + name), samples);
        for (const QString& file : samples)
            QVERIFY2(readBytes(data + name + QLatin1Char('/') + file)
                         == readBytes(programFolder + QLatin1Char('/') + name + QLatin1Char('/') + file),
                     qPrintable(file));
    }
    QVERIFY(QDir(data + QStringLiteral("risult")).isEmpty());
    QCOMPARE(snapshot(programFolder), before);
}

QTEST_MAIN(TestInstall)
// The Debian package, built as the README says, has no error by lintian.
void TestInstall::packagePassesLintian()
{
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        QSKIP("lintian is not installed (./test installs it)");
    const QString cpack = QFileInfo(QStringLiteral(SALIENTA_CMAKE)).absolutePath() + QStringLiteral("/cpack");
    const QString packages = scratch.path() + QStringLiteral("/deb");
    const Run pack = run(cpack, {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                 QStringLiteral(SALIENTA_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"),
                                 packages});
    QVERIFY2(pack.exitCode == 0, qPrintable(pack.output));
    const QStringList debs = QDir(packages).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const Run check = run(lintian, {QStringLiteral("--fail-on"), QStringLiteral("error"), QDir(packages).filePath(debs.first())});
    const QRegularExpression error(QStringLiteral("^E: "), QRegularExpression::MultilineOption);
    QVERIFY2(!check.output.contains(error), qPrintable(check.output));
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
}

#include "tst_install.moc"
