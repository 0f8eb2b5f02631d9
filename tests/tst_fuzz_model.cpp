#include "model/Funzioni.h"
#include "model/Token.h"
#include "model/Uevidenz.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// Seeded random operations on the text model, compared step by step with a
// plain reading of the rules that walks the whole line list every time. Odd
// lines (stray "~", brackets, blanks, long words, characters outside
// windows-1252) and direct edits of `lines` are mixed in.
class TestFuzzModel : public QObject
{
    Q_OBJECT

private slots:
    void randomOperationsAgreeWithTheRules();
    void randomRunsReadBackOrAreRefused();
};

namespace {

bool isTag(const QString& s) { return s.contains(QLatin1Char('~')); }

int refCount(const QStringList& lines)
{
    int n = 0;
    for (const QString& l : lines)
        n += isTag(l) ? 1 : 0;
    return n;
}

int refTagIndex(const QStringList& lines, int n)
{
    int count = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (isTag(lines.at(i)) && ++count == n)
            return i;
    }
    return -1;
}

ImportanceLevel refImportance(const QStringList& lines, int n)
{
    const int t = refTagIndex(lines, n);
    if (n < 0 || t < 0 || t + 1 >= lines.size())
        return nonImportante;
    return Tevidenziatore::parseTag(lines.at(t));
}

QStringList refSentenceLines(const QStringList& lines, int n)
{
    QStringList out;
    const int t = refTagIndex(lines, n);
    if (n < 0 || t < 0)
        return out;
    for (int i = t + 1; i < lines.size() && !isTag(lines.at(i)); ++i)
        out << lines.at(i);
    return out;
}

void refRemove(QStringList& lines, int n)
{
    int count = -1;
    bool marked = false;
    int i = 0;
    while (i < lines.size()) {
        if (isTag(lines.at(i))) {
            ++count;
            marked = count == n;
        }
        if (marked)
            lines.removeAt(i);
        else
            ++i;
    }
}

void refInsert(QStringList& lines, int n, const QStringList& text, ImportanceLevel level)
{
    const int count = refCount(lines);
    if (n < 0 || n > count)
        return;
    if (n == count) {
        lines << tagLineFor(level) << text;
        return;
    }
    if (text.isEmpty())
        return;
    const int t = refTagIndex(lines, n);
    for (int k = int(text.size()) - 1; k >= 0; --k)
        lines.insert(t, text.at(k));
    lines.insert(t, tagLineFor(level));
}

int refHit(const QStringList& lines, int x, int y, const QFontMetrics& fm, ImportanceLevel& level)
{
    if (y < 10 - 6)
        return -1;
    const int lh = fm.height() + 12;
    int sentences = 0;
    int textLines = 0;
    level = daDeterminare;
    int hit = -1;
    bool found = false;
    for (const QString& line : lines) {
        if (isTag(line)) {
            ++sentences;
            level = Tevidenziatore::parseTag(line);
            continue;
        }
        ++textLines;
        if (textLines * lh + 6 + (sentences - 2) * 10 > y - 10) {
            hit = sentences - 1;
            found = true;
            break;
        }
    }
    if (!found)
        return -1;
    if (hit >= 0) {
        const int w = fm.horizontalAdvance(lines.at(hit + textLines));
        if (x < 15 - 10 || x > 15 + 10 + w)
            return -1;
    }
    return hit;
}

QString randomLine(QRandomGenerator& random)
{
    static const QStringList pieces = {
        QStringLiteral("il"), QStringLiteral("gatto"), QStringLiteral("~"),
        QStringLiteral("~importante~"), QStringLiteral("~ moltoImportante ~"),
        QStringLiteral("~daDeterminare~"), QStringLiteral("["), QStringLiteral("]"),
        QStringLiteral("="), QStringLiteral("|"), QStringLiteral("."), QStringLiteral("\\"),
        QStringLiteral("   "), QStringLiteral("\t"), QString::fromUtf8("perché"),
        QString::fromUtf8("€"), QString::fromUtf8("中文"), QString::fromUtf8("😀"),
        QString(60, QLatin1Char('W')), QStringLiteral("Precipitevolissimevolmente"),
        QString(QChar(0xD800)), QStringLiteral("\r\n"), QString()};
    QString line;
    const int count = random.bounded(8);
    for (int i = 0; i < count; ++i) {
        line += pieces.at(random.bounded(int(pieces.size())));
        if (random.bounded(2))
            line += QLatin1Char(' ');
    }
    return line;
}

QStringList randomLines(QRandomGenerator& random, int maxLines)
{
    QStringList out;
    const int count = random.bounded(maxLines + 1);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(3) == 0)
            out << tagLineFor(static_cast<ImportanceLevel>(random.bounded(4)));
        else
            out << randomLine(random);
    }
    return out;
}


} // namespace

void TestFuzzModel::randomOperationsAgreeWithTheRules()
{
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter canvas(&image);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(17);
    canvas.setFont(font);
    const QFontMetrics fm = canvas.fontMetrics();
    const int lh = fm.height() + 12;

    QElapsedTimer timer;
    timer.start();
    int operations = 0;
    for (quint32 seed = 1; seed <= 300; ++seed) {
        QRandomGenerator random(seed);
        Tparametri params;
        params.mode = static_cast<TextSource>(random.bounded(4));
        params.source = randomLines(random, 30);
        params.separator = random.bounded(2) ? QLatin1Char('.') : QLatin1Char('\\');
        Tevidenziatore model(params);
        QStringList ref = model.lines;
        QCOMPARE(model.sentenceCount, refCount(ref));

        for (int step = 0; step < 150; ++step, ++operations) {
            const int count = refCount(ref);
            const int n = random.bounded(-2, count + 3);
            const QString context = QStringLiteral("seed %1 step %2").arg(seed).arg(step);
            switch (random.bounded(12)) {
            case 0: {
                const auto level = static_cast<ImportanceLevel>(random.bounded(5));
                model.setImportance(n, level);
                const int t = refTagIndex(ref, n);
                if (n >= 0 && t >= 0 && level <= moltoImportante)
                    ref[t] = tagLineFor(level);
                break;
            }
            case 1:
                model.removeSentence(n);
                refRemove(ref, n);
                QCOMPARE(model.sentenceCount, refCount(ref));
                break;
            case 2: {
                const QStringList text = randomLines(random, 3).filter(QRegularExpression(QStringLiteral("^[^~]*$")));
                const auto level = static_cast<ImportanceLevel>(1 + random.bounded(3));
                model.insertSentence(n, text, level);
                refInsert(ref, n, text, level);
                QCOMPARE(model.sentenceCount, refCount(ref));
                break;
            }
            case 3: {
                // A window edits the lines directly.
                const int at = ref.isEmpty() ? 0 : random.bounded(int(ref.size()) + 1);
                const QString line = randomLine(random);
                if (random.bounded(2) && at < ref.size()) {
                    model.lines[at] = line;
                    ref[at] = line;
                } else {
                    model.lines.insert(at, line);
                    ref.insert(at, line);
                }
                break;
            }
            case 4:
                model.hideAnswers();
                for (QString& l : ref)
                    if (isTag(l))
                        l = QStringLiteral("~nonImportante~");
                break;
            case 5: {
                model.restoreAnswers();
                int k = 0;
                for (QString& l : ref)
                    if (isTag(l) && k < model.hiddenAnswers.size())
                        l = model.hiddenAnswers.at(k++);
                break;
            }
            case 6: {
                const int width = 40 + random.bounded(500);
                const QStringList expected = testsupport::referenceLayout(ref, width, fm);
                const int height = model.layout(width, canvas);
                if (model.lines != expected) {
                    for (int i = 0; i < std::max(model.lines.size(), expected.size()); ++i)
                        if (model.lines.value(i) != expected.value(i))
                            qWarning() << width << i << model.lines.value(i) << fm.horizontalAdvance(model.lines.value(i)) << "expected" << expected.value(i) << fm.horizontalAdvance(expected.value(i));
                }
                QVERIFY2(model.lines == expected, qPrintable(context));
                int display = 0;
                for (const QString& l : expected)
                    display += isTag(l) ? 0 : 1;
                QCOMPARE(height, lh * display + 10 * refCount(ref) + 10);
                ref = expected;
                break;
            }
            case 7: {
                model.currentSentence = n;
                image.fill(Qt::white);
                model.paintAll(canvas, random.bounded(-50, 3000), random.bounded(2), image.height());
                break;
            }
            case 8: {
                spokenText = QStringLiteral("prima");
                model.paintSentence(canvas, random.bounded(300), n, true);
                const int t = refTagIndex(ref, n);
                const QString expected = (n < 0 || t < 0 || t + 1 >= ref.size())
                                             ? QStringLiteral("prima")
                                             : refSentenceLines(ref, n).join(QLatin1Char(' '));
                QCOMPARE(spokenText, expected);
                break;
            }
            case 9: {
                for (int probe = 0; probe < 8; ++probe) {
                    const int x = random.bounded(-5, 420);
                    const int y = random.bounded(-5, 40 + lh * int(ref.size()) + 10 * count);
                    ImportanceLevel refLevel;
                    const int expected = refHit(ref, x, y, fm, refLevel);
                    const HitResult hit = model.hitTest(x, y, canvas);
                    QVERIFY2(hit.sentence == expected,
                             qPrintable(context + QStringLiteral(" at %1,%2: %3 instead of %4")
                                                      .arg(x).arg(y).arg(hit.sentence).arg(expected)));
                    if (expected >= 0)
                        QCOMPARE(hit.level, refLevel);
                }
                break;
            }
            case 10: {
                if (n >= 0 && n < count) {
                    int before = 0;
                    const int t = refTagIndex(ref, n);
                    for (int i = 0; i < t; ++i)
                        before += isTag(ref.at(i)) ? 0 : 1;
                    const int own = int(refSentenceLines(ref, n).size());
                    QCOMPARE(model.sentenceExtent(canvas, n),
                             std::make_pair(lh * before + 10 + 10 * n - 6, lh * (before + own) + 10 + 10 * n));
                    QCOMPARE(model.sentenceHeight(n, canvas), own * lh + 10);
                }
                break;
            }
            default:
                break;
            }
            QVERIFY2(model.lines == ref, qPrintable(context));
            QCOMPARE(model.countSentences(), refCount(ref));
            QCOMPARE(model.importanceOf(n), refImportance(ref, n));
            QStringList out;
            model.sentenceLines(n, out);
            QCOMPARE(out, refSentenceLines(ref, n));
        }
    }
    qInfo("%d operations in %lld ms", operations, static_cast<long long>(timer.elapsed()));
}

namespace {

QString randomField(QRandomGenerator& random)
{
    static const QStringList pieces = {
        QStringLiteral("MARIO"), QStringLiteral("identificatore"), QStringLiteral("="),
        QStringLiteral("["), QStringLiteral("]"), QStringLiteral("testo"),
        QStringLiteral("storia"), QStringLiteral("informazioni"), QStringLiteral("^"),
        QStringLiteral("|"), QStringLiteral("  "), QStringLiteral("\r\n"), QStringLiteral("\n"),
        QStringLiteral("\r"), QString::fromUtf8("€àé"), QString::fromUtf8("中"),
        QStringLiteral("DATA="), QStringLiteral("NOME="), QStringLiteral("~")};
    static const QStringList plain = {QStringLiteral("gatto"), QStringLiteral(" "),
                                      QString::fromUtf8("città"), QStringLiteral("ANNA")};
    QString out;
    const int count = random.bounded(5);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(10) == 0)
            out += pieces.at(random.bounded(int(pieces.size())));
        else
            out += plain.at(random.bounded(int(plain.size())));
    }
    return out;
}

// The lines an item list puts in the file, as the block reader gives them back.
QStringList readableLines(const QStringList& items)
{
    QStringList out;
    for (const QString& item : items) {
        const QStringList parts = item.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        bool blankItem = trimSpaces(item).isEmpty();
        for (const QString& part : parts) {
            const QString t = trimSpaces(part);
            if (!blankItem && !t.isEmpty())
                out << t;
        }
    }
    return out;
}

} // namespace

void TestFuzzModel::randomRunsReadBackOrAreRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    const QString path = dir.filePath(QStringLiteral("risult.sal"));
    QRandomGenerator random(99);
    int written = 0;
    int refused = 0;
    for (int i = 0; i < 400; ++i) {
        ScriptedDialogs script;     // no question may come: every identifier is new
        Tparametri params;
        params.mode = fromExercise;
        params.source = {QStringLiteral("~importante~"), randomField(random), QStringLiteral("~nonImportante~"),
                         randomField(random)};
        params.compito = randomField(random);
        Tevidenziatore model(params);
        model.hideAnswers();
        TesercizioSvolto run;
        run.pupilName = randomField(random);
        run.runName = randomField(random) + QStringLiteral("_%1").arg(i);
        run.exerciseName = randomField(random);
        run.pupilInfo = QStringList{randomField(random), randomField(random)};
        run.historyFirst = QStringList{randomField(random)};
        run.historySecond = QStringList{QStringLiteral("1")};
        run.historyThird = QStringList{randomField(random)};
        const QByteArray before = testsupport::readBytes(path);
        const QString id = trimSpaces(run.pupilName) + QLatin1Char('^') + trimSpaces(run.runName);
        if (!model.writeRun(folder, QStringLiteral("risult"), QStringLiteral("sal"), run)) {
            ++refused;
            QCOMPARE(script.messages().size(), 1);
            QCOMPARE(testsupport::readBytes(path), before);
            continue;
        }
        ++written;
        QVERIFY(script.messages().isEmpty());
        QStringList values;
        listValues(values, QStringLiteral("identificatore"), folder, QStringLiteral("risult"), QStringLiteral("sal"));
        QCOMPARE(values.size(), written);
        QCOMPARE(values.constLast(), id);
        QStringList block;
        readBlock(block, QStringLiteral("identificatore"), id, true, folder, QStringLiteral("risult"),
                  QStringLiteral("sal"));
        QStringList expected = readableLines(
            QStringList{QStringLiteral("[identificatore=") + id + QLatin1Char(']'),
                        QStringLiteral("[informazioni]"), QStringLiteral("NOME=") + trimSpaces(run.pupilName),
                        QStringLiteral("ALTRE INFORMAZIONI:")}
            + run.pupilInfo
            + QStringList{QStringLiteral("NOME ESERCIZIO=") + run.exerciseName, QStringLiteral("COMPITO:"),
                          model.compito});
        QCOMPARE(block.mid(0, expected.size()), expected);
        QVERIFY(block.value(expected.size()).startsWith(QStringLiteral("DATA=")));
        const QStringList rest = readableLines(QStringList{QStringLiteral("[testo]")} + model.expectedLines()
                                               + QStringList{QStringLiteral("[storia]"),
                                                             run.historyFirst.at(0) + QStringLiteral("|1|")
                                                                 + run.historyThird.at(0)});
        QCOMPARE(block.mid(block.size() - rest.size()), rest);
        QCOMPARE(block.size(), expected.size() + 3 + rest.size());
        // Read as the archive reads it: exactly three section lines, in
        // order, and no second header.
        QStringList sections;
        for (int k = 0; k < block.size(); ++k) {
            const QString& line = block.at(k);
            QString key;
            QString value;
            lineKeyValue(line, key, value);
            QVERIFY2(k == 0 || key != QStringLiteral("identificatore"), qPrintable(line));
            const qsizetype open = line.indexOf(QLatin1Char('['));
            const qsizetype close = line.indexOf(QLatin1Char(']'), open + 1);
            if (k > 0 && open >= 0 && close > open) {
                const QString word = trimSpaces(line.mid(open + 1, close - open - 1));
                if (word == QStringLiteral("informazioni") || word == QStringLiteral("testo")
                    || word == QStringLiteral("storia"))
                    sections << line;
            }
        }
        QCOMPARE(sections, (QStringList{QStringLiteral("[informazioni]"), QStringLiteral("[testo]"),
                                        QStringLiteral("[storia]")}));
    }
    qInfo("%d runs written, %d refused", written, refused);
    QVERIFY(written > 20);
    QVERIFY(refused > 20);
}

QTEST_MAIN(TestFuzzModel)
#include "tst_fuzz_model.moc"
