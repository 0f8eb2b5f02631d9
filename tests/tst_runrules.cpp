// The marking and feedback rules of a run, driven without any window: a fake
// window answers the feedbacks as each scenario says and notes everything
// the rules ask of it; the history, the levels left on the text and the
// final table are checked at the end of every run.

#include "execution/RunRules.h"
#include "model/Random.h"
#include "common/Utabella.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

// The window as the rules see it. Every call is noted in `journal`; the
// answer to a feedback is taken from the expected journal ("priErr:si").
class FakeWindow final : public RunHost
{
public:
    FakeWindow(Tevidenziatore& shownText, const QStringList& expectedJournal)
        : text(shownText), expected(expectedJournal)
    {
    }

    FeedbackAnswer showFeedback(FeedbackKind kind, int offeredButtons) override
    {
        const QString name = feedbackKindName(kind);
        const bool question = kind == FeedbackKind::selErr || kind == FeedbackKind::priErr
                              || kind == FeedbackKind::secErr;
        if (offeredButtons != (question ? offerYes | offerNo : offerOk))
            failures << QStringLiteral("%1 offers buttons %2").arg(name).arg(offeredButtons);
        const QString next = expected.value(journal.size());
        if (!next.startsWith(name + QLatin1Char(':'))) {
            note(name + QStringLiteral(":?"));
            return answerNone;
        }
        note(next);
        const QString answer = next.section(QLatin1Char(':'), 1);
        if (answer == QLatin1String("si"))
            return answerYes;
        if (answer == QLatin1String("no"))
            return answerNo;
        if (answer == QLatin1String("ok"))
            return answerOk;
        return answerNone;   // "chiusa": closed without a button
    }
    void goToSentence(int n, bool toTextStart) override
    {
        text.currentSentence = n;
        note((toTextStart ? QStringLiteral("start") : QStringLiteral("top")) + QString::number(n));
    }
    void moveOn(int from, bool pause) override
    {
        if (pause)
            note(QStringLiteral("pause"));
        shown = from < text.sentenceCount - 1 ? from + 1 : from;
        note(QStringLiteral("next") + QString::number(shown));
    }
    void showSentenceAtOnce(int n) override
    {
        shown = n;
        note(QStringLiteral("show") + QString::number(n));
    }
    void dispatchEvents() override { eventsPending = true; }
    void holdInput() override { note(QStringLiteral("hold")); }
    void releaseInput() override { note(QStringLiteral("release")); }
    void showJudgement(FeedbackKind kind, const AnswerCounts& counts) override
    {
        note(feedbackKindName(kind));
        QStringList values;
        for (int v : counts.values)
            values << QString::number(v);
        table = values.join(QLatin1Char(' '));
    }
    void saveFinishedRun() override { note(QStringLiteral("save")); }
    void disableEnd() override { note(QStringLiteral("fineOff")); }
    void closeRun() override { note(QStringLiteral("close")); }

    // Events dispatched before another call are noted as "events"; the
    // dispatch that ends an answer is checked and cleared by the driver.
    void note(const QString& what)
    {
        if (eventsPending)
            journal << QStringLiteral("events");
        eventsPending = false;
        journal << what;
    }

    Tevidenziatore& text;
    QStringList expected;
    QStringList journal;
    QStringList failures;
    QString table;
    int shown = 0;          // the sentence on screen, one sentence at a time
    bool eventsPending = false;
};

// Random draws as the scenario gives them ("2>1": asked for 0..2, gives 1);
// installed while it exists.
class ScriptedRandom final : public RandomSource
{
public:
    explicit ScriptedRandom(const QString& script)
        : draws(script.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    {
        previous = setRandomSource(this);
    }
    ~ScriptedRandom() override { setRandomSource(previous); }
    int upTo(int highest) override
    {
        const QString draw = draws.value(used++);
        if (draw.section(QLatin1Char('>'), 0, 0).toInt() != highest || draw.isEmpty()) {
            failures << QStringLiteral("draw %1 from 0..%2, scripted %3").arg(used).arg(highest).arg(draw);
            return 0;
        }
        return draw.section(QLatin1Char('>'), 1).toInt();
    }

    QStringList draws;
    QStringList failures;
    int used = 0;

private:
    RandomSource* previous = nullptr;
};

// A text with one sentence per character of `levels`: '0' .. '3' the tag of
// that level, 'x' the tag line "~ importante ~" (importante to the marking,
// but not one of the three lines the table of answers counts).
std::unique_ptr<Tevidenziatore> textOf(const QString& levels)
{
    QStringList lines;
    for (int i = 0; i < levels.size(); ++i) {
        const QChar c = levels.at(i);
        lines << (c == QLatin1Char('x') ? QStringLiteral("~ importante ~")
                                        : tagLineFor(ImportanceLevel(c.digitValue())))
              << QStringLiteral("Frase numero %1.").arg(i + 1);
    }
    Tparametri params;
    params.mode = fromExercise;
    params.source = lines;
    params.compito = QStringLiteral("Evidenzia le frasi importanti.");
    auto text = std::make_unique<Tevidenziatore>(params);
    text->hideAnswers();
    return text;
}

const QString back = QStringLiteral("Torna indietro di 5 frasi");
const QString firstWrong = QStringLiteral("Nella prima parte ci sono troppi errori");
const QString firstRight = QStringLiteral("Sei andato bene nella prima parte");
const QString secondWrong = QStringLiteral("Nella seconda parte ci sono troppi errori");

// History step entries "k|code|" for the sentences from .. to answered `code`.
QStringList steps(int from, int to, int code = 0)
{
    QStringList out;
    for (int k = from; k <= to; ++k)
        out << QStringLiteral("%1|%2|").arg(k).arg(code);
    return out;
}

QString step(int k, int code, const QString& message = QString())
{
    return QStringLiteral("%1|%2|%3").arg(k).arg(code).arg(message);
}

// "pause next<k+1>" for each sentence k from .. to answered one at a time.
QString walk(int from, int to)
{
    QStringList out;
    for (int k = from; k <= to; ++k)
        out << QStringLiteral("pause next%1").arg(k + 1);
    return out.join(QLatin1Char(' '));
}

QString repeated(QChar c, int n)
{
    return QString(n, c);
}

} // namespace

class TestRunRules : public QObject
{
    Q_OBJECT

private slots:
    void scenarios_data();
    void scenarios();
};

// Columns: the teacher's levels; display and feedback mode; threshold;
// answers reset; the random draws; the actions ("k=L" gives level L to
// sentence k of the whole text, "a-b=L" to each of a .. b in turn, "L" or
// "L*n" answers the sentence on screen, "fine" is "&fine esercizio"); what
// the window is asked, in order; the history; the levels left; the table.
void TestRunRules::scenarios_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<int>("display");
    QTest::addColumn<int>("feedback");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("draws");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("journal");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("table");

    const QString ten = repeated(QLatin1Char('1'), 10);

    // The last sentence answered first makes the end check (nothing wrong
    // there), not the mid check; 3 / 5 asks to start again (reset 0..4);
    // exactly 0.4 is good; "fine" finds the second part wrong, then ends.
    QTest::newRow("whole text, mid and end, reset")
        << ten << int(wholeText) << int(midAndEnd) << 0.4 << true << QString()
        << "0=2 1=2 2=2 9=1 4=1 2 1=2 4=1 5=3 6=3 fine fine"
        << "priErr:si start0 priOk:ok hold secErr:si top5 release "
           "hold giuBuo save fineOff release close"
        << QStringList{step(0, 1), step(1, 1), step(2, 1), step(9, 0), step(4, 0, firstWrong),
                       "-1|0|4", step(0, 1), step(1, 1), step(4, 0, firstRight), step(5, 2),
                       step(6, 2), "-1|5|9"}
        << "2211111111" << "8 2 0 0 0 0 0 0 0";

    // Closed keeps the check armed, Sì goes back and keeps the answers, No
    // disarms; the end check refused; 7 / 10 is poor.
    QTest::newRow("whole text, mid and end, answers kept")
        << ten << int(wholeText) << int(midAndEnd) << 0.4 << false << QString()
        << "0-2=2 4=1 4=1 4=1 8=3 9=3 fine"
        << "priErr:chiusa priErr:si start0 priErr:no secErr:no "
           "hold giuNon save fineOff release close"
        << (steps(0, 2, 1) + QStringList{step(4, 0, firstWrong), step(4, 0, firstWrong),
                                         step(4, 0, firstWrong), step(8, 2), step(9, 2, secondWrong)})
        << "2221111133" << "5 3 2 0 0 0 0 0 0";

    // The part means are exact quotients compared with the threshold as
    // stored: 3 / 5 is above the double nearest to 0.6.
    QTest::newRow("whole text, mean 3/5 against 0.6")
        << ten << int(wholeText) << int(midAndEnd) << 0.6 << false << QString()
        << "0-2=2 4=1 fine"
        << "priErr:no hold giuBuo save fineOff release close"
        << (steps(0, 2, 1) + QStringList{step(4, 0, firstWrong)})
        << "2221111111" << "7 3 0 0 0 0 0 0 0";

    // "fine" with both parts wrong: Sì to the first goes back to the start
    // (reset 0 .. the current sentence) and does not ask about the second.
    QTest::newRow("fine, both parts wrong, Si to the first")
        << ten << int(wholeText) << int(midAndEnd) << 0.3 << true << QString()
        << "0=3 9=3 fine fine"
        << "secErr:chiusa hold priErr:si start0 release "
           "hold giuBuo save fineOff release close"
        << QStringList{step(0, 2), step(9, 2, secondWrong), "-1|0|9"}
        << ten << "10 0 0 0 0 0 0 0 0";

    // No to the first asks about the second; Sì goes to the top of the
    // second part; a closed question there leaves the run free to end.
    QTest::newRow("fine, No to the first, then the second")
        << ten << int(wholeText) << int(midAndEnd) << 0.3 << false << QString()
        << "0=3 9=3 fine fine"
        << "secErr:chiusa hold priErr:no secErr:si top5 release "
           "hold secErr:chiusa giuDis save fineOff release close"
        << QStringList{step(0, 2), step(9, 2, secondWrong)}
        << "3111111113" << "8 0 2 0 0 0 0 0 0";

    // Seven sentences one at a time: the first part is 0..2, the second
    // 3..6 divides by 4 (0.3 lets 1 / 4 pass and stops 2 / 4).
    QTest::newRow("one at a time, mid and end, seven sentences")
        << repeated(QLatin1Char('1'), 7) << int(sentenceBySentence) << int(midAndEnd) << 0.3
        << true << QString() << "1*3 3 1*3 1*3 2"
        << walk(0, 1) + " priOk:ok next3 " + walk(3, 5) + " secErr:si next3 " + walk(3, 5)
               + " giuBuo save close"
        << (steps(0, 1) + QStringList{step(2, 0, firstRight), step(3, 2), step(4, 0), step(5, 0),
                                      step(6, 0, secondWrong), "-1|3|6"}
            + steps(3, 5) + QStringList{step(6, 1)})
        << "1111112" << "6 1 0 0 0 0 0 0 0";

    // One at a time, the first-part question closed or refused keeps the
    // sentence on screen; the end question closed counts as No and ends.
    QTest::newRow("one at a time, refused and closed")
        << "1111" << int(sentenceBySentence) << int(midAndEnd) << 0.4 << false << QString()
        << "3 1 1 1 3 1"
        << "pause next1 priErr:chiusa priErr:no pause next2 pause next3 secErr:chiusa "
           "giuNon save close"
        << QStringList{step(0, 2), step(1, 0, firstWrong), step(1, 0, firstWrong), step(1, 0),
                       step(2, 2), step(3, 0, secondWrong)}
        << "3131" << "2 0 2 0 0 0 0 0 0";

    // A mean equal to the threshold is not above it, in either part.
    QTest::newRow("one at a time, means equal to the threshold")
        << "1111" << int(sentenceBySentence) << int(midAndEnd) << 0.5 << false << QString()
        << "2 1 1 2" << "pause next1 priOk:ok next2 pause next3 giuDis save close"
        << QStringList{step(0, 1), step(1, 0, firstRight), step(2, 0), step(3, 1)} << "2112"
        << "2 2 0 0 0 0 0 0 0";

    // One sentence: the whole second part, no first part.
    QTest::newRow("one sentence, one at a time")
        << "1" << int(sentenceBySentence) << int(midAndEnd) << 0.4 << false << QString() << "2 1"
        << "secErr:si next0 giuBuo save close"
        << QStringList{step(0, 1, secondWrong), step(0, 0)} << "1" << "1 0 0 0 0 0 0 0 0";

    // A gross error on 7 asked on 8 goes back to 3 (reset 3..8); one on 8
    // asked at once goes back to 3 again; one on 8 asked on 9 goes back to 4.
    QTest::newRow("every sentence, near the end")
        << ten << int(sentenceBySentence) << int(everySentence) << 0.4 << true << "2>1 1>0 1>1"
        << "1*7 3 1 1*5 3 1*5 3 1 1*5 1"
        << walk(0, 7) + " selErr:si show3 " + walk(3, 7) + " selErr:si show3 " + walk(3, 8)
               + " selErr:si show4 " + walk(4, 8) + " giuBuo save close"
        << (steps(0, 6) + QStringList{step(7, 2), step(8, 0, back), "-1|3|8"} + steps(3, 7)
            + QStringList{step(8, 2, back), "-1|3|8"} + steps(3, 7)
            + QStringList{step(8, 2), step(9, 0, back), "-1|4|9"} + steps(4, 9))
        << ten << "10 0 0 0 0 0 0 0 0";

    // A gross error on 2 asked on 4: Sì goes back to 0 (with the reset,
    // 0..4 are reset); No and a closed question go on at once.
    for (const bool reset : {true, false}) {
        QStringList history = steps(0, 1) + QStringList{step(2, 2), step(3, 0), step(4, 0, back)};
        if (reset)
            history << "-1|0|4";
        history << steps(0, 4) << step(5, 2, back) << step(6, 2, back) << steps(7, 9);
        QTest::newRow(reset ? "every sentence, near the start, reset"
                            : "every sentence, near the start, kept")
            << ten << int(sentenceBySentence) << int(everySentence) << 0.4 << reset
            << "4>2 4>0 3>0" << "1 1 3 1 1 1*5 3 3 1 1 1"
            << walk(0, 3) + " selErr:si show0 " + walk(0, 4)
                   + " selErr:no events next6 selErr:chiusa events next7 " + walk(7, 8)
                   + " giuDis save close"
            << history << "1111133111" << "8 0 2 0 0 0 0 0 0";
    }

    // Against an undecided sentence the error is the level given: importante
    // is a gross error; molto importante (3) is not.
    QTest::newRow("every sentence, undecided answered importante")
        << "10x1" << int(sentenceBySentence) << int(everySentence) << 0.4 << false << "2>0"
        << "1 2 1 1"
        << "pause next1 selErr:no events next2 pause next3 giuBuo save close"
        << QStringList{step(0, 0), step(1, 1, back), step(2, 0), step(3, 0)} << "1211"
        << "2 0 0 0 0 0 0 0 0";
    QTest::newRow("every sentence, undecided answered molto")
        << "10x1" << int(sentenceBySentence) << int(everySentence) << 0.4 << false << QString()
        << "1 3 3 1"
        << "pause next1 pause next2 pause next3 giuBuo save close"
        << QStringList{step(0, 0), step(1, 2), step(2, 2), step(3, 0)} << "1331"
        << "2 0 0 0 0 0 0 0 0";

    // With the whole text, "every sentence" and "none" give no feedback and
    // do not move; "fine" ends at once, without checks.
    QTest::newRow("whole text, every sentence")
        << ten << int(wholeText) << int(everySentence) << 0.4 << true << QString()
        << "3=3 5=2 fine" << "giuBuo save fineOff close"
        << QStringList{step(3, 2), step(5, 1)} << "1113121111" << "8 1 1 0 0 0 0 0 0";
    QTest::newRow("one at a time, no feedback; no answer after the end")
        << "121" << int(sentenceBySentence) << int(noFeedback) << 0.4 << false << QString()
        << "1 2 1 3 fine" << walk(0, 1) + " giuBuo save close"
        << QStringList{step(0, 0), step(1, 1), step(2, 0)} << "121" << "2 0 0 0 1 0 0 0 0";

    // The final judgement by the mean error of 100 sentences.
    const struct {
        const char* name;
        int molto;      // answers molto importante (error 2)
        bool plusOne;   // one more answer importante (error 1)
        const char* kind;
    } judgements[] = {{"judgement 0.39", 19, true, "giuBuo"},
                      {"judgement 0.4", 20, false, "giuDis"},
                      {"judgement 0.69", 34, true, "giuDis"},
                      {"judgement 0.7", 35, false, "giuNon"}};
    for (const auto& j : judgements) {
        const int imp = j.plusOne ? 1 : 0;
        QString actions = QStringLiteral("0-%1=3").arg(j.molto - 1);
        QStringList history = steps(0, j.molto - 1, 2);
        if (j.plusOne) {
            actions += QStringLiteral(" %1=2").arg(j.molto);
            history << step(j.molto, 1);
        }
        QTest::newRow(j.name) << repeated(QLatin1Char('1'), 100) << int(wholeText) << int(noFeedback)
                              << 0.4 << false << QString() << actions + " fine"
                              << QString::fromLatin1(j.kind) + " save fineOff close" << history
                              << repeated(QLatin1Char('3'), j.molto) + repeated(QLatin1Char('2'), imp)
                                     + repeated(QLatin1Char('1'), 100 - j.molto - imp)
                              << QStringLiteral("%1 %2 %3 0 0 0 0 0 0")
                                     .arg(100 - j.molto - imp)
                                     .arg(imp)
                                     .arg(j.molto);
    }
}

void TestRunRules::scenarios()
{
    QFETCH(QString, levels);
    QFETCH(int, display);
    QFETCH(int, feedback);
    QFETCH(double, threshold);
    QFETCH(bool, reset);
    QFETCH(QString, draws);
    QFETCH(QString, actions);
    QFETCH(QString, journal);
    QFETCH(QStringList, history);
    QFETCH(QString, given);
    QFETCH(QString, table);

    auto text = textOf(levels);
    TesercizioSvolto run;
    run.displayMode = DisplayMode(display);
    run.feedbackMode = FeedbackMode(feedback);
    const QStringList expected = journal.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    FakeWindow window(*text, expected);
    ScriptedRandom random(draws);
    RunRules rules(window, run);
    RunOptions options;
    options.feedbackThreshold = threshold;
    options.resetAnswersOnFeedback = reset;
    rules.start(text.get(), options);
    QCOMPARE(rules.midPoint, levels.size() / 2);

    const bool whole = run.displayMode == wholeText;
    auto answer = [&](int level) {
        const int k = whole ? text->currentSentence : window.shown;
        const bool finished = run.runFinished;
        if (!finished)
            text->setImportance(k, ImportanceLevel(level));
        rules.answered(k, ImportanceLevel(level));
        if (!finished && !window.eventsPending)
            window.failures << QStringLiteral("answer to %1 not followed by events").arg(k);
        window.eventsPending = false;
    };
    for (const QString& action : actions.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (action == QLatin1String("fine")) {
            rules.endCheck();
        } else if (action.contains(QLatin1Char('='))) {
            const QString range = action.section(QLatin1Char('='), 0, 0);
            const int level = action.section(QLatin1Char('='), 1).toInt();
            const int from = range.section(QLatin1Char('-'), 0, 0).toInt();
            const int to = range.contains(QLatin1Char('-')) ? range.section(QLatin1Char('-'), 1).toInt()
                                                            : from;
            for (int k = from; k <= to; ++k) {
                text->currentSentence = k;
                answer(level);
            }
        } else {
            const int times = action.contains(QLatin1Char('*'))
                                  ? action.section(QLatin1Char('*'), 1).toInt()
                                  : 1;
            for (int i = 0; i < times; ++i)
                answer(action.section(QLatin1Char('*'), 0, 0).toInt());
        }
    }

    QCOMPARE(window.journal, expected);
    QCOMPARE(window.failures, QStringList());
    QCOMPARE(random.failures, QStringList());
    QCOMPARE(random.used, random.draws.size());
    QCOMPARE(run.historyFirst.size(), run.historySecond.size());
    QCOMPARE(run.historyFirst.size(), run.historyThird.size());
    QStringList written;
    for (int i = 0; i < run.historyFirst.size(); ++i)
        written << run.historyFirst.at(i) + QLatin1Char('|') + run.historySecond.at(i)
                       + QLatin1Char('|') + run.historyThird.at(i);
    QCOMPARE(written, history);
    QString left;
    for (int i = 0; i < text->sentenceCount; ++i)
        left += QString::number(text->importanceOf(i));
    QCOMPARE(left, given);
    QCOMPARE(window.table, table);
    QCOMPARE(run.runFinished, journal.contains(QLatin1String("save")));
}

// A GUI application without widgets: it takes the test's -platform option.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestRunRules test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runrules.moc"
