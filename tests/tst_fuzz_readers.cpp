// Seeded random inputs for the readers of stored files (the exercise reader,
// the section files and the name table) and for the readers of the texts a
// teacher brings (plain texts in any encoding, and damaged documents). Each test runs for about two
// seconds (SALIENTA_FUZZ_MS to change it); a failure names the seed that
// reproduces it.

#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/PlainText.h"
#include "model/TextSources.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

// SALIENTA_FUZZ_MS and SALIENTA_FUZZ_SEED run longer or from other seeds.
const qint64 runMs = qEnvironmentVariableIsSet("SALIENTA_FUZZ_MS")
                         ? qEnvironmentVariableIntValue("SALIENTA_FUZZ_MS")
                         : 2000;
const quint32 firstSeed = qEnvironmentVariableIsSet("SALIENTA_FUZZ_SEED")
                              ? quint32(qEnvironmentVariableIntValue("SALIENTA_FUZZ_SEED"))
                              : 20241208u;

// Bytes with a bias towards the characters the readers look at.
QByteArray randomBytes(QRandomGenerator& random, int maxLength)
{
    static const char special[] = {'[', ']', '=', '~', ' ', '\r', '\n', '^', '|', '\0', 'a', 'Z'};
    const int length = random.bounded(maxLength + 1);
    QByteArray bytes;
    bytes.reserve(length);
    for (int i = 0; i < length; ++i) {
        if (random.bounded(3) == 0)
            bytes.append(special[random.bounded(int(sizeof special))]);
        else
            bytes.append(char(random.bounded(256)));
    }
    return bytes;
}

// A windows-1252 word without the reserved and structural characters.
QString randomWord(QRandomGenerator& random, int maxLength)
{
    static const QString letters = QStringLiteral("abcxyzABCXYZ0189 èÈàùò€'.,;:!?-_^|");
    const int length = random.bounded(maxLength + 1);
    QString word;
    for (int i = 0; i < length; ++i)
        word.append(letters.at(random.bounded(int(letters.size()))));
    return word;
}

const QByteArray lineEnds[] = {"\r\n", "\r", "\n"};

QString seedText(quint32 seed)
{
    return QStringLiteral("seed %1").arg(seed);
}

} // namespace

class TestFuzzReaders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exerciseReaderOnRandomBytes();
    void exerciseReaderRoundTrip();
    void sectionFilesOnRandomBytes();
    void sectionFilesRoundTrip();
    void nameTableOnRandomBytes();
    void plainTextsOnRandomBytes();
    void damagedDocuments();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& n) const { return QDir(dir->path()).filePath(n); }
};

void TestFuzzReaders::init()
{
    // In memory where the system has it: the readers are under test, not the disk.
    dir = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
              ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/salienta-fuzz-XXXXXX"))
              : std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestFuzzReaders::exerciseReaderOnRandomBytes()
{
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    for (quint32 seed = firstSeed; timer.elapsed() < runMs; ++seed, ++runs) {
        QRandomGenerator random(seed);
        const QByteArray bytes = randomBytes(random, 3000);
        QVERIFY(writeBytes(path("es.s01"), bytes));
        QStringList text;
        QString task;
        QVERIFY2(readExercise(path("es.s01"), text, task), qPrintable(seedText(seed)));
        // Every text line and every task line is a whole line of the file.
        const QStringList lines = splitLines(decodeCp1252(bytes));
        qsizetype chars = 0;
        for (const QString& line : std::as_const(text)) {
            QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(seedText(seed)));
            QVERIFY2(lines.contains(line), qPrintable(seedText(seed)));
            chars += line.size();
        }
        if (!task.isEmpty()) {
            for (const QString& part : task.split(QStringLiteral("\r\n")))
                QVERIFY2(lines.contains(part), qPrintable(seedText(seed)));
        }
        QVERIFY2(text.size() <= lines.size(), qPrintable(seedText(seed)));
        QVERIFY2(chars + task.size() <= bytes.size() + lines.size(), qPrintable(seedText(seed)));
    }
    qInfo("%d random exercise files read", runs);
}

void TestFuzzReaders::exerciseReaderRoundTrip()
{
    QElapsedTimer timer;
    timer.start();
    for (quint32 seed = firstSeed; timer.elapsed() < runMs / 2; ++seed) {
        QRandomGenerator random(seed);
        QStringList taskLines;
        const int taskCount = random.bounded(4);
        for (int i = 0; i < taskCount; ++i)
            taskLines << randomWord(random, 40);
        while (!taskLines.isEmpty() && taskLines.first().isEmpty())
            taskLines.removeFirst();    // leading blank task lines are not kept
        QStringList textLines;
        const int textCount = random.bounded(30);
        for (int i = 0; i < textCount; ++i)
            textLines << (random.bounded(5) == 0 ? QStringLiteral("~importante~")
                                                 : randomWord(random, 300));
        QStringList file = QStringList{randomWord(random, 20), "[compito]"} + taskLines;
        file << QStringLiteral(" [ testo ] ") << textLines;
        const QByteArray end = lineEnds[random.bounded(3)];
        QVERIFY(writeBytes(path("rt.s01"), encodeCp1252(file.join(QString::fromLatin1(end)))
                                               + (random.bounded(2) ? end : QByteArray())));
        QStringList text;
        QString task;
        QVERIFY(readExercise(path("rt.s01"), text, task));
        QCOMPARE(task, taskLines.join(QStringLiteral("\r\n")));
        // An empty last line without its end is no line.
        if (!textLines.isEmpty() && textLines.last().isEmpty() && text.size() < textLines.size())
            textLines.removeLast();
        QVERIFY2(text == textLines, qPrintable(seedText(seed)));
    }
}

void TestFuzzReaders::sectionFilesOnRandomBytes()
{
    ScriptedDialogs script;
    const QString key = QStringLiteral("identificatore");
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    for (quint32 seed = firstSeed; timer.elapsed() < runMs; ++seed, ++runs) {
        QRandomGenerator random(seed);
        QByteArray bytes = randomBytes(random, 3000);
        // Sprinkle real headers among the noise.
        for (int i = random.bounded(4); i > 0; --i)
            bytes.insert(random.bounded(int(bytes.size()) + 1),
                         QByteArray("\r\n[identificatore=V") + char('0' + random.bounded(3)) + "]\n");
        QVERIFY(writeBytes(path("risult.sal"), bytes));

        // The byte-level reader agrees with the line-by-line reading of keys.
        const QStringList lines = splitLines(decodeCp1252(bytes));
        QStringList expected;
        QStringList kept;
        bool keep = false;
        const QString removed = QStringLiteral("V1");
        for (const QString& line : lines) {
            QString k;
            QString v;
            lineKeyValue(line, k, v);
            if (k == key) {
                expected << v;
                keep = v != removed;
            }
            if (keep)
                kept << line;
        }
        QStringList values;
        listValues(values, key, dir->path(), "risult", "sal");
        QVERIFY2(values == expected, qPrintable(seedText(seed)));

        QStringList block;
        readBlock(block, key, removed, true, dir->path(), "risult", "sal");
        for (const QString& line : std::as_const(block))
            QVERIFY2(!line.isEmpty() && trimSpaces(line) == line, qPrintable(seedText(seed)));

        QVERIFY2(removeBlock(key, removed, dir->path(), "risult", "sal"), qPrintable(seedText(seed)));
        QVERIFY2(splitLines(decodeCp1252(readBytes(path("risult.sal")))) == kept,
                 qPrintable(seedText(seed)));
        QStringList after;
        listValues(after, key, dir->path(), "risult", "sal");
        expected.removeAll(removed);
        QVERIFY2(after == expected, qPrintable(seedText(seed)));
        QVERIFY2(block.isEmpty() || !values.isEmpty(), qPrintable(seedText(seed)));
    }
    QVERIFY(script.messages().isEmpty());
    qInfo("%d random section files read, listed and rewritten", runs);
}

void TestFuzzReaders::sectionFilesRoundTrip()
{
    ScriptedDialogs script;
    const QString key = QStringLiteral("identificatore");
    QElapsedTimer timer;
    timer.start();
    for (quint32 seed = firstSeed; timer.elapsed() < runMs / 2; ++seed) {
        QRandomGenerator random(seed);
        QFile::remove(path("risult.sal"));
        // Runs appended one by one; values may repeat, so blocks may stand in two places.
        QList<QPair<QString, QStringList>> runs;
        const int count = 1 + random.bounded(8);
        for (int r = 0; r < count; ++r) {
            const QString value = QStringLiteral("P%1^R%2").arg(random.bounded(3)).arg(random.bounded(3));
            QStringList block{QStringLiteral("[identificatore=%1]").arg(value), "[informazioni]",
                              trimSpaces("NOME=" + randomWord(random, 10))};
            for (int i = random.bounded(10); i > 0; --i)
                block << trimSpaces(randomWord(random, 60));
            QVERIFY(appendLines(block, dir->path(), "risult", "sal"));
            block.removeAll(QString());
            runs.append({value, block});
        }
        for (const auto& run : std::as_const(runs)) {
            QStringList expected;
            for (const auto& other : std::as_const(runs)) {
                if (other.first == run.first)
                    expected += other.second;
            }
            QStringList out;
            readBlock(out, key, run.first, true, dir->path(), "risult", "sal");
            QVERIFY2(out == expected, qPrintable(seedText(seed)));
        }
        const QString gone = runs.at(random.bounded(int(runs.size()))).first;
        QVERIFY(removeBlock(key, gone, dir->path(), "risult", "sal"));
        QStringList values;
        listValues(values, key, dir->path(), "risult", "sal");
        QStringList expectedValues;
        for (const auto& run : std::as_const(runs)) {
            if (run.first != gone)
                expectedValues << run.first;
        }
        QVERIFY2(values == expectedValues, qPrintable(seedText(seed)));
    }
    QVERIFY(script.messages().isEmpty());
}

void TestFuzzReaders::nameTableOnRandomBytes()
{
    ScriptedDialogs script;
    const QRegularExpression shape(QStringLiteral("^[A-Z0-9]{0,8}\\.S[0-9][0-9]$"));
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    for (quint32 seed = firstSeed; timer.elapsed() < runMs; ++seed, ++runs) {
        QRandomGenerator random(seed);
        QVERIFY(writeBytes(path("LONGNAME.LST"), randomBytes(random, 2000)));
        const QStringList before = splitLines(decodeCp1252(readBytes(path("LONGNAME.LST"))));

        const QString fileName = QString::fromLatin1(randomBytes(random, 20)).remove(u'/')
                                 .remove(QChar(0));
        const QString longName = longNameFor(dir->path(), fileName);
        QVERIFY2(longName.size() <= 255, qPrintable(seedText(seed)));
        QVERIFY2(longNameFor(dir->path(), fileName) == longName, qPrintable(seedText(seed)));

        const QString wanted = randomWord(random, 300) + QStringLiteral("x");
        const QString name = fileNameFor(dir->path(), wanted);
        QVERIFY2(!name.isEmpty(), qPrintable(seedText(seed)));
        QVERIFY2(fileNameFor(dir->path(), wanted) == name, qPrintable(seedText(seed)));
        bool wasKnown = false;
        for (const QString& line : before) {
            const qsizetype eq = line.indexOf(u'=');
            wasKnown = wasKnown || (eq >= 0 && line.mid(eq + 1).left(255) == wanted.left(255));
        }
        if (!wasKnown) {
            QVERIFY2(shape.match(name).hasMatch(), qPrintable(seedText(seed) + ": " + name));
            QVERIFY2(longNameFor(dir->path(), name) == wanted.left(255), qPrintable(seedText(seed)));
        }
        // Every line read is written back: nothing of the table is lost.
        const QStringList after = splitLines(decodeCp1252(readBytes(path("LONGNAME.LST"))));
        QVERIFY2(after.mid(0, before.size()) == before, qPrintable(seedText(seed)));

        QStringList listed;
        listLongNames(listed, dir->path(), "*.s??");
        QVERIFY(listed.isEmpty());    // no exercise files here
        QVERIFY2(removeEntry(dir->path(), name), qPrintable(seedText(seed)));
    }
    QVERIFY(script.messages().isEmpty());
    qInfo("%d random name tables read and extended", runs);
}

// Any bytes are either a text, read in some encoding, or refused with a
// message; a text read writes back its own bytes, and a change of it is read
// back as written where the encoding is not a guess.
void TestFuzzReaders::plainTextsOnRandomBytes()
{
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    int texts = 0;
    for (quint32 seed = firstSeed; timer.elapsed() < runMs; ++seed, ++runs) {
        QRandomGenerator random(seed);
        QByteArray bytes = randomBytes(random, 2000);
        if (seed % 3 == 0)   // many readable texts: UTF-8 of random words
            bytes = (randomWord(random, 200) + QStringLiteral("\n") + randomWord(random, 200)).toUtf8();
        QVERIFY(writeBytes(path("testo.txt"), bytes));
        const SourceText source = readSource(path("testo.txt"));
        if (!source.ok()) {
            QVERIFY2(source.error.contains(QStringLiteral("testo.txt")), qPrintable(seedText(seed)));
            continue;
        }
        ++texts;
        const PlainText& text = source.plain;
        QVERIFY2(text.toBytes(text.text) == bytes, qPrintable(seedText(seed)));
        const QString changed = text.text + QStringLiteral("\nfine");
        QVERIFY2(text.canHold(changed), qPrintable(seedText(seed)));
        // Read back in the same encoding: certain for UTF-8 and UTF-16; for
        // an 8-bit text only where no guess is made (few bytes beyond ASCII).
        const qsizetype beyondAscii = std::count_if(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) >= 0x80; });
        if (text.format.isUnicode() || (beyondAscii < 40 && text.format.encoding == "windows-1252"
                                        && !bytes.contains('\x81') && !bytes.contains('\x8D')
                                        && !bytes.contains('\x8F') && !bytes.contains('\x90')
                                        && !bytes.contains('\x9D')))
            QVERIFY2(PlainText::fromBytes(text.toBytes(changed)).text == changed,
                     qPrintable(seedText(seed) + QStringLiteral(" ") + QString::fromLatin1(text.format.encoding)));
    }
    qInfo("%d random files read, %d of them as texts", runs, texts);
}

// Documents made by LibreOffice, damaged at random (bytes changed, cut
// short, bytes put in): each is read or refused with a message naming it,
// and never brings the program down.
void TestFuzzReaders::damagedDocuments()
{
    const QString folder = QStringLiteral(SALIENTA_SOURCE_DIR "/tests/data/texts/");
    const QStringList names = {QStringLiteral("citta.odt"), QStringLiteral("citta.docx"),
                               QStringLiteral("citta.pdf"), QStringLiteral("pagina.html")};
    QElapsedTimer timer;
    timer.start();
    int runs = 0;
    int read = 0;
    for (quint32 seed = firstSeed; timer.elapsed() < runMs; ++seed, ++runs) {
        QRandomGenerator random(seed);
        const QString name = names.at(int(seed % quint32(names.size())));
        QByteArray bytes = readBytes(folder + name);
        QVERIFY(!bytes.isEmpty());
        switch (random.bounded(3)) {
        case 0:
            for (int i = random.bounded(1, 20); i > 0; --i)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            break;
        case 1:
            bytes.truncate(random.bounded(int(bytes.size())));
            break;
        default:
            bytes.insert(random.bounded(int(bytes.size())), randomBytes(random, 200));
            break;
        }
        QVERIFY(writeBytes(path(name), bytes));
        const SourceText source = readSource(path(name));
        if (source.ok())
            ++read;
        else
            QVERIFY2(source.error.contains(name), qPrintable(seedText(seed) + QStringLiteral(": ") + source.error));
    }
    qInfo("%d damaged documents, %d of them still read", runs, read);
}

QTEST_MAIN(TestFuzzReaders)
#include "tst_fuzz_readers.moc"
