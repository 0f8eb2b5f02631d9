#include "model/Funzioni.h"
#include "support/TestSupport.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <sys/stat.h>

using testsupport::readBytes;
using testsupport::writeBytes;

class TestFunzioni : public QObject
{
    Q_OBJECT

private slots:
    void cp1252RoundTripsEveryByte();
    void cp1252RefusesOtherCharacters();
    void loadTextEndsLinesAtCrLfCrAndLf();
    void loadTextCutsLongLinesAfterTheLastSpace();
    void loadTextCutsLinesWithoutSpacesAt255();
    void loadTextOfMissingFileFails();
    void saveTextWritesCp1252CrLf();
    void saveTextRefusesAndReportsWithoutTouchingTheFile();
    void saveTextEndsEveryLineWithCrLf();
    void stringHelpers();
    void readExerciseSections();
    void readExerciseEdgeCases();
    void clearBandAndRevealShowEachStep();
    void pausesLeaveTheProcessorFree();
    void dissolveCoversTheAreaOnly();
    void copyFontCopiesTheLook();

private:
    QTemporaryDir dir;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
};

void TestFunzioni::cp1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QString text = decodeCp1252(all);
    QCOMPARE(text.size(), 256);
    QVERIFY(fitsCp1252(text));
    QCOMPARE(encodeCp1252(text), all);
    QCOMPARE(text, testsupport::fromCp1252(all));    // the same as Qt's own converter
    QCOMPARE(encodeCp1252(QStringLiteral("àèé€“”")), testsupport::toCp1252(QStringLiteral("àèé€“”")));
    QCOMPARE(decodeCp1252("\x80\xe8\xc8\x92"), QStringLiteral("€èÈ’"));
}

void TestFunzioni::cp1252RefusesOtherCharacters()
{
    QVERIFY(fitsCp1252(QStringLiteral("Perché l'è così – «sì» … €")));
    QVERIFY(!fitsCp1252(QStringLiteral("Ωmega")));
    QVERIFY(!fitsCp1252(QString::fromUtf8("gatto \xF0\x9F\x90\xB1")));    // outside the BMP
    QVERIFY(!fitsCp1252(QStringList{QStringLiteral("ok"), QStringLiteral("ł")}));
}

void TestFunzioni::loadTextEndsLinesAtCrLfCrAndLf()
{
    QVERIFY(writeBytes(path("ends.txt"), "uno\r\ndue\rtre\nquattro\r\n\r\ncinque"));
    QStringList lines;
    QVERIFY(loadText(lines, path("ends.txt")));
    QCOMPARE(lines, (QStringList{"uno", "due", "tre", "quattro", "", "cinque"}));

    // LF CR is two line ends; a final line end adds no empty line.
    QVERIFY(writeBytes(path("ends2.txt"), "a\n\rb\r\n"));
    QVERIFY(loadText(lines, path("ends2.txt")));
    QCOMPARE(lines, (QStringList{"a", "", "b"}));

    // Every byte 0x80-0xFF arrives as its windows-1252 character.
    QByteArray high;
    for (int i = 0x80; i < 0x100; ++i)
        high.append(char(i));
    QVERIFY(writeBytes(path("high.txt"), "città\xe0 " + high.left(64) + "\r\n" + high.mid(64)));
    QVERIFY(loadText(lines, path("high.txt")));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(encodeCp1252(lines.join(QString())).mid(8), high);
    QVERIFY(lines.at(0).startsWith(QString::fromUtf8("cittÃ\u00a0à")));    // UTF-8 bytes stay bytes
    QCOMPARE(lines.at(1).at(0), QChar(u'À'));

    QVERIFY(writeBytes(path("empty.txt"), ""));
    QVERIFY(loadText(lines, path("empty.txt")));
    QVERIFY(lines.isEmpty());
}

void TestFunzioni::loadTextCutsLongLinesAfterTheLastSpace()
{
    // 60 words of 4 letters and a space: 300 characters.
    QString line;
    for (int i = 0; i < 60; ++i)
        line += QStringLiteral("w%1 ").arg(i % 10, 3, 10, QChar(u'0'));
    QCOMPARE(line.size(), 300);
    QVERIFY(writeBytes(path("long.txt"), encodeCp1252(line) + "\r\nfine\r\n"));
    QStringList lines;
    QVERIFY(loadText(lines, path("long.txt")));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).size() <= 255);
    QVERIFY(lines.at(0).endsWith(u' '));
    QCOMPARE(lines.at(0).size(), 255);    // 51 words fit exactly
    QCOMPARE(lines.at(0) + lines.at(1), line);
    QCOMPARE(lines.at(2), QStringLiteral("fine"));

    // A line of exactly 255 characters is kept whole.
    const QString full = QString(200, u'a') + u' ' + QString(54, u'b');
    QCOMPARE(full.size(), 255);
    QVERIFY(writeBytes(path("full.txt"), encodeCp1252(full) + "\r\nx"));
    QVERIFY(loadText(lines, path("full.txt")));
    QCOMPARE(lines, (QStringList{full, "x"}));

    // A space at the very start: the first piece is the space alone.
    const QString early = u' ' + QString(300, u'c');
    QVERIFY(writeBytes(path("early.txt"), encodeCp1252(early)));
    QVERIFY(loadText(lines, path("early.txt")));
    QCOMPARE(lines.first(), QStringLiteral(" "));
    QCOMPARE(lines.join(QString()), early);
}

void TestFunzioni::loadTextCutsLinesWithoutSpacesAt255()
{
    const QString word = QString(600, u'z') + QStringLiteral("è");
    QVERIFY(writeBytes(path("word.txt"), encodeCp1252(word) + "\nok"));
    QStringList lines;
    QVERIFY(loadText(lines, path("word.txt")));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0).size(), 255);
    QCOMPARE(lines.at(1).size(), 255);
    QCOMPARE(lines.at(2), QString(90, u'z') + QStringLiteral("è"));
    QCOMPARE(lines.at(3), QStringLiteral("ok"));
    QCOMPARE(lines.mid(0, 3).join(QString()), word);
}

void TestFunzioni::loadTextOfMissingFileFails()
{
    QStringList lines{"vecchio"};
    QVERIFY(!loadText(lines, path("manca.txt")));
    QVERIFY(lines.isEmpty());
    QVERIFY(!loadText(lines, dir.path()));    // a folder is not a text
}

void TestFunzioni::saveTextWritesCp1252CrLf()
{
    const QStringList lines{"Perché", "", "  spazi  ", "€ 5"};
    QVERIFY(saveText(lines, path("out.txt")));
    QCOMPARE(readBytes(path("out.txt")), QByteArray("Perch\xe9\r\n\r\n  spazi  \r\n\x80 5\r\n"));
    QStringList back;
    QVERIFY(loadText(back, path("out.txt")));
    QCOMPARE(back, lines);

    // Replaced by a new file that takes the old one's place (never rewritten
    // in place, where a crash would leave half a text), shorter here.
    struct stat before {};
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path("out.txt")).constData(), &before), 0);
    QVERIFY(saveText({"nuovo"}, path("out.txt")));
    QCOMPARE(::stat(QFile::encodeName(path("out.txt")).constData(), &after), 0);
    QVERIFY(before.st_ino != after.st_ino);
    QCOMPARE(readBytes(path("out.txt")), QByteArray("nuovo\r\n"));
    QVERIFY(saveText({}, path("out.txt")));
    QCOMPARE(readBytes(path("out.txt")), QByteArray());
}

void TestFunzioni::saveTextRefusesAndReportsWithoutTouchingTheFile()
{
    QVERIFY(writeBytes(path("keep.txt"), "originale\r\n"));
    QVERIFY(!saveText({"uno", QStringLiteral("Ωmega")}, path("keep.txt")));
    QCOMPARE(readBytes(path("keep.txt")), QByteArray("originale\r\n"));

    // A folder that cannot hold the file: a plain file stands in its place.
    QVERIFY(writeBytes(path("notafolder"), "x"));
    QVERIFY(!saveText({"uno"}, path("notafolder/out.txt")));
    // A folder stands where the file should be.
    QVERIFY(QDir(dir.path()).mkpath("isafolder"));
    QVERIFY(!saveText({"uno"}, path("isafolder")));
    QVERIFY(QFileInfo(path("isafolder")).isDir());

    // No temporary file is left behind.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : left)
        QVERIFY2(!name.contains(u'~') && !name.endsWith(QStringLiteral(".tmp")), qPrintable(name));
}

// A line handed over with line ends of its own (Qt's editors end lines with a
// bare LF) is written as the lines it holds, each with CR LF: the file keeps
// its format and reads back as the same lines.
void TestFunzioni::saveTextEndsEveryLineWithCrLf()
{
    QVERIFY(saveText({"uno\ndue", "tre\rquattro\r\ncinque", "sei\n"}, path("righe.txt")));
    QCOMPARE(readBytes(path("righe.txt")),
             QByteArray("uno\r\ndue\r\ntre\r\nquattro\r\ncinque\r\nsei\r\n\r\n"));
    QStringList back;
    QVERIFY(loadText(back, path("righe.txt")));
    QCOMPARE(back, (QStringList{"uno", "due", "tre", "quattro", "cinque", "sei", ""}));
}

void TestFunzioni::stringHelpers()
{
    QCOMPARE(trimSpaces(QStringLiteral("  a b \t ")), QStringLiteral("a b \t"));
    QCOMPARE(trimSpaces(QStringLiteral("\t a ")), QStringLiteral("\t a"));
    QCOMPARE(trimSpaces(QStringLiteral("    ")), QString());
    QVERIFY(isBlankText({}));
    QVERIFY(isBlankText({"", "   "}));
    QVERIFY(!isBlankText({"", " \t "}));
    QVERIFY(!isBlankText({"  ", " x"}));
    QVERIFY(!hasReservedChars({"testo normale", "= e ^ e |"}));
    QVERIFY(hasReservedChars({"ok", "a~b"}));
    QVERIFY(hasReservedChars({"[x"}));
    QVERIFY(hasReservedChars({"x]"}));
    QCOMPARE(minOf(3, -4), -4);
    QCOMPARE(maxOf(3, -4), 3);
    QCOMPARE(minOf(7, 7), 7);
}

void TestFunzioni::readExerciseSections()
{
    QVERIFY(writeBytes(path("es.s01"),
                       "prima riga ignorata\r\n[compito]\r\n\r\nSottolinea le frasi\r\n\r\n"
                       "importanti.\r\n[ testo ]\r\n~importante~\r\nIl gatto dorme\r\n\r\n"
                       "[nota] resta\r\n~nonImportante~\r\nIl cane abbaia\xe8."));
    QStringList text;
    QString task;
    QVERIFY(readExercise(path("es.s01"), text, task));
    // Leading blank lines of the task are lost, inner ones kept.
    QCOMPARE(task, QStringLiteral("Sottolinea le frasi\r\n\r\nimportanti."));
    QCOMPARE(text, (QStringList{"~importante~", "Il gatto dorme", "", "[nota] resta",
                                "~nonImportante~", QStringLiteral("Il cane abbaiaè.")}));

    // Lone CR and LF line ends, and a task line reading "[testo]".
    QVERIFY(writeBytes(path("es.s02"), "[compito]\rprima\n[testo]\nseconda\r~importante~\n"));
    QVERIFY(readExercise(path("es.s02"), text, task));
    QCOMPARE(task, QStringLiteral("prima"));
    QCOMPARE(text, (QStringList{"seconda", "~importante~"}));
}

void TestFunzioni::readExerciseEdgeCases()
{
    QStringList text{"vecchio"};
    QString task = QStringLiteral("vecchio");
    QVERIFY(!readExercise(path("manca.s01"), text, task));
    QVERIFY(text.isEmpty());
    QVERIFY(task.isEmpty());

    // Empty task: one empty line after "[compito]" reads as an empty task.
    QVERIFY(writeBytes(path("vuoto.s01"), "[compito]\r\n\r\n[testo]\r\n~importante~\r\nA.\r\n"));
    QVERIFY(readExercise(path("vuoto.s01"), text, task));
    QVERIFY(task.isEmpty());
    QCOMPARE(text, (QStringList{"~importante~", "A."}));

    // Without "[testo]": an empty text.
    QVERIFY(writeBytes(path("senza.s01"), "[compito]\r\nSolo il compito\r\n"));
    QVERIFY(readExercise(path("senza.s01"), text, task));
    QCOMPARE(task, QStringLiteral("Solo il compito"));
    QVERIFY(text.isEmpty());

    // Brackets in odd places: "]" before "[" is no section word, a line
    // without "]" neither; a second "[compito]" starts the task again.
    QVERIFY(writeBytes(path("strano.s01"),
                       "[compito]\r\nuno\r\n]testo[\r\n[testo\r\n[compito]\r\ndue\r\n"
                       "xx[testo]yy\r\nriga\r\n"));
    QVERIFY(readExercise(path("strano.s01"), text, task));
    QCOMPARE(task, QStringLiteral("due"));
    QCOMPARE(text, QStringList{"riga"});
}

void TestFunzioni::clearBandAndRevealShowEachStep()
{
    QImage canvas(40, 30, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    int shownCount = 0;
    clearBand(canvas, 10, 25, 5, [&] { ++shownCount; });
    QCOMPARE(shownCount, 1);
    QCOMPARE(canvas.pixelColor(0, 10), QColor(Qt::white));
    QCOMPARE(canvas.pixelColor(24, 14), QColor(Qt::white));
    QCOMPARE(canvas.pixelColor(25, 14), QColor(Qt::black));
    QCOMPARE(canvas.pixelColor(0, 15), QColor(Qt::black));
    QCOMPARE(canvas.pixelColor(0, 9), QColor(Qt::black));

    FakeClock clock;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    canvas.fill(Qt::black);
    shownCount = 0;
    int redRowsSeen = -1;
    revealBands(canvas, 5, 4, picture, 3, 10, 20, [&] {
        ++shownCount;
        // Bands come from the top: the rows shown so far are red, the next not yet.
        int red = 0;
        while (red < 30 && canvas.pixelColor(10, 4 + red) == QColor(Qt::red))
            ++red;
        QVERIFY(red > redRowsSeen);
        redRowsSeen = red;
    });
    QCOMPARE(shownCount, 10 / 3 + 1);
    QCOMPARE(redRowsSeen, 10);
    QCOMPARE(canvas.pixelColor(5, 4), QColor(Qt::red));
    QCOMPARE(canvas.pixelColor(24, 13), QColor(Qt::red));
    QCOMPARE(canvas.pixelColor(25, 13), QColor(Qt::black));
    QCOMPARE(canvas.pixelColor(5, 14), QColor(Qt::black));
    QCOMPARE(canvas.pixelColor(4, 4), QColor(Qt::black));
    QVERIFY(clock.readings() >= 2 * shownCount);    // it waited between bands
}

void TestFunzioni::dissolveCoversTheAreaOnly()
{
    FakeClock clock;
    QImage canvas(100, 60, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    int shownCount = 0;
    int whiteAtFirstShow = -1;
    dissolveToColour(canvas, 10, 5, Qt::white, 6, 20, 50, [&] {
        if (++shownCount == 2) {
            int white = 0;
            for (int y = 5; y < 25; ++y)
                for (int x = 10; x < 60; ++x)
                    white += canvas.pixelColor(x, y) == QColor(Qt::white);
            whiteAtFirstShow = white;
        }
    });
    const int cells = (50 / 6 + 1) * (20 / 6 + 1);
    QCOMPARE(shownCount, (cells + 19) / 20 + 1);
    QVERIFY(whiteAtFirstShow > 0 && whiteAtFirstShow < 50 * 20);    // it went in steps
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 10 && x < 60 && y >= 5 && y < 25;
            QCOMPARE(canvas.pixelColor(x, y), QColor(inside ? Qt::white : Qt::black));
        }
    }
    dissolveToColour(canvas, 0, 0, Qt::red, 0, 20, 20);    // no side: nothing drawn
    QCOMPARE(canvas.pixelColor(0, 0), QColor(Qt::black));
}

void TestFunzioni::copyFontCopiesTheLook()
{
    QFont from(QStringLiteral("Liberation Serif"), 17);
    from.setBold(true);
    from.setItalic(true);
    from.setUnderline(true);
    QFont to(QStringLiteral("Liberation Sans"), 9);
    to.setStrikeOut(true);
    QColor colour(Qt::black);
    copyFont(from, QColor(255, 0, 0), to, colour);
    QCOMPARE(to.family(), from.family());
    QCOMPARE(to.pointSize(), 17);
    QVERIFY(to.bold() && to.italic() && to.underline() && !to.strikeOut());
    QCOMPARE(colour, QColor(255, 0, 0));
}

QTEST_MAIN(TestFunzioni)
// The pause before each sentence and the pacing of the effects wait on the
// real clock without keeping a core busy: a school laptop runs on battery.
void TestFunzioni::pausesLeaveTheProcessorFree()
{
    QElapsedTimer wall;
    const std::clock_t cpuBefore = std::clock();
    wall.start();
    waitTicks(400);
    const qint64 waited = wall.elapsed();
    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY2(waited >= 400, qPrintable(QStringLiteral("waited %1 ms").arg(waited)));
    QVERIFY2(cpuMs < 40, qPrintable(QStringLiteral("%1 ms of processor time in a 400 ms pause").arg(cpuMs)));
}

#include "tst_funzioni.moc"
