#include "model/Token.h"

#include <QtTest>

class TestToken : public QObject
{
    Q_OBJECT

private slots:
    void spacesCollapseAndEdgesGiveNoToken();
    void pipeFieldsOfAHistoryLine();
    void hasMoreTokensLooksAtEveryCharacter();
    void setTextStartsAgain();
};

namespace {
QStringList allTokens(TTokenizer& tokenizer, int limit = 100)
{
    QStringList out;
    while (tokenizer.hasMoreTokens() && limit-- > 0)
        out << tokenizer.nextToken();
    return out;
}
} // namespace

void TestToken::spacesCollapseAndEdgesGiveNoToken()
{
    TTokenizer t(QLatin1Char(' '), QStringLiteral("  a  b "));
    QCOMPARE(t.nextToken(), QStringLiteral("a"));
    QCOMPARE(t.nextToken(), QStringLiteral("b"));
    QCOMPARE(t.nextToken(), QString());
    QVERIFY(t.rest.isEmpty());
    QCOMPARE(t.nextToken(), QString());

    TTokenizer words(QLatin1Char(' '), QStringLiteral("Il gatto   dorme sul\tdivano."));
    QCOMPARE(allTokens(words), (QStringList{QStringLiteral("Il"), QStringLiteral("gatto"),
                                            QStringLiteral("dorme"),
                                            QStringLiteral("sul\tdivano.")}));
}

void TestToken::pipeFieldsOfAHistoryLine()
{
    TTokenizer step(QLatin1Char('|'), QStringLiteral("3|1|"));
    QCOMPARE(step.nextToken(), QStringLiteral("3"));
    QCOMPARE(step.nextToken(), QStringLiteral("1"));
    QCOMPARE(step.nextToken(), QString());

    TTokenizer reset(QLatin1Char('|'), QStringLiteral("-1|0|4"));
    QCOMPARE(allTokens(reset),
             (QStringList{QStringLiteral("-1"), QStringLiteral("0"), QStringLiteral("4")}));

    // An empty field between separators is skipped, not returned.
    TTokenizer gap(QLatin1Char('|'), QStringLiteral("||7||Torna indietro di 5 frasi|"));
    QCOMPARE(allTokens(gap),
             (QStringList{QStringLiteral("7"), QStringLiteral("Torna indietro di 5 frasi")}));
}

void TestToken::hasMoreTokensLooksAtEveryCharacter()
{
    QVERIFY(!TTokenizer(QLatin1Char(' '), QStringLiteral("    ")).hasMoreTokens());
    QVERIFY(!TTokenizer(QLatin1Char(' '), QString()).hasMoreTokens());
    QVERIFY(TTokenizer(QLatin1Char(' '), QStringLiteral("      x")).hasMoreTokens());
    QVERIFY(!TTokenizer(QLatin1Char(','), QStringLiteral(",,,")).hasMoreTokens());
    // Accented and windows-1252 characters are ordinary token characters.
    TTokenizer accents(QLatin1Char(','), QString::fromUtf8("perché,€,àèìòù"));
    QCOMPARE(allTokens(accents), (QStringList{QString::fromUtf8("perché"), QString::fromUtf8("€"),
                                              QString::fromUtf8("àèìòù")}));
}

void TestToken::setTextStartsAgain()
{
    TTokenizer t(QLatin1Char(','), QStringLiteral("a,b"));
    QCOMPARE(t.nextToken(), QStringLiteral("a"));
    t.setText(QStringLiteral(",c,,d,"));
    QCOMPARE(t.separator, QLatin1Char(','));
    QCOMPARE(allTokens(t), (QStringList{QStringLiteral("c"), QStringLiteral("d")}));
    QVERIFY(!t.hasMoreTokens());
}

QTEST_MAIN(TestToken)
#include "tst_token.moc"
