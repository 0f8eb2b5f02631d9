#include "model/Token.h"

TTokenizer::TTokenizer(QChar separatorChar, const QString& text)
    : separator(separatorChar), rest(text)
{
}

void TTokenizer::setText(const QString& text)
{
    rest = text;
}

bool TTokenizer::hasMoreTokens() const
{
    for (const QChar c : rest) {
        if (c != separator)
            return true;
    }
    return false;
}

QString TTokenizer::nextToken()
{
    QString token;
    while (token.isEmpty() && !rest.isEmpty()) {
        const qsizetype at = rest.indexOf(separator);
        if (at < 0) {
            token = rest;
            rest.clear();
        } else {
            token = rest.left(at);
            rest.remove(0, at + 1);
        }
    }
    return token;
}
