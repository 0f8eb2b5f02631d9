#include "common/Hint.h"

QString wrapHint(const QString& hint)
{
    // Positions counted from 1, as the hint is walked: the first line holds at
    // most 39 characters, every later one at most 40.
    QString text = hint;
    int lineStart = 1;
    int p = 40;
    while (p < text.length()) {
        int space = p;
        while (space >= lineStart && text.at(space - 1) != QLatin1Char(' '))
            --space;
        if (space >= lineStart) {
            text.replace(space - 1, 1, QStringLiteral("\r\n"));
            p = space + 2;
        } else {
            // No space in the whole stretch: the line is cut where it is full.
            text.insert(p - 1, QStringLiteral("\r\n"));
            p += 2;
        }
        lineStart = p;
        p += 40;
    }
    return text;
}
