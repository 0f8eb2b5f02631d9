#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Plain texts are the user's own files: they come in UTF-8 (with or without a
// byte-order mark), UTF-16 with a byte-order mark, windows-1252, or another
// 8-bit encoding that libuchardet recognises with confidence. A text keeps
// the form it was read in: saved again it is written in the same encoding,
// with the same line end and the same final line end, so an unchanged text
// keeps its bytes. A new text is UTF-8 with LF line ends.

// A character replaced by its nearest equivalent (see replaceOutsideCp1252).
struct Replacement {
    QString original;      // the character (one code point, or one emoji sequence)
    QString replacement;   // what it became ("" for an invisible mark)
};

// How a plain text is written.
struct TextFormat {
    QByteArray encoding = "UTF-8";    // "UTF-8", "UTF-16LE", "UTF-16BE", "windows-1252", ...
    bool byteOrderMark = false;
    QByteArray lineEnd = "\n";         // "\n", "\r\n" or "\r"
    bool finalLineEnd = true;          // the last line has a line end too

    bool isUnicode() const { return encoding.startsWith("UTF-"); }
    // The encoding as the user knows it: "UTF-8", "UTF-16", "windows-1252".
    QString encodingName() const;
};

// A plain text and the form it was read in.
class PlainText
{
public:
    // A new text: UTF-8, LF, a final line end.
    PlainText() = default;
    // The text of `bytes`, in the encoding they are found to have. A text
    // that is not valid UTF-8 and has no byte-order mark is windows-1252
    // unless libuchardet recognises another 8-bit encoding with confidence.
    static PlainText fromBytes(const QByteArray& bytes);

    // The lines of the text joined by '\n' (CR LF and a lone CR read as
    // '\n'), without the final line end.
    QString text;
    TextFormat format;

    // The bytes of `newText` in this text's form. While `newText` is the text
    // as read, the bytes read are given back unchanged. Characters the
    // encoding cannot hold must have been kept out (see canHold).
    QByteArray toBytes(const QString& newText) const;
    // True when every character of `s` can be written in this text's encoding.
    bool canHold(const QString& s) const;
    // `s` with the characters this text's encoding cannot hold replaced by
    // their nearest equivalents (see replaceOutsideCp1252).
    QString replaceUnstorable(const QString& s, QList<Replacement>* replaced) const;
    // The text was written as `bytes`: from now on they are the bytes read.
    void markSaved(const QString& savedText, const QByteArray& bytes);
    // The text as read (empty for a new text).
    const QString& textAsRead() const { return readText; }

private:
    QByteArray readBytes;
    QString readText;
    bool fromFile = false;
};

// True when `bytes` hold a NUL byte that is not part of UTF-16 text: a file
// of some other kind, not a text.
bool looksBinary(const QByteArray& bytes);

// ---------------------------------------------------------------------------
// Characters windows-1252 cannot hold
//
// An exercise is stored in windows-1252. A character outside it that comes
// in with a converted or pasted text is replaced by its nearest equivalent:
// a letter by the letter without its mark ("ő" -> "o"), a typographic sign by
// its plain form ("→" -> "->", "≤" -> "<=", a thin space -> a space), an
// invisible formatting mark by nothing, anything else (a symbol, an emoji, a
// letter of another alphabet) by a space.

// `text` with every character outside windows-1252 replaced; each different
// character replaced is added once to `replaced`.
QString replaceOutsideCp1252(const QString& text, QList<Replacement>* replaced);
QStringList replaceOutsideCp1252(const QStringList& lines, QList<Replacement>* replaced);

// The one message that tells which characters were replaced, and by what;
// `where` completes "Alcuni caratteri non si possono salvare ...", e.g. "in
// un esercizio".
QString replacementMessage(const QList<Replacement>& replaced, const QString& where);
