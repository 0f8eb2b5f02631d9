#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

class QColor;
class QFont;
class QImage;

// Shared helpers of the program: windows-1252 texts, the plain-text reader and
// writer, the section files (a results archive is one), the exercise reader,
// small string helpers and the drawing helpers of the transition effects.
//
// Every text file of the program is windows-1252 with lines ending in CR LF;
// the readers accept CR LF, a lone CR and a lone LF as line ends.

// ---------------------------------------------------------------------------
// windows-1252

// Every character must fit (see fitsCp1252); one that does not becomes '?'.
QByteArray encodeCp1252(const QString& text);
QString decodeCp1252(const QByteArray& bytes);
QString decodeCp1252(const char* bytes, qsizetype length);
// True when every character of `text` has a windows-1252 byte.
bool fitsCp1252(const QString& text);
bool fitsCp1252(const QStringList& lines);

// ---------------------------------------------------------------------------
// Plain texts

// Reads a plain text. CR LF, a lone CR and a lone LF each end a line; a line
// that would grow beyond 255 characters is cut after its last space (the space
// stays at the end of the piece), or at 255 characters when it has no space;
// the rest goes on in the next line. No character is lost. `out` is cleared
// first; false (and `out` empty) when the file cannot be opened.
bool loadText(QStringList& out, const QString& path);

// Writes `lines`, each followed by CR LF, replacing the file atomically under
// its lock (model/SafeFile.h); a CR, LF or CR LF inside a line is written as
// CR LF (the line is written as the lines it holds, as loadText reads them
// back). True only when the file was written and flushed to the disk; false,
// and the old file kept, when a line holds a character outside windows-1252,
// the file cannot be written or flushed, or the user gave up waiting for a
// file in use elsewhere.
bool saveText(const QStringList& lines, const QString& path);

// The lines with every line longer than `maxLine` cut as loadText cuts them.
QStringList cutLongLines(const QStringList& lines, int maxLine = 255);

// Splits decoded text into lines at CR LF, lone CR and lone LF, without any
// length limit. A final line without an end is kept when it is not empty.
QStringList splitLines(const QString& text);

// ---------------------------------------------------------------------------
// Strings

// `s` without leading and trailing spaces (only the space character).
QString trimSpaces(const QString& s);
QStringView trimSpaces(QStringView s);
// True when every line is empty after trimSpaces (also for no lines).
bool isBlankText(const QStringList& lines);
// True when some line holds one of the reserved characters "~", "[", "]".
bool hasReservedChars(const QStringList& lines);
int minOf(int a, int b);
int maxOf(int a, int b);

// ---------------------------------------------------------------------------
// Section files
//
// A file is named by folder (with or without a final "/"), name and
// extension: folder/name.extension. A line's key is the text after its first
// "[" (from its start when it has none) up to its first "=", its value the
// text after that "=" up to the first "]", both without surrounding spaces;
// a line without "=", or whose "=" or "]" comes before its "[", has an empty
// key and value, and a line without "]" (or with it before the "=") has an
// empty value. A header for key K is a line whose key is K; a block for K and
// V runs from a header for K with value V to the next header for K whose
// value differs. Keys and values compare case-sensitively.

QString sectionFilePath(const QString& folder, const QString& name, const QString& extension);

// Key and value of one line, as described above.
void lineKeyValue(QStringView line, QString& key, QString& value);

// The trimmed, non-blank lines of the block(s) for key and value, in file
// order; without the first header when `includeHeader` is false. A missing
// file is created empty. Shows "Errore di lettura del file " + name when the
// file cannot be read (out stays empty).
void readBlock(QStringList& out, const QString& key, const QString& value, bool includeHeader,
               const QString& folder, const QString& name, const QString& extension);

// The values of every header for key, in file order, duplicates included.
// A missing file is created empty; read errors as readBlock.
void listValues(QStringList& out, const QString& key, const QString& folder, const QString& name,
                const QString& extension);

// The whole file as readBlock reads it (an append in progress left out
// through its journal), without creating it and without a message: a missing
// file reads as empty. False when the file cannot be read.
bool readSectionBytes(const QString& path, QByteArray& bytes);

// Every block for key in one reading, those with the same value as one, in
// the order their values first appear, as the file's own bytes for readers
// that decode only what they need: each block's lines after its header(s),
// with their line ends, in file order. Only the blocks whose value `wanted`
// accepts are kept (all without `wanted`); `values`, when given, receives
// every value once. The file is read as readBlock reads it (an append in
// progress left out); a missing file is created empty; read errors as
// readBlock.
struct BlockBytes {
    QString value;
    QByteArray data;
};
bool readBlockBytes(QList<BlockBytes>& out, const QString& key, const QString& folder,
                    const QString& name, const QString& extension,
                    const std::function<bool(const QString&)>& wanted = {},
                    QStringList* values = nullptr);
// Calls `visit(line)` for every line of the parts of a block as readBlock
// keeps them: trimmed of spaces, blank ones skipped.
void forEachBlockLine(const BlockBytes& block, const std::function<void(QByteArrayView)>& visit);

// Every change of a section file holds its lock and cuts back an append that
// a crash left unfinished first (see model/SafeFile.h); readers do not wait
// for the lock but see the file either before a change or after it (an
// append in progress is left out through its journal). A change is
// refused, with a message, when the file is marked read-only ("Il file " +
// name + " è di sola lettura: non è stato modificato.") or when the user gives
// up waiting for a file in use elsewhere ("... è in uso altrove: non è stato
// modificato.").

// Removes the block for key and value (lines before the first header for key
// are dropped too). The file is replaced atomically: the new content is
// written and flushed under "<file>.xprtwqsz-<pid>.tch", the old content gets
// the second name "<file>.pqwxzswt-<pid>.xxx" while the new one takes the
// file's place: at any moment either the old or the new file is in place.
// True when the block is gone; false after one of the messages "Errore nelle
// operazioni sui file" (the file cannot be read, or the new content cannot be
// written, e.g. a full disk), "Errore! operazione non terminata" (the old
// content cannot be kept aside) and "Errore! Si veda il file " + the second
// name (the new content could not take the file's place); the file is
// unchanged after each of them.
bool removeBlock(const QString& key, const QString& value, const QString& folder,
                 const QString& name, const QString& extension);

// Replaces the block for key and value by `lines` at the end of the file, in
// one rewrite as removeBlock's (`lines` written as appendLines writes them):
// the file holds either the old block or the new one, never neither. A
// missing file is created. Same results and messages as removeBlock, and the
// refusal of appendLines for characters outside windows-1252.
bool replaceBlock(const QString& key, const QString& value, const QStringList& lines,
                  const QString& folder, const QString& name, const QString& extension);

// Appends the lines that are not blank after trimSpaces, unchanged, each with
// CR LF; a missing file is created. All or nothing, also across a crash: the
// append is journalled (see model/SafeFile.h), and a failed write is undone.
// True when written and flushed to the disk (also when every line was blank).
// Messages: "Errore nell'apertura del file " + name (cannot open), "Errore
// nella scrittura del file " + name (write or flush failed, e.g. a full disk),
// and a refusal when a line holds a character outside windows-1252.
bool appendLines(const QStringList& lines, const QString& folder, const QString& name,
                 const QString& extension);

// Fault injection for the tests of the rewrite: the next one fails at the
// given step as the file system would. Not used by the program.
enum class ReplaceFault { None, WriteTemporary, KeepOld, ReplaceFile };
void injectReplaceFaultForTests(ReplaceFault fault);

// ---------------------------------------------------------------------------
// Exercise files

// Reads an exercise: "[compito]" starts the task, "[testo]" the text (the
// section word is the text between the first "[" and the first "]", trimmed);
// lines before the first of them are ignored, task lines are joined with
// CR LF, text lines are kept unchanged, blank ones included. False when the
// file cannot be read.
bool readExercise(const QString& path, QStringList& text, QString& task);

// ---------------------------------------------------------------------------
// Drawing helpers. They draw on `canvas` and call `shown` after each drawing
// step, so the window can show the step at once (a synchronous repaint);
// the effects busy-wait on waitTicks between steps.

// Copies family, size, weight, style, underline and strike-out.
void copyFont(const QFont& from, QFont& to);
// The same, with the text colour that goes with each font.
void copyFont(const QFont& from, const QColor& fromColour, QFont& to, QColor& toColour);

// Fills (0, top) - (width, top + height) with white.
void clearBand(QImage& canvas, int top, int width, int height,
               const std::function<void()>& shown = {});

// Fills the area (left, top, width, height), in squares of `side` pixels in a
// random order, with `colour`; shows and waits one tick after every 20 squares.
void dissolveToColour(QImage& canvas, int left, int top, const QColor& colour, int side,
                      int height, int width, const std::function<void()>& shown = {});

// Copies `picture` onto the canvas at the same place, band by band from the
// top (bands of `bandHeight` pixels of the area left, top, width, height),
// showing each band and waiting 3 ticks after it.
void revealBands(QImage& canvas, int left, int top, const QImage& picture, int bandHeight,
                 int height, int width, const std::function<void()>& shown = {});
