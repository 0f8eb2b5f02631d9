#include "model/Uevidenz.h"

#include <QtTest>

// The marked text: building from plain text, reading tag lines and the
// editing operations of the model.
class TestUevidenz : public QObject
{
    Q_OBJECT

private slots:
    void plainTextSplitsAtEveryPoint();
    void backslashSeparatorIsDropped();
    void emptyOrBlankSourceGivesNoSentence();
    void copiesKeepLinesAndTakeTheTaskOnlyFromExercises();
    void tagLinesAreReadByTheirWord();
    void importanceOfTheLastBareTagIsNonImportante();
    void setImportanceReplacesOnlyThatTag();
    void sentenceLinesAndRemoval();
    void insertionAtTheEndAndBefore();
    void hideAndRestoreAnswers();
    void directEditsOfTheLinesAreSeen();
    void coloursAndTags();
};

namespace {

QStringList L(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}

Tparametri plain(const QStringList& source, QChar separator = QLatin1Char('.'))
{
    Tparametri p;
    p.mode = fromPlainText;
    p.source = source;
    p.separator = separator;
    return p;
}

Tparametri copy(const QStringList& source, TextSource mode = copyOf)
{
    Tparametri p;
    p.mode = mode;
    p.source = source;
    return p;
}

const QString nonTag = QStringLiteral("~nonImportante~");

} // namespace

void TestUevidenz::plainTextSplitsAtEveryPoint()
{
    Tevidenziatore three(plain(L({"Uno. Due. Tre."})));
    QCOMPARE(three.lines, L({"~nonImportante~", "Uno.", "~nonImportante~", "Due.",
                             "~nonImportante~", "Tre."}));
    QCOMPARE(three.sentenceCount, 3);
    QVERIFY(three.compito.isEmpty());

    Tevidenziatore twoLines(plain(L({"Il gatto", "dorme."})));
    QCOMPARE(twoLines.lines, L({"~nonImportante~", "Il gatto", "dorme."}));
    QCOMPARE(twoLines.sentenceCount, 1);

    Tevidenziatore number(plain(L({"Sono le 3.14"})));
    QCOMPARE(number.lines, L({"~nonImportante~", "Sono le 3.", "~nonImportante~", "14"}));

    Tevidenziatore doubled(plain(L({"Fine.."})));
    QCOMPARE(doubled.lines, L({"~nonImportante~", "Fine.", "~nonImportante~", "."}));
    QCOMPARE(doubled.sentenceCount, 2);

    // Spaces around the pieces go; a sentence continues on the next source
    // line when its line ended without a point.
    Tevidenziatore spaced(plain(L({"  Primo.   Secondo", "   ", "continua.  "})));
    QCOMPARE(spaced.lines, L({"~nonImportante~", "Primo.", "~nonImportante~", "Secondo",
                              "continua."}));
    QCOMPARE(spaced.sentenceCount, 2);
}

void TestUevidenz::backslashSeparatorIsDropped()
{
    const QChar bs = QLatin1Char('\\');
    Tevidenziatore two(plain(L({"Uno\\Due"}), bs));
    QCOMPARE(two.lines, L({"~nonImportante~", "Uno", "~nonImportante~", "Due"}));

    Tevidenziatore empty(plain(L({"a\\\\b"}), bs));
    QCOMPARE(empty.lines, L({"~nonImportante~", "a", "~nonImportante~", "", "~nonImportante~", "b"}));
    QCOMPARE(empty.sentenceCount, 3);

    // With "\" the points stay inside their sentence.
    Tevidenziatore points(plain(L({"Il sig. Rossi.\\Fine"}), bs));
    QCOMPARE(points.lines, L({"~nonImportante~", "Il sig. Rossi.", "~nonImportante~", "Fine"}));
}

void TestUevidenz::emptyOrBlankSourceGivesNoSentence()
{
    Tevidenziatore none(plain({}));
    QVERIFY(none.lines.isEmpty());
    QCOMPARE(none.sentenceCount, 0);
    QCOMPARE(none.countSentences(), 0);

    Tevidenziatore blanks(plain(L({"", "    ", " "})));
    QVERIFY(blanks.lines.isEmpty());
    QCOMPARE(blanks.sentenceCount, 0);

    // The defaults of a new model.
    QCOMPARE(none.currentSentence, 0);
    QCOMPARE(none.currentImportance, nonImportante);
    QCOMPARE(none.leftMargin, 15);
    QCOMPARE(Tevidenziatore::topMargin, 10);
    QCOMPARE(Tevidenziatore::sentenceGap, 10);
    QCOMPARE(Tevidenziatore::frameWidth, 3);
    QVERIFY(none.hiddenAnswers.isEmpty());
}

void TestUevidenz::copiesKeepLinesAndTakeTheTaskOnlyFromExercises()
{
    const QStringList source = L({"prima del tag", "~importante~", "  Il gatto  ", "",
                                  "~moltoImportante~"});
    for (TextSource mode : {copyOf, fromExercise, fromResults}) {
        Tparametri p = copy(source, mode);
        p.compito = QStringLiteral("Leggi.\r\nSottolinea.");
        p.separator = QLatin1Char('\\');
        Tevidenziatore model(p);
        QCOMPARE(model.lines, source);
        QCOMPARE(model.sentenceCount, 2);
        QCOMPARE(model.compito, mode == fromExercise ? p.compito : QString());
    }
}

void TestUevidenz::tagLinesAreReadByTheirWord()
{
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~ importante ~")), importante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~Importante~")), nonImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~x~")), nonImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~daDeterminare~")), daDeterminare);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~moltoImportante~")), moltoImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~nonImportante~")), nonImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~")), nonImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~~")), nonImportante);
    // Text before the first "~" and after the second does not count; a tag
    // without its closing "~" still reads.
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("xx~moltoImportante~importante")), moltoImportante);
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~importante")), importante);
    // Tabs are not spaces.
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("~\timportante~")), nonImportante);
    // At most 255 characters after the first "~" are read.
    const QString fits = QLatin1Char('~') + QString(245, QLatin1Char(' ')) + QStringLiteral("importante~");
    const QString tooFar = QLatin1Char('~') + QString(246, QLatin1Char(' ')) + QStringLiteral("importante~");
    QCOMPARE(Tevidenziatore::parseTag(fits), importante);
    QCOMPARE(Tevidenziatore::parseTag(tooFar), nonImportante);
    // A line without "~" is no tag.
    QCOMPARE(Tevidenziatore::parseTag(QStringLiteral("importante")), nonImportante);
}

void TestUevidenz::importanceOfTheLastBareTagIsNonImportante()
{
    Tevidenziatore model(copy(L({"~importante~", "Uno.", "~moltoImportante~", "Due.",
                                 "~importante~"})));
    QCOMPARE(model.sentenceCount, 3);
    QCOMPARE(model.importanceOf(0), importante);
    QCOMPARE(model.importanceOf(1), moltoImportante);
    QCOMPARE(model.importanceOf(2), nonImportante);     // its tag ends the list
    QCOMPARE(model.importanceOf(3), nonImportante);
    QCOMPARE(model.importanceOf(-1), nonImportante);
    QCOMPARE(model.importanceOf(1 << 30), nonImportante);

    Tevidenziatore undecided(copy(L({"~daDeterminare~", "x"})));
    QCOMPARE(undecided.importanceOf(0), daDeterminare);
}

void TestUevidenz::setImportanceReplacesOnlyThatTag()
{
    Tevidenziatore model(plain(L({"Uno. Due. Tre."})));
    const QStringList before = model.lines;
    model.setImportance(1, moltoImportante);
    QCOMPARE(model.lines, L({"~nonImportante~", "Uno.", "~moltoImportante~", "Due.",
                             "~nonImportante~", "Tre."}));
    QCOMPARE(model.importanceOf(1), moltoImportante);
    model.setImportance(2, daDeterminare);
    QCOMPARE(model.lines.at(4), QStringLiteral("~daDeterminare~"));
    QCOMPARE(model.importanceOf(2), daDeterminare);
    model.setImportance(2, importante);
    model.setImportance(1, nonImportante);
    QCOMPARE(model.importanceOf(2), importante);

    const QStringList now = model.lines;
    model.setImportance(-1, moltoImportante);
    model.setImportance(3, moltoImportante);
    model.setImportance(0, static_cast<ImportanceLevel>(7));
    QCOMPARE(model.lines, now);
    QCOMPARE(model.sentenceCount, 3);
    QCOMPARE(before.size(), now.size());
}

void TestUevidenz::sentenceLinesAndRemoval()
{
    const QStringList source = L({"titolo", "~importante~", "a1", "a2", "~nonImportante~",
                                  "~moltoImportante~", "c1"});
    Tevidenziatore model(copy(source));
    QStringList out = L({"old"});
    model.sentenceLines(0, out);
    QCOMPARE(out, L({"a1", "a2"}));
    model.sentenceLines(1, out);
    QVERIFY(out.isEmpty());
    model.sentenceLines(2, out);
    QCOMPARE(out, L({"c1"}));
    out = L({"old"});
    model.sentenceLines(-1, out);
    QVERIFY(out.isEmpty());
    out = L({"old"});
    model.sentenceLines(3, out);
    QVERIFY(out.isEmpty());

    model.removeSentence(-1);
    model.removeSentence(3);
    QCOMPARE(model.lines, source);

    model.removeSentence(1);
    QCOMPARE(model.lines, L({"titolo", "~importante~", "a1", "a2", "~moltoImportante~", "c1"}));
    QCOMPARE(model.sentenceCount, 2);
    model.removeSentence(0);        // the lines before the first tag stay
    QCOMPARE(model.lines, L({"titolo", "~moltoImportante~", "c1"}));
    model.removeSentence(0);
    QCOMPARE(model.lines, L({"titolo"}));
    QCOMPARE(model.sentenceCount, 0);
}

void TestUevidenz::insertionAtTheEndAndBefore()
{
    Tevidenziatore model(copy(L({"~importante~", "a", "~nonImportante~", "b"})));
    model.insertSentence(2, {}, importante);            // at the end: a bare tag
    QCOMPARE(model.lines, L({"~importante~", "a", "~nonImportante~", "b", "~importante~"}));
    QCOMPARE(model.sentenceCount, 3);

    model.insertSentence(1, {}, moltoImportante);       // before a sentence, no text: nothing
    QCOMPARE(model.sentenceCount, 3);
    QCOMPARE(model.lines.size(), 5);

    model.insertSentence(1, L({"x1", "x2"}), moltoImportante);
    QCOMPARE(model.lines, L({"~importante~", "a", "~moltoImportante~", "x1", "x2",
                             "~nonImportante~", "b", "~importante~"}));
    QCOMPARE(model.sentenceCount, 4);
    QStringList out;
    model.sentenceLines(1, out);
    QCOMPARE(out, L({"x1", "x2"}));

    model.insertSentence(0, L({"primo"}), nonImportante);
    QCOMPARE(model.lines.mid(0, 3), L({"~nonImportante~", "primo", "~importante~"}));
    model.insertSentence(5, L({"fine"}), importante);
    QCOMPARE(model.lines.mid(model.lines.size() - 2), L({"~importante~", "fine"}));
    QCOMPARE(model.sentenceCount, 6);

    const QStringList now = model.lines;
    model.insertSentence(-1, L({"no"}), importante);
    model.insertSentence(7, L({"no"}), importante);
    QCOMPARE(model.lines, now);

    // Replacing a sentence as the preparation window does.
    model.sentenceLines(2, out);
    const ImportanceLevel level = model.importanceOf(2);
    model.removeSentence(2);
    model.insertSentence(2, out + L({"aggiunta"}), level);
    model.sentenceLines(2, out);
    QCOMPARE(out, L({"x1", "x2", "aggiunta"}));
    QCOMPARE(model.importanceOf(2), moltoImportante);
    QCOMPARE(model.sentenceCount, 6);
}

void TestUevidenz::hideAndRestoreAnswers()
{
    const QStringList source = L({"~importante~", "a", "~moltoImportante~", "b",
                                  "~daDeterminare~", "c"});
    Tevidenziatore model(copy(source));
    model.hideAnswers();
    QCOMPARE(model.hiddenAnswers, L({"~importante~", "~moltoImportante~", "~daDeterminare~"}));
    QCOMPARE(model.lines, L({"~nonImportante~", "a", "~nonImportante~", "b", "~nonImportante~", "c"}));
    for (int n = 0; n < 3; ++n)
        QCOMPARE(model.importanceOf(n), nonImportante);
    QCOMPARE(Tevidenziatore::parseTag(model.hiddenAnswers.at(1)), moltoImportante);

    model.setImportance(0, moltoImportante);     // the pupil's answer
    QCOMPARE(model.expectedLines(), source);
    QCOMPARE(model.importanceOf(0), moltoImportante);   // expectedLines changes nothing

    model.restoreAnswers();
    QCOMPARE(model.lines, source);
    QCOMPARE(model.importanceOf(0), importante);

    // hiddenAnswers only grows: a second hide appends after the first.
    model.hideAnswers();
    QCOMPARE(model.hiddenAnswers.size(), 6);

    // Fewer kept tags than sentences: only the first ones come back.
    Tevidenziatore few(copy(L({"~nonImportante~", "a", "~nonImportante~", "b"})));
    few.hiddenAnswers = L({"~importante~"});
    few.restoreAnswers();
    QCOMPARE(few.lines, L({"~importante~", "a", "~nonImportante~", "b"}));
}

void TestUevidenz::directEditsOfTheLinesAreSeen()
{
    // Windows edit `lines` directly; every operation must see the edit.
    Tevidenziatore model(plain(L({"Uno. Due. Tre."})));
    QCOMPARE(model.importanceOf(2), nonImportante);
    model.lines[4] = QStringLiteral("~importante~");
    QCOMPARE(model.importanceOf(2), importante);
    model.lines.append(QStringLiteral("~moltoImportante~"));
    model.lines.append(QStringLiteral("Quattro."));
    QCOMPARE(model.countSentences(), 4);
    QCOMPARE(model.importanceOf(3), moltoImportante);
    QStringList kept = model.lines;
    model.lines = L({"~importante~", "solo"});
    QCOMPARE(model.countSentences(), 1);
    QCOMPARE(model.importanceOf(0), importante);
    model.lines = kept;
    QCOMPARE(model.countSentences(), 4);
    model.setImportance(0, importante);
    QCOMPARE(kept.at(0), QStringLiteral("~nonImportante~"));    // the copy is untouched
    QCOMPARE(model.lines.at(0), QStringLiteral("~importante~"));
    model.lines.removeFirst();
    QCOMPARE(model.countSentences(), 3);
    QCOMPARE(model.importanceOf(0), nonImportante);
}

void TestUevidenz::coloursAndTags()
{
    QCOMPARE(ImportanceColours[daDeterminare].fill, QColor(0, 0, 0));
    QCOMPARE(ImportanceColours[daDeterminare].text, QColor(255, 255, 255));
    QCOMPARE(ImportanceColours[nonImportante].fill, QColor(255, 255, 255));
    QCOMPARE(ImportanceColours[nonImportante].text, QColor(0, 0, 0));
    QCOMPARE(ImportanceColours[importante].fill, QColor(0, 255, 255));
    QCOMPARE(ImportanceColours[importante].text, QColor(255, 0, 0));
    QCOMPARE(ImportanceColours[moltoImportante].fill, QColor(255, 0, 0));
    QCOMPARE(ImportanceColours[moltoImportante].text, QColor(0, 255, 255));
    QCOMPARE(FrameColour, QColor(255, 255, 0));
    QCOMPARE(importanceColour(9).fill, QColor(255, 255, 255));
    for (ImportanceLevel level : {daDeterminare, nonImportante, importante, moltoImportante})
        QCOMPARE(Tevidenziatore::parseTag(tagLineFor(level)), level);
    QCOMPARE(tagLineFor(moltoImportante), QStringLiteral("~moltoImportante~"));
}

QTEST_MAIN(TestUevidenz)
#include "tst_uevidenz.moc"
