#pragma once

#include <QChar>
#include <QString>

// Cuts a string into non-empty tokens at one separator character. Runs of
// separators count as one; leading and trailing separators give no token.
// The layout uses it with a space, the results reader with "|", the
// animation scripts with "," and printing with a space.
class TTokenizer
{
public:
    TTokenizer(QChar separator, const QString& text);

    // Starts again on a new text (the separator stays).
    void setText(const QString& text);
    // True when the text not yet consumed holds a character other than the separator.
    bool hasMoreTokens() const;
    // The next non-empty token, or an empty string when none is left.
    QString nextToken();

    QChar separator;
    QString rest;   // the part of the text not yet consumed
};
