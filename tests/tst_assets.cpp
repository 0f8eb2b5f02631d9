// Checks every file of the program folder that ships with Salienta: the
// pictures, the animations and their scripts, the sounds, the instruction
// texts and the sample texts and exercises.

#include "execution/Uanimaf.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/Token.h"
#include "model/Uevidenz.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

const QString assetsDir = QStringLiteral(SALIENTA_ASSETS_DIR);

QString asset(const QString& relative)
{
    return assetsDir + QLatin1Char('/') + relative;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

const QStringList feedbackKinds{
    QStringLiteral("spieEs"), QStringLiteral("selErr"), QStringLiteral("priErr"),
    QStringLiteral("priOk"),  QStringLiteral("secErr"), QStringLiteral("giuBuo"),
    QStringLiteral("giuDis"), QStringLiteral("giuNon")};

const QStringList instructionTexts{
    QStringLiteral("istruzio.txt"), QStringLiteral("progetto.txt"),
    QStringLiteral("preparaz.txt"), QStringLiteral("consegna.txt"),
    QStringLiteral("modifica.txt")};

// Files of a folder of the program folder, by name pattern, sorted.
QStringList filesIn(const QString& folder, const QStringList& patterns)
{
    return QDir(asset(folder)).entryList(patterns, QDir::Files, QDir::Name);
}

int countColour(const QImage& img, QRgb colour)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    }
    return n;
}

double meanLuminance(const QImage& img, const QRect& area)
{
    double sum = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += qGray(img.pixel(x, y));
            ++n;
        }
    return n ? sum / n : 0;
}

// A WAV file, as far as the program's sound player needs it.
struct WavInfo {
    QString error;          // empty when the file is a valid PCM WAV
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bits = 0;
    QByteArray samples;
};

WavInfo parseWav(const QByteArray& data)
{
    WavInfo w;
    if (data.size() < 12 || data.left(4) != "RIFF" || data.mid(8, 4) != "WAVE") {
        w.error = QStringLiteral("no RIFF/WAVE header");
        return w;
    }
    const quint32 riffSize = qFromLittleEndian<quint32>(data.constData() + 4);
    if (riffSize + 8 != quint32(data.size())) {
        w.error = QStringLiteral("RIFF size %1 does not match the file size %2")
                      .arg(riffSize + 8).arg(data.size());
        return w;
    }
    bool haveFmt = false, haveData = false;
    qsizetype pos = 12;
    while (pos + 8 <= data.size()) {
        const QByteArray id = data.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + pos + 4);
        const qsizetype body = pos + 8;
        if (body + qsizetype(size) > data.size()) {
            w.error = QStringLiteral("chunk %1 runs past the end").arg(QString::fromLatin1(id));
            return w;
        }
        if (id == "fmt ") {
            if (size < 16) {
                w.error = QStringLiteral("short fmt chunk");
                return w;
            }
            const char* f = data.constData() + body;
            w.format = qFromLittleEndian<quint16>(f);
            w.channels = qFromLittleEndian<quint16>(f + 2);
            w.sampleRate = int(qFromLittleEndian<quint32>(f + 4));
            const quint32 byteRate = qFromLittleEndian<quint32>(f + 8);
            const quint16 blockAlign = qFromLittleEndian<quint16>(f + 12);
            w.bits = qFromLittleEndian<quint16>(f + 14);
            if (blockAlign != w.channels * w.bits / 8
                || byteRate != quint32(w.sampleRate) * blockAlign) {
                w.error = QStringLiteral("inconsistent fmt chunk");
                return w;
            }
            haveFmt = true;
        } else if (id == "data") {
            w.samples = data.mid(body, size);
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFmt || !haveData)
        w.error = QStringLiteral("missing fmt or data chunk");
    return w;
}

// Sentences of a plain text as the program's conversion makes them, each
// sentence's lines joined with a space.
QStringList plainSentences(const QStringList& lines)
{
    Tparametri params;
    params.mode = fromPlainText;
    params.source = lines;
    params.separator = QLatin1Char('.');
    const Tevidenziatore model(params);
    QStringList out;
    for (int n = 0; n < model.sentenceCount; ++n) {
        QStringList parts;
        model.sentenceLines(n, parts);
        out << trimSpaces(parts.join(QLatin1Char(' ')));
    }
    return out;
}

} // namespace

class TestAssets : public QObject
{
    Q_OBJECT

private slots:
    void everyFileTheProgramNamesExists();
    void levelButtonsShowTheLevelColoursAndTheFocus();
    void coverAndTitleFitTheCoverWindow();
    void largeButtonPicturesSitOnAnyButtonFace();
    void everyGifIsAnimatedAndFitsItsPlace();
    void everyFeedbackScriptNamesAnAnimatedPicture();
    void everyKindFindsAValidAudibleSound();
    void textFilesAreWindows1252WithCrLf();
    void sampleTextsConvertIntoSentences();
    void sampleExercisesAndNameTableReadBack();
    void programFolderStaysSmall();
};

void TestAssets::everyFileTheProgramNamesExists()
{
    QStringList required{
        QStringLiteral("immagini/nonBu1.bmp"),   QStringLiteral("immagini/nonBu2.bmp"),
        QStringLiteral("immagini/impBu1.bmp"),   QStringLiteral("immagini/impBu2.bmp"),
        QStringLiteral("immagini/moltoBu1.bmp"), QStringLiteral("immagini/moltoBu2.bmp"),
        QStringLiteral("immagini/cover.bmp"),    QStringLiteral("immagini/scritta.bmp"),
        QStringLiteral("immagini/salAnim.gif"),  QStringLiteral("esercizi/LONGNAME.LST")};
    required << instructionTexts;
    for (const QString& kind : feedbackKinds)
        required << QStringLiteral("animazio/") + kind + QStringLiteral("1.txt");
    for (const QString& r : std::as_const(required))
        QVERIFY2(QFileInfo(asset(r)).isFile(), qPrintable(r + QStringLiteral(" is missing")));
    // the results archive is created on first use, never shipped
    QVERIFY(!QFileInfo::exists(asset(QStringLiteral("risult"))));
}

void TestAssets::levelButtonsShowTheLevelColoursAndTheFocus()
{
    struct Level {
        const char* name;
        QRgb fill;
        QRgb text;
    };
    const Level levels[] = {{"nonBu", qRgb(255, 255, 255), qRgb(0, 0, 0)},
                            {"impBu", qRgb(0, 255, 255), qRgb(255, 0, 0)},
                            {"moltoBu", qRgb(255, 0, 0), qRgb(0, 255, 255)}};
    const QRgb yellow = qRgb(255, 255, 0);
    QSize common;
    for (const Level& l : levels) {
        const QString base = QStringLiteral("immagini/") + QLatin1String(l.name);
        const QImage rest(asset(base + QStringLiteral("1.bmp")));
        const QImage focus(asset(base + QStringLiteral("2.bmp")));
        QVERIFY2(!rest.isNull() && !focus.isNull(), l.name);
        QCOMPARE(focus.size(), rest.size());
        if (!common.isValid())
            common = rest.size();
        QCOMPARE(rest.size(), common);   // the three buttons share one height

        // Three buttons share a window at least 640 pixels wide.
        QVERIFY2(rest.width() <= 640 / 3 - 6 && rest.width() >= 150, l.name);
        QVERIFY2(rest.height() >= 48 && rest.height() <= 120, l.name);

        // The box is the level's fill colour, its words the level's text
        // colour in strokes thick enough to count hundreds of pure pixels.
        const int area = rest.width() * rest.height();
        QVERIFY2(countColour(rest, l.fill) > area / 3, l.name);
        QVERIFY2(countColour(rest, l.text) > 400, l.name);
        QVERIFY2(countColour(focus, l.text) > 400, l.name);
        QCOMPARE(rest.pixel(rest.width() / 2, 12) & 0xFFFFFF, l.fill & 0xFFFFFF);

        // Focus: a wide yellow frame that the resting button does not have.
        QCOMPARE(countColour(rest, yellow), 0);
        QVERIFY2(countColour(focus, yellow) > area / 10, l.name);
        QCOMPARE(focus.pixel(6, focus.height() / 2 - 20) & 0xFFFFFF, yellow & 0xFFFFFF);
    }
}

void TestAssets::coverAndTitleFitTheCoverWindow()
{
    const QImage cover(asset(QStringLiteral("immagini/cover.bmp")));
    QVERIFY(!cover.isNull());
    // drawn at (-2, -2) it must fill the 632 x 453 window
    QVERIFY(cover.width() >= 634 && cover.height() >= 455);
    QVERIFY(cover.width() <= 700 && cover.height() <= 500);
    // the credit lines and "premi un tasto per cominciare" are yellow text
    // written straight on the cover: it must be dark there
    const QRect creditsLeft(26 + 2, 256 + 2, 360, 110);
    const QRect creditsRight(405 + 2, 256 + 2, 220, 44);
    const QRect pressKey(192 + 2, 405 + 2, 260, 24);
    for (const QRect& r : {creditsLeft, creditsRight, pressKey})
        QVERIFY2(meanLuminance(cover, r) < 70, qPrintable(QStringLiteral("bright cover at %1,%2")
                                                             .arg(r.x()).arg(r.y())));

    const QImage title(asset(QStringLiteral("immagini/scritta.bmp")));
    QVERIFY(!title.isNull());
    QVERIFY(70 + title.width() <= 632 && 47 + title.height() <= 453);
    QVERIFY(title.width() >= 200 && title.height() >= 60);
    // the top-left pixel's colour is transparent: it must be a real
    // background, with the lettering a good part of the picture
    const QRgb key = title.pixel(0, 0);
    const int keyed = countColour(title, key);
    const int all = title.width() * title.height();
    QVERIFY2(keyed > all / 5 && keyed < all * 9 / 10, qPrintable(QString::number(keyed)));
    // the lettering stands out from the cover behind it
    const QImage behind = cover.copy(72, 49, title.width(), title.height());
    int brightLetters = 0;
    for (int y = 0; y < title.height(); ++y)
        for (int x = 0; x < title.width(); ++x)
            if (title.pixel(x, y) != key && qGray(title.pixel(x, y)) > qGray(behind.pixel(x, y)) + 100)
                ++brightLetters;
    QVERIFY2(brightLetters > all / 10, qPrintable(QString::number(brightLetters)));
}

void TestAssets::largeButtonPicturesSitOnAnyButtonFace()
{
    for (const char* name : {"immagini/archivio.png", "immagini/esecuzione.png"}) {
        const QImage picture = QImage(asset(QLatin1String(name))).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!picture.isNull(), name);
        QCOMPARE(picture.size(), QSize(48, 48));
        // Transparent around the drawing, so no square of another grey shows
        // on the button; the drawing itself fills a good part of the square
        // and is outlined in black, as the level buttons are.
        for (const QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47)})
            QCOMPARE(qAlpha(picture.pixel(corner)), 0);
        int opaque = 0, outline = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x) {
                const QRgb p = picture.pixel(x, y);
                opaque += qAlpha(p) == 255;
                outline += qAlpha(p) == 255 && qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40;
            }
        QVERIFY2(opaque > 48 * 48 / 2, name);
        QVERIFY2(outline > 60, name);
    }
    // The archive's catalogue label carries the colours of the levels.
    const QImage archive(asset(QStringLiteral("immagini/archivio.png")));
    QVERIFY(countColour(archive, qRgb(255, 0, 0)) > 20);
    QVERIFY(countColour(archive, qRgb(0, 255, 255)) > 10);
}

void TestAssets::everyGifIsAnimatedAndFitsItsPlace()
{
    QStringList gifs;
    QDirIterator it(assetsDir, {QStringLiteral("*.gif")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        gifs << it.next();
    QVERIFY(gifs.size() >= 1 + feedbackKinds.size());
    for (const QString& path : std::as_const(gifs)) {
        const QString name = QFileInfo(path).fileName();
        QImageReader reader(path);
        QVERIFY2(reader.canRead(), qPrintable(name));
        QVERIFY2(reader.supportsAnimation(), qPrintable(name));
        QVERIFY2(reader.imageCount() > 1, qPrintable(name));
        QCOMPARE(reader.loopCount(), -1);   // plays for as long as it is shown

        QMovie movie(path);
        QVERIFY2(movie.isValid(), qPrintable(name));
        QCOMPARE(movie.frameCount(), reader.imageCount());
        QSet<qint64> distinct;
        for (int i = 0; i < movie.frameCount(); ++i) {
            QVERIFY2(movie.jumpToFrame(i), qPrintable(name));
            const QImage frame = movie.currentImage();
            QVERIFY2(!frame.isNull(), qPrintable(name));
            const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
            distinct.insert(qint64(qHash(QByteArray(reinterpret_cast<const char*>(rgb.constBits()),
                                                    rgb.sizeInBytes()))));
            // slow enough for a child to follow, never stuck
            QVERIFY2(movie.nextFrameDelay() >= 200 && movie.nextFrameDelay() <= 3000,
                     qPrintable(name + QStringLiteral(" delay ")
                                + QString::number(movie.nextFrameDelay())));
        }
        QVERIFY2(distinct.size() > 1, qPrintable(name + QStringLiteral(": frames all alike")));

        const QSize size = movie.frameRect().size();
        if (name == QLatin1String("salAnim.gif")) {
            QVERIFY(size.width() <= 340 && size.height() <= 340);
            QVERIFY(size.width() >= 200 && size.height() >= 200);
        } else {
            // feedback pictures: shown 288 pixels tall in a 250-pixel window
            QVERIFY2(size.width() >= 120 && size.width() <= 400, qPrintable(name));
            QVERIFY2(size.height() >= 150 && size.height() <= 400, qPrintable(name));
        }
    }
}

void TestAssets::everyFeedbackScriptNamesAnAnimatedPicture()
{
    QSet<QString> pictures;
    for (const QString& kind : feedbackKinds) {
        const QString path = asset(QStringLiteral("animazio/") + kind + QStringLiteral("1.txt"));
        const FeedbackScript script = readFeedbackScript(path, asset(QStringLiteral("animazio/")));
        QVERIFY2(script.problems.isEmpty(), qPrintable(kind + QLatin1Char(' ')
                                                       + script.problems.join(QLatin1Char(';'))));
        QVERIFY2(!script.picture.isEmpty(), qPrintable(kind));
        const QString picture = asset(QStringLiteral("animazio/") + script.picture);
        QVERIFY2(QFileInfo(picture).isFile(), qPrintable(kind + QStringLiteral(": ") + script.picture));
        QImageReader reader(picture);
        QVERIFY2(reader.canRead() && reader.imageCount() > 1, qPrintable(script.picture));
        for (const FeedbackSprite& sprite : script.sprites)
            QVERIFY2(!sprite.picture.isNull(), qPrintable(sprite.file));
        pictures.insert(script.picture);
    }
    // each kind has a picture of its own
    QCOMPARE(pictures.size(), feedbackKinds.size());
}

void TestAssets::everyKindFindsAValidAudibleSound()
{
    for (const QString& kind : feedbackKinds) {
        const QStringList found = filesIn(QStringLiteral("audio"), {kind + QStringLiteral("*.wav")});
        QVERIFY2(!found.isEmpty(), qPrintable(kind + QStringLiteral(": no sound")));
        for (const QString& file : found) {
            const WavInfo w = parseWav(fileBytes(asset(QStringLiteral("audio/") + file)));
            QVERIFY2(w.error.isEmpty(), qPrintable(file + QStringLiteral(": ") + w.error));
            QCOMPARE(w.format, 1);      // PCM
            QCOMPARE(w.channels, 1);
            QCOMPARE(w.bits, 16);
            QVERIFY(w.sampleRate >= 8000 && w.sampleRate <= 48000);
            const qsizetype count = w.samples.size() / 2;
            const double seconds = double(count) / w.sampleRate;
            QVERIFY2(seconds >= 0.5 && seconds <= 15, qPrintable(file));
            double sum = 0;
            int peak = 0;
            qsizetype loud = 0;
            for (qsizetype i = 0; i < count; ++i) {
                const int v = qFromLittleEndian<qint16>(w.samples.constData() + 2 * i);
                peak = std::max(peak, std::abs(v));
                sum += double(v) * v;
                if (std::abs(v) > 1000)
                    ++loud;
            }
            const double rms = std::sqrt(sum / double(count));
            QVERIFY2(peak > 16000, qPrintable(file + QStringLiteral(" peak ") + QString::number(peak)));
            QVERIFY2(rms > 1000, qPrintable(file + QStringLiteral(" rms ") + QString::number(rms)));
            // sound through most of it, not one click in silence
            QVERIFY2(loud > count / 4, qPrintable(file));
        }
    }
}

void TestAssets::textFilesAreWindows1252WithCrLf()
{
    QStringList texts;
    for (const QString& t : instructionTexts)
        texts << t;
    for (const QString& t : filesIn(QStringLiteral("animazio"), {QStringLiteral("*.txt")}))
        texts << QStringLiteral("animazio/") + t;
    for (const QString& t : filesIn(QStringLiteral("testi"), {QStringLiteral("*")}))
        texts << QStringLiteral("testi/") + t;
    for (const QString& t : filesIn(QStringLiteral("esercizi"), {QStringLiteral("*")}))
        texts << QStringLiteral("esercizi/") + t;
    QVERIFY(texts.size() >= 5 + 8 + 4 + 5);

    const QByteArray undefinedInCp1252("\x81\x8D\x8F\x90\x9D");
    for (const QString& t : std::as_const(texts)) {
        const QByteArray bytes = fileBytes(asset(t));
        QVERIFY2(!bytes.isEmpty(), qPrintable(t));
        QVERIFY2(bytes.endsWith("\r\n"), qPrintable(t + QStringLiteral(": no CR LF at the end")));
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\n')
                QVERIFY2(i > 0 && bytes[i - 1] == '\r', qPrintable(t + QStringLiteral(": lone LF")));
            if (c == '\r')
                QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n',
                         qPrintable(t + QStringLiteral(": lone CR")));
            QVERIFY2(c != '\0' && !undefinedInCp1252.contains(c), qPrintable(t));
        }
        QStringDecoder decoder("windows-1252");
        QVERIFY(decoder.isValid());
        const QString text = decoder(bytes);
        QVERIFY2(!decoder.hasError(), qPrintable(t));
        // UTF-8 read as windows-1252 shows up as "Ã" pairs
        QVERIFY2(!text.contains(QChar(0xC3)), qPrintable(t + QStringLiteral(": UTF-8 inside")));
        QCOMPARE(text, decodeCp1252(bytes));
        for (const QString& line : splitLines(text))
            QVERIFY2(line.size() <= 255, qPrintable(t + QStringLiteral(": line over 255")));
    }
    // Italian texts: accented letters are there, and came through as such
    for (const QString& t : instructionTexts) {
        const QString text = decodeCp1252(fileBytes(asset(t)));
        QVERIFY2(text.size() > 600, qPrintable(t));
        QVERIFY2(text.contains(QStringLiteral("à")) || text.contains(QStringLiteral("è"))
                     || text.contains(QStringLiteral("ù")),
                 qPrintable(t));
    }
}

void TestAssets::sampleTextsConvertIntoSentences()
{
    const QStringList texts = filesIn(QStringLiteral("testi"), {QStringLiteral("*.txt")});
    QVERIFY(texts.size() >= 4);
    QList<int> counts;
    for (const QString& t : texts) {
        QStringList lines;
        QVERIFY2(loadText(lines, asset(QStringLiteral("testi/") + t)), qPrintable(t));
        QVERIFY2(!isBlankText(lines), qPrintable(t));
        QVERIFY2(!hasReservedChars(lines), qPrintable(t));
        const QStringList sentences = plainSentences(lines);
        for (const QString& s : sentences) {
            // no stray separator: every sentence has words and ends with "."
            QVERIFY2(s.size() > 3 && s.endsWith(QLatin1Char('.')),
                     qPrintable(t + QStringLiteral(": «") + s + QStringLiteral("»")));
        }
        counts << int(sentences.size());
    }
    std::sort(counts.begin(), counts.end());
    QVERIFY2(counts.last() > 200, qPrintable(QString::number(counts.last())));
    QVERIFY(counts.first() <= 20);
    // different lengths
    QVERIFY(QSet<int>(counts.begin(), counts.end()).size() == counts.size());
}

void TestAssets::sampleExercisesAndNameTableReadBack()
{
    // The name table operations may add entries: work on a copy.
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString folder = tmp.path() + QStringLiteral("/esercizi");
    QVERIFY(QDir().mkpath(folder));
    const QStringList files = filesIn(QStringLiteral("esercizi"), {QStringLiteral("*")});
    for (const QString& f : files)
        QVERIFY(QFile::copy(asset(QStringLiteral("esercizi/") + f), folder + QLatin1Char('/') + f));
    const QByteArray tableBefore = fileBytes(folder + QStringLiteral("/LONGNAME.LST"));

    QStringList table;
    QVERIFY(loadText(table, folder + QStringLiteral("/LONGNAME.LST")));
    QStringList longNames;
    listLongNames(longNames, folder, QStringLiteral("*.s??"));
    QVERIFY(longNames.size() >= 4);
    QCOMPARE(longNames.size(), table.size());
    // every exercise file had its entry: listing added none
    QCOMPARE(fileBytes(folder + QStringLiteral("/LONGNAME.LST")), tableBefore);

    // the sentences of the sample texts, to find each exercise's source
    QHash<QString, QStringList> sources;
    for (const QString& t : filesIn(QStringLiteral("testi"), {QStringLiteral("*.txt")})) {
        QStringList lines;
        QVERIFY(loadText(lines, asset(QStringLiteral("testi/") + t)));
        sources.insert(t, plainSentences(lines));
    }

    for (const QString& entry : std::as_const(table)) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        QVERIFY2(eq > 0, qPrintable(entry));
        const QString fileName = entry.left(eq);
        const QString longName = entry.mid(eq + 1);
        QVERIFY(longNames.contains(longName));
        QCOMPARE(longNameFor(folder, fileName), longName);
        QCOMPARE(fileName, exerciseFileName(exerciseBase(longName), 1));
        QCOMPARE(fileNameFor(folder, longName), fileName);

        QStringList text;
        QString task;
        QVERIFY2(readExercise(folder + QLatin1Char('/') + fileName, text, task), qPrintable(fileName));
        QVERIFY2(!trimSpaces(task).isEmpty(), qPrintable(fileName));
        QVERIFY2(task.size() <= 255, qPrintable(fileName));   // the task box holds 255
        QVERIFY(!hasReservedChars(task.split(QStringLiteral("\r\n"))));
        QVERIFY2(Tevidenziatore::parseTag(text.value(0)) != daDeterminare
                     && text.value(0).contains(QLatin1Char('~')),
                 qPrintable(fileName + QStringLiteral(": does not begin with a tag line")));
        QStringList textLines;
        for (const QString& line : std::as_const(text)) {
            if (line.contains(QLatin1Char('~'))) {
                QVERIFY2(line == QLatin1String("~nonImportante~") || line == QLatin1String("~importante~")
                             || line == QLatin1String("~moltoImportante~"),
                         qPrintable(fileName + QStringLiteral(": tag ") + line));
            } else {
                textLines << line;
            }
        }
        QVERIFY(!hasReservedChars(textLines));

        Tparametri params;
        params.mode = fromExercise;
        params.source = text;
        params.compito = task;
        const Tevidenziatore model(params);
        QVERIFY2(model.sentenceCount >= 10, qPrintable(fileName));
        QCOMPARE(model.compito, task);
        QHash<int, int> perLevel;
        QStringList sentences;
        for (int n = 0; n < model.sentenceCount; ++n) {
            ++perLevel[model.importanceOf(n)];
            QStringList parts;
            model.sentenceLines(n, parts);
            QVERIFY2(!isBlankText(parts), qPrintable(fileName));
            sentences << trimSpaces(parts.join(QLatin1Char(' ')));
        }
        // a real exercise: all three levels, few "molto importante"
        QVERIFY2(perLevel.value(nonImportante) > 0 && perLevel.value(importante) > 0
                     && perLevel.value(moltoImportante) > 0,
                 qPrintable(fileName));
        QVERIFY2(perLevel.value(moltoImportante) * 3 <= model.sentenceCount, qPrintable(fileName));

        // the exercise is one of the sample texts, sentence for sentence
        bool matched = false;
        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            matched = matched || it.value() == sentences;
        QVERIFY2(matched, qPrintable(fileName + QStringLiteral(": no sample text matches")));
    }
}

void TestAssets::programFolderStaysSmall()
{
    qint64 total = 0;
    QDirIterator it(assetsDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
        QVERIFY2(it.fileInfo().size() < 600 * 1024, qPrintable(it.filePath()));
    }
    QVERIFY2(total < 4 * 1024 * 1024, qPrintable(QString::number(total)));
}

QTEST_MAIN(TestAssets)
#include "tst_assets.moc"
