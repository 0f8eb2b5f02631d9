#include "model/Funzioni.h"

#include "model/Clock.h"
#include "model/DialogService.h"
#include "model/SafeFile.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QVector>

#include <array>
#include <utility>
#include <vector>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// ---------------------------------------------------------------------------
// windows-1252

namespace {

// The windows-1252 tables, built once from the system's windows-1252 decoder:
// the character of every byte, and for every UTF-16 code unit its byte + 1
// (0 when windows-1252 has none). Encoding, decoding and the check then
// never disagree, and short strings cost no converter set-up.
struct Cp1252Tables {
    std::array<char16_t, 256> toUnicode{};
    std::array<quint16, 65536> toByte{};
};

const Cp1252Tables& cp1252()
{
    static const Cp1252Tables tables = [] {
        Cp1252Tables t;
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QStringDecoder decoder("windows-1252");
        const QString chars = decoder.decode(all);
        Q_ASSERT(chars.size() == 256);
        for (int i = 0; i < 256 && i < chars.size(); ++i) {
            t.toUnicode[size_t(i)] = chars.at(i).unicode();
            if (t.toByte[chars.at(i).unicode()] == 0)
                t.toByte[chars.at(i).unicode()] = quint16(i + 1);
        }
        return t;
    }();
    return tables;
}

} // namespace

QByteArray encodeCp1252(const QString& text)
{
    const auto& toByte = cp1252().toByte;
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const quint16 b = toByte[c.unicode()];
        *out++ = b ? char(b - 1) : '?';
    }
    return bytes;
}

QString decodeCp1252(const QByteArray& bytes)
{
    return decodeCp1252(bytes.constData(), bytes.size());
}

QString decodeCp1252(const char* bytes, qsizetype length)
{
    const auto& toUnicode = cp1252().toUnicode;
    QString text(length, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < length; ++i)
        *out++ = QChar(toUnicode[uchar(bytes[i])]);
    return text;
}

bool fitsCp1252(const QString& text)
{
    const auto& toByte = cp1252().toByte;
    for (const QChar c : text) {
        if (toByte[c.unicode()] == 0)
            return false;
    }
    return true;
}

bool fitsCp1252(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (!fitsCp1252(line))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading and writing whole files

namespace {

// The whole file, or false when it cannot be opened or read.
bool readWholeFile(const QString& path, QByteArray& bytes)
{
    bytes.clear();
    // Only regular files: a pipe would block and a device could never end.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        bytes.clear();
        return false;
    }
    return true;
}

bool syncFile(QFile& file)
{
    return file.flush() && syncDescriptor(file.handle());
}

// Calls `f(begin, length, endLength)` for every line of `data`: CR LF, a lone
// CR and a lone LF end a line (endLength 2, 1, 1); a final line without an
// end (endLength 0) is passed when not empty. memchr does the scanning; the
// next LF is remembered, so a file of lone CRs is still read in one pass.
template <class F>
void forEachLine(const QByteArray& data, F&& f)
{
    const char* p = data.constData();
    const char* const end = p + data.size();
    const char* nextLf = nullptr;
    while (p < end) {
        if (nextLf < p) {
            nextLf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!nextLf)
                nextLf = end;
        }
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(nextLf - p)));
        if (cr) {
            const bool crLf = cr + 1 == nextLf && nextLf < end;
            f(p, qsizetype(cr - p), crLf ? 2 : 1);
            p = crLf ? nextLf + 1 : cr + 1;
        } else {
            f(p, qsizetype(nextLf - p), nextLf < end ? 1 : 0);
            p = nextLf + 1;
        }
    }
}

} // namespace

QStringList splitLines(const QString& text)
{
    QStringList out;
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    while (p < end) {
        const QChar* q = p;
        while (q < end && *q != u'\r' && *q != u'\n')
            ++q;
        out.append(QString(p, qsizetype(q - p)));
        if (q < end && *q == u'\r' && q + 1 < end && q[1] == u'\n')
            ++q;
        p = q + 1;
    }
    return out;
}

namespace {

void appendCutLine(QStringList& out, const QString& line, int maxLine)
{
    if (line.size() <= maxLine) {
        out.append(line);
        return;
    }
    QString current;
    current.reserve(maxLine + 1);
    for (const QChar c : line) {
        if (current.size() == maxLine) {
            // The line would grow beyond the limit: cut it after its last
            // space (at the limit when it has none); the rest goes on.
            const qsizetype space = current.lastIndexOf(u' ');
            if (space < 0) {
                out.append(current);
                current.clear();
            } else {
                out.append(current.left(space + 1));
                current.remove(0, space + 1);
            }
        }
        current.append(c);
    }
    out.append(current);
}

} // namespace

QStringList cutLongLines(const QStringList& lines, int maxLine)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        appendCutLine(out, line, maxLine);
    return out;
}

bool loadText(QStringList& out, const QString& path)
{
    out.clear();
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    const QStringList lines = splitLines(decodeCp1252(bytes));
    for (const QString& line : lines)
        appendCutLine(out, line, 255);
    return true;
}

bool saveText(const QStringList& lines, const QString& path)
{
    if (!fitsCp1252(lines))
        return false;
    QByteArray bytes;
    for (const QString& line : lines) {
        if (!line.contains(u'\r') && !line.contains(u'\n')) {
            bytes += encodeCp1252(line);
            bytes += "\r\n";
            continue;
        }
        // Line ends inside a line (a bare LF from Qt's editors, a lone CR)
        // become CR LF, so the file keeps its format.
        QStringView rest(line);
        for (;;) {
            qsizetype end = 0;
            while (end < rest.size() && rest[end] != u'\r' && rest[end] != u'\n')
                ++end;
            bytes += encodeCp1252(rest.left(end).toString());
            bytes += "\r\n";
            if (end == rest.size())
                break;
            const bool crLf = rest[end] == u'\r' && end + 1 < rest.size() && rest[end + 1] == u'\n';
            rest = rest.mid(end + (crLf ? 2 : 1));
        }
    }
    const FileLock lock(path);
    return lock.ok() && replaceFileContents(path, bytes);
}

// ---------------------------------------------------------------------------
// Strings

QStringView trimSpaces(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

QString trimSpaces(const QString& s)
{
    return trimSpaces(QStringView(s)).toString();
}

bool isBlankText(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (!trimSpaces(QStringView(line)).isEmpty())
            return false;
    }
    return true;
}

bool hasReservedChars(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (line.contains(u'~') || line.contains(u'[') || line.contains(u']'))
            return true;
    }
    return false;
}

int minOf(int a, int b)
{
    return a < b ? a : b;
}

int maxOf(int a, int b)
{
    return a > b ? a : b;
}

// ---------------------------------------------------------------------------
// Section files

namespace {

struct ByteView {
    const char* p = nullptr;
    qsizetype n = 0;
    bool operator==(const QByteArray& other) const
    {
        return n == other.size() && (n == 0 || std::memcmp(p, other.constData(), size_t(n)) == 0);
    }
};

qsizetype findByte(const char* p, qsizetype n, char c)
{
    const void* hit = n > 0 ? std::memchr(p, c, size_t(n)) : nullptr;
    return hit ? qsizetype(static_cast<const char*>(hit) - p) : -1;
}

ByteView trimmedBytes(const char* p, qsizetype n)
{
    qsizetype b = 0;
    while (b < n && p[b] == ' ')
        ++b;
    while (n > b && p[n - 1] == ' ')
        --n;
    return {p + b, n - b};
}

// The one rule of a header line, over the bytes of a windows-1252 line or the
// characters of a decoded one ("[", "=", "]" and the space are the same in
// both): the key is the text after the first "[" (from the start without
// one) up to the first "=", the value the text after that "=" up to the first
// "]", both without surrounding spaces. False, with both empty, when the line
// has no "=", or its "=" or first "]" comes before its first "[".
struct Span {
    qsizetype at = 0;
    qsizetype size = 0;
};

qsizetype findIn(const char* p, qsizetype n, char c)
{
    return findByte(p, n, c);
}

qsizetype findIn(const QChar* p, qsizetype n, char c)
{
    return QStringView(p, n).indexOf(QLatin1Char(c));
}

template <typename Char>
Span trimmedSpan(const Char* p, qsizetype from, qsizetype to)
{
    while (from < to && p[from] == u' ')
        ++from;
    while (to > from && p[to - 1] == u' ')
        --to;
    return {from, to - from};
}

template <typename Char>
bool keyValueSpans(const Char* p, qsizetype n, Span& key, Span& value)
{
    key = {};
    value = {};
    const qsizetype eq = findIn(p, n, '=');
    if (eq < 0)
        return false;
    const qsizetype open = findIn(p, eq, '[');
    const qsizetype close = findIn(p, n, ']');
    if (open < 0 && findIn(p + eq, n - eq, '[') >= 0)
        return false;    // "=" before the first "["
    if (open >= 0 && close >= 0 && close < open)
        return false;    // "]" before the first "["
    key = trimmedSpan(p, open >= 0 ? open + 1 : 0, eq);
    if (close > eq)
        value = trimmedSpan(p, eq + 1, close);
    return true;
}

// Key and value of a line of windows-1252 bytes (keyValueSpans).
bool keyValueBytes(const char* p, qsizetype n, ByteView& key, ByteView& value)
{
    Span k;
    Span v;
    const bool found = keyValueSpans(p, n, k, v);
    key = {p + k.at, k.size};
    value = {p + v.at, v.size};
    return found;
}

// A line is a header for `key` when its key is `key`.
bool isHeaderFor(const char* p, qsizetype n, const QByteArray& key, ByteView& value)
{
    ByteView lineKey;
    if (!keyValueBytes(p, n, lineKey, value))
        return key.isEmpty();
    return lineKey == key;
}

// The wanted key or value as file bytes; false when it cannot occur in a file.
bool wantedBytes(const QString& text, QByteArray& bytes)
{
    if (!fitsCp1252(text))
        return false;
    bytes = encodeCp1252(text);
    return true;
}

// Creates the file empty when it does not exist yet.
void createWhenMissing(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.close();
}

// Reads a section file as it is before or after any change, without waiting
// for its lock: a rewrite replaces the file whole (the file read stays as it
// was), and an append in progress is left out through its journal. When the
// file grew while it was read and no journal says by what, an append ended
// meanwhile: it is read again. A journal found first may be one that a crash
// left: under the lock it is applied, cutting the unfinished append away.
bool readSteadily(const QString& path, QByteArray& bytes, bool createMissing)
{
    if (QFileInfo::exists(journalPath(path))) {
        const FileLock lock(path, false);
        if (lock.held())
            recoverAppend(path);
    }
    if (createMissing)
        createWhenMissing(path);
    for (int attempt = 0;; ++attempt) {
        bytes.clear();
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return false;
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            bytes.clear();
            return false;
        }
        const bool steady = file.size() == bytes.size();
        file.close();
        if (trimToJournal(path, bytes) || steady || attempt == 20)
            return true;
    }
}

// The same for the section-file primitives: a missing file is created empty
// and a failed read is reported.
bool readSectionFile(const QString& path, const QString& name, QByteArray& bytes)
{
    if (readSteadily(path, bytes, true))
        return true;
    showMessage(QStringLiteral("Errore di lettura del file ") + name);
    return false;
}

void reportInUse(const QString& name)
{
    showMessage(QStringLiteral("Il file ") + name
                + QString::fromUtf8(" è in uso altrove: non è stato modificato."));
}

void reportReadOnly(const QString& name)
{
    showMessage(QStringLiteral("Il file ") + name
                + QString::fromUtf8(" è di sola lettura: non è stato modificato."));
}

// The lines that are not blank after trimSpaces, each with CR LF.
QByteArray encodeItems(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        if (trimSpaces(QStringView(line)).isEmpty())
            continue;
        bytes += encodeCp1252(line);
        bytes += "\r\n";
    }
    return bytes;
}

ReplaceFault injectedFault = ReplaceFault::None;

} // namespace

void injectReplaceFaultForTests(ReplaceFault fault)
{
    injectedFault = fault;
}

QString sectionFilePath(const QString& folder, const QString& name, const QString& extension)
{
    const QString file = name + u'.' + extension;
    if (folder.isEmpty())
        return file;
    // A name that begins with "/" still stands inside the folder.
    if (folder.endsWith(u'/') || name.startsWith(u'/'))
        return folder + file;
    return folder + u'/' + file;
}

void lineKeyValue(QStringView line, QString& key, QString& value)
{
    Span k;
    Span v;
    keyValueSpans(line.data(), line.size(), k, v);
    key = line.mid(k.at, k.size).toString();
    value = line.mid(v.at, v.size).toString();
}

bool readSectionBytes(const QString& path, QByteArray& bytes)
{
    bytes.clear();
    if (!QFileInfo::exists(path))
        return true;
    return readSteadily(path, bytes, false);
}

void readBlock(QStringList& out, const QString& key, const QString& value, bool includeHeader,
               const QString& folder, const QString& name, const QString& extension)
{
    out.clear();
    QByteArray bytes;
    if (!readSectionFile(sectionFilePath(folder, name, extension), name, bytes))
        return;
    QByteArray wantedKey;
    QByteArray wantedValue;
    if (!wantedBytes(key, wantedKey) || !wantedBytes(value, wantedValue))
        return;    // such a key or value cannot stand in the file
    bool inBlock = false;
    forEachLine(bytes, [&](const char* p, qsizetype n, int) {
        ByteView lineValue;
        if (isHeaderFor(p, n, wantedKey, lineValue))
            inBlock = lineValue == wantedValue;
        if (!inBlock)
            return;
        const ByteView t = trimmedBytes(p, n);
        if (t.n > 0)
            out.append(decodeCp1252(QByteArray(t.p, t.n)));
    });
    if (!includeHeader && !out.isEmpty())
        out.removeFirst();
}

void listValues(QStringList& out, const QString& key, const QString& folder, const QString& name,
                const QString& extension)
{
    out.clear();
    QByteArray bytes;
    if (!readSectionFile(sectionFilePath(folder, name, extension), name, bytes))
        return;
    QByteArray wantedKey;
    if (!wantedBytes(key, wantedKey))
        return;
    forEachLine(bytes, [&](const char* p, qsizetype n, int) {
        ByteView lineValue;
        if (isHeaderFor(p, n, wantedKey, lineValue))
            out.append(decodeCp1252(QByteArray(lineValue.p, lineValue.n)));
    });
}

namespace {

// A header line found in a section file's bytes.
struct HeaderLine {
    const char* start = nullptr;  // first byte of the line
    const char* next = nullptr;   // first byte of the line after it
    ByteView value;
};

// The first header for `key` in the lines from `from` (a line start) on. A
// line's key ends at its first "=", so only the lines whose first "=" comes
// right after the key's bytes (and spaces) can be headers for it: the "="
// are looked for, and the lines are checked only there.
bool nextHeader(const char* from, const char* begin, const char* end, const QByteArray& key,
                HeaderLine& header)
{
    if (key.isEmpty())
        return false;
    const char* search = from;
    while (search < end) {
        const char* equals = static_cast<const char*>(std::memchr(search, '=', size_t(end - search)));
        if (!equals)
            return false;
        const char* keyEnd = equals;
        while (keyEnd > search && keyEnd[-1] == ' ')
            --keyEnd;
        const bool keyBefore = keyEnd - search >= key.size()
                               && std::memcmp(keyEnd - key.size(), key.constData(), size_t(key.size())) == 0;
        // The line's end; a line whose first "=" is not after the key is passed over whole.
        const char* lineEnd = equals;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
            ++lineEnd;
        const char* next = lineEnd;
        if (next < end)
            next += (*next == '\r' && next + 1 < end && next[1] == '\n') ? 2 : 1;
        if (keyBefore) {
            const char* start = keyEnd - key.size();
            while (start > begin && start > from && start[-1] != '\n' && start[-1] != '\r')
                --start;
            if (isHeaderFor(start, qsizetype(lineEnd - start), key, header.value)) {
                header.start = start;
                header.next = next;
                return true;
            }
        }
        search = next;
    }
    return false;
}

} // namespace

namespace {

// The blocks for one key gathered from the file's bytes, given in pieces
// that end at line ends.
class BlockGatherer
{
public:
    BlockGatherer(QList<BlockBytes>& blocks, const QByteArray& headerKey,
                  const std::function<bool(const QString&)>& accepts, QStringList* allValues)
        : out(blocks), key(headerKey), wanted(accepts), values(allValues)
    {
    }

    void add(const char* begin, const char* end)
    {
        HeaderLine header;
        bool found = nextHeader(begin, begin, end, key, header);
        // What comes before the first header goes on with the block before it.
        keep(begin, found ? header.start : end);
        while (found) {
            // A header with the value of the block before it goes on with that block.
            if (first || !(header.value == last)) {
                first = false;
                last = QByteArray(header.value.p, header.value.n);
                const auto known = blockOf.constFind(last);
                if (known != blockOf.constEnd()) {
                    current = *known;
                } else {
                    const QString value = decodeCp1252(last);
                    current = -1;
                    if (!wanted || wanted(value)) {
                        current = int(out.size());
                        out.append(BlockBytes{value, {}});
                    }
                    blockOf.insert(last, current);
                    if (values)
                        values->append(value);
                }
            }
            HeaderLine following;
            found = nextHeader(header.next, begin, end, key, following);
            keep(header.next, found ? following.start : end);
            header = following;
        }
    }

private:
    void keep(const char* from, const char* to)
    {
        if (current >= 0 && to > from)
            out[current].data.append(from, to - from);
    }

    QList<BlockBytes>& out;
    const QByteArray& key;
    const std::function<bool(const QString&)>& wanted;
    QStringList* values;
    QHash<QByteArray, int> blockOf;   // block of each value in `out`, -1 for one not wanted
    int current = -1;
    QByteArray last;
    bool first = true;
};

// Reads the file in pieces through one buffer (no copy of the whole file is
// made) when it can be read steadily so: no journal of an append, before or
// after, and the same size at the end as at the start. False, with nothing
// gathered, when it cannot; the caller then reads the file whole.
bool gatherStreamed(const QString& path, const QByteArray& key,
                    const std::function<bool(const QString&)>& wanted, QStringList* values,
                    QList<BlockBytes>& out)
{
    if (QFileInfo::exists(journalPath(path)))
        return false;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    BlockGatherer gather(out, key, wanted, values);
    constexpr qint64 piece = 1 << 20;
    QByteArray buffer(piece * 2, Qt::Uninitialized);
    qint64 held = 0;     // bytes of an unfinished line carried over
    qint64 read = 0;
    bool whole = true;
    while (read < size) {
        if (held + piece > buffer.size())
            buffer.resize(held + piece);
        const qint64 got = file.read(buffer.data() + held, std::min(piece, size - read));
        if (got <= 0) {
            whole = false;
            break;
        }
        read += got;
        const char* begin = buffer.constData();
        const char* end = begin + held + got;
        // The pieces end after the last line end; the rest waits for the next one.
        const char* cut = end;
        if (read < size) {
            while (cut > begin && cut[-1] != '\n' && cut[-1] != '\r')
                --cut;
        }
        gather.add(begin, cut);
        held = end - cut;
        std::memmove(buffer.data(), cut, size_t(held));
    }
    if (held > 0)
        gather.add(buffer.constData(), buffer.constData() + held);
    if (!whole || file.size() != size || QFileInfo::exists(journalPath(path))) {
        out.clear();
        if (values)
            values->clear();
        return false;
    }
    return true;
}

} // namespace

bool readBlockBytes(QList<BlockBytes>& out, const QString& key, const QString& folder,
                    const QString& name, const QString& extension,
                    const std::function<bool(const QString&)>& wanted, QStringList* values)
{
    out.clear();
    if (values)
        values->clear();
    QByteArray wantedKey;
    const bool keyFits = wantedBytes(key, wantedKey) && !wantedKey.isEmpty();
    const QString path = sectionFilePath(folder, name, extension);
    if (keyFits && gatherStreamed(path, wantedKey, wanted, values, out))
        return true;
    // Read whole, as the other primitives read: an append in progress left
    // out, a missing file created, an error shown.
    QByteArray bytes;
    if (!readSectionFile(path, name, bytes))
        return false;
    if (!keyFits)
        return true;
    BlockGatherer gather(out, wantedKey, wanted, values);
    gather.add(bytes.constData(), bytes.constData() + bytes.size());
    return true;
}

void forEachBlockLine(const BlockBytes& block, const std::function<void(QByteArrayView)>& visit)
{
    forEachLine(block.data, [&visit](const char* p, qsizetype n, int) {
        const ByteView t = trimmedBytes(p, n);
        if (t.n > 0)
            visit(QByteArrayView(t.p, t.n));
    });
}

namespace {

// Rewrites the section file at `path`, whose lock the caller holds: every
// line from the first header for key on, except those of the blocks with
// `value`, then `extra` at the end. The new content is written whole and
// flushed to the disk under a temporary name; the old content gets a second
// name while the new one takes the file's place in one rename, so at every
// moment the file is either the old or the new one.
bool rewriteSectionFile(const QString& key, const QString& value, const QByteArray& extra,
                        const QString& path, const QString& name)
{
    const ReplaceFault fault = injectedFault;
    injectedFault = ReplaceFault::None;
    const QString failed = QStringLiteral("Errore nelle operazioni sui file");

    QByteArray bytes;
    if (!recoverAppend(path) || !readWholeFile(path, bytes)) {
        showMessage(failed);
        return false;
    }
    if (isReadOnlyFile(path)) {
        reportReadOnly(name);
        return false;
    }
    removeLeftovers(path);
    const QString newPath = temporaryPathFor(path, "xprtwqsz", "tch");
    const QString oldPath = temporaryPathFor(path, "pqwxzswt", "xxx");
    QByteArray wantedKey;
    QByteArray wantedValue;
    const bool canMatch = wantedBytes(key, wantedKey) && wantedBytes(value, wantedValue);

    // The new content as pieces of the old one: runs of kept lines that
    // already end with CR LF are written in one piece, straight from `bytes`.
    static const char crLf[] = "\r\n";
    std::vector<std::pair<const char*, qsizetype>> pieces;
    bool keep = false;
    const auto addPiece = [&](const char* p, qsizetype n) {
        if (!pieces.empty() && pieces.back().first + pieces.back().second == p
            && pieces.back().first != crLf)
            pieces.back().second += n;
        else
            pieces.emplace_back(p, n);
    };
    forEachLine(bytes, [&](const char* p, qsizetype n, int endLength) {
        ByteView lineValue;
        if (isHeaderFor(p, n, wantedKey, lineValue))
            keep = !(canMatch && lineValue == wantedValue);
        if (!keep)
            return;
        if (endLength == 2) {
            addPiece(p, n + 2);
        } else {
            addPiece(p, n);
            pieces.emplace_back(crLf, 2);
        }
    });
    if (!extra.isEmpty())
        pieces.emplace_back(extra.constData(), extra.size());

    // 1. The new content, written whole and on disk before anything moves.
    {
        QFile out(newPath);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            showMessage(failed);
            return false;
        }
        out.setPermissions(QFile::permissions(path));
        bool written = fault != ReplaceFault::WriteTemporary;
        for (const auto& [p, n] : pieces) {
            if (!written || out.write(p, n) != n) {
                written = false;
                break;
            }
        }
        written = written && syncFile(out);
        out.close();
        if (!written) {
            QFile::remove(newPath);
            showMessage(failed);
            return false;
        }
    }

    // 2. The old content kept aside under a second name (a copy where the
    //    file system has no links).
    const QByteArray oldName = QFile::encodeName(oldPath);
    bool keptAside = false;
    if (fault != ReplaceFault::KeepOld) {
        if (::link(QFile::encodeName(path).constData(), oldName.constData()) == 0) {
            keptAside = true;
        } else if (errno != EEXIST) {
            QFile copy(oldPath);
            keptAside = copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                        && copy.write(bytes) == bytes.size() && syncFile(copy);
            copy.close();
            if (!keptAside)
                QFile::remove(oldPath);
        }
    }
    if (!keptAside) {
        QFile::remove(newPath);
        showMessage(QStringLiteral("Errore! operazione non terminata"));
        return false;
    }

    // 3. The new content takes the file's place in one step.
    const bool replaced =
        fault != ReplaceFault::ReplaceFile
        && std::rename(QFile::encodeName(newPath).constData(), QFile::encodeName(path).constData())
               == 0;
    if (!replaced) {
        QFile::remove(newPath);
        showMessage(QStringLiteral("Errore! Si veda il file ") + QFileInfo(oldPath).fileName());
        return false;
    }
    syncFolderOf(path);
    QFile::remove(oldPath);
    return true;
}

bool refuseUnwritable(const QStringList& lines, const QString& name)
{
    if (fitsCp1252(lines))
        return false;
    showMessage(QStringLiteral("Il testo contiene caratteri che non si possono scrivere nel file ")
                + name + QStringLiteral(": nulla è stato scritto."));
    return true;
}

} // namespace

bool removeBlock(const QString& key, const QString& value, const QString& folder,
                 const QString& name, const QString& extension)
{
    const QString path = sectionFilePath(folder, name, extension);
    const FileLock lock(path);
    if (!lock.ok()) {
        reportInUse(name);
        return false;
    }
    return rewriteSectionFile(key, value, QByteArray(), path, name);
}

bool replaceBlock(const QString& key, const QString& value, const QStringList& lines,
                  const QString& folder, const QString& name, const QString& extension)
{
    if (refuseUnwritable(lines, name))
        return false;
    const QString path = sectionFilePath(folder, name, extension);
    const FileLock lock(path);
    if (!lock.ok()) {
        reportInUse(name);
        return false;
    }
    createWhenMissing(path);
    return rewriteSectionFile(key, value, encodeItems(lines), path, name);
}

bool appendLines(const QStringList& lines, const QString& folder, const QString& name,
                 const QString& extension)
{
    if (refuseUnwritable(lines, name))
        return false;
    QByteArray bytes = encodeItems(lines);
    const QString path = sectionFilePath(folder, name, extension);
    const FileLock lock(path);
    if (!lock.ok()) {
        reportInUse(name);
        return false;
    }
    const QString writeFailed = QStringLiteral("Errore nella scrittura del file ") + name;
    if (lock.held() && !recoverAppend(path)) {
        showMessage(writeFailed);
        return false;
    }
    createWhenMissing(path);
    if (isReadOnlyFile(path)) {
        reportReadOnly(name);
        return false;
    }
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        showMessage(QStringLiteral("Errore nell'apertura del file ") + name);
        return false;
    }
    if (bytes.isEmpty())
        return true;
    const qint64 size = file.size();
    if (size > 0) {
        // A last line without its end would swallow the first new line.
        char last = 0;
        if (file.seek(size - 1) && file.getChar(&last) && last != '\n' && last != '\r')
            bytes.prepend("\r\n");
    }
    if (!appendJournalled(path, file.handle(), size, bytes)) {
        showMessage(writeFailed);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Exercise files

namespace {

// The text between the first "[" (the start when there is none) and the
// first "]", trimmed; empty without "]" or with "]" before "[".
QStringView sectionWord(QStringView line)
{
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return {};
    const qsizetype open = line.indexOf(u'[');
    const qsizetype start = open >= 0 ? open + 1 : 0;
    if (close < start)
        return {};
    return trimSpaces(line.mid(start, close - start));
}

} // namespace

bool readExercise(const QString& path, QStringList& text, QString& task)
{
    text.clear();
    task.clear();
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    enum class Mode { none, inTask, inText } mode = Mode::none;
    const QStringList lines = splitLines(decodeCp1252(bytes));
    for (const QString& line : lines) {
        const QStringView word = sectionWord(line);
        if (word == u"compito") {
            mode = Mode::inTask;
            task.clear();
        } else if (word == u"testo") {
            mode = Mode::inText;
        } else if (mode == Mode::inTask) {
            if (task.isEmpty())
                task = line;
            else
                task += QStringLiteral("\r\n") + line;
        } else if (mode == Mode::inText) {
            text.append(line);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Drawing helpers

void copyFont(const QFont& from, QFont& to)
{
    to.setFamily(from.family());
    if (from.pixelSize() > 0)
        to.setPixelSize(from.pixelSize());
    else
        to.setPointSizeF(from.pointSizeF());
    to.setWeight(from.weight());
    to.setItalic(from.italic());
    to.setUnderline(from.underline());
    to.setStrikeOut(from.strikeOut());
}

void copyFont(const QFont& from, const QColor& fromColour, QFont& to, QColor& toColour)
{
    copyFont(from, to);
    toColour = fromColour;
}

void clearBand(QImage& canvas, int top, int width, int height, const std::function<void()>& shown)
{
    if (width <= 0 || height <= 0)
        return;
    {
        QPainter painter(&canvas);
        painter.fillRect(QRect(0, top, width, height), Qt::white);
    }
    if (shown)
        shown();
}

void dissolveToColour(QImage& canvas, int left, int top, const QColor& colour, int side,
                      int height, int width, const std::function<void()>& shown)
{
    if (side <= 0 || width < 0 || height < 0)
        return;
    QRandomGenerator random(QRandomGenerator::global()->generate());
    const int columns = width / side + 1;
    const int rows = height / side + 1;
    const int n = columns * rows;
    QVector<int> cells(n);
    for (int i = 0; i < n; ++i)
        cells[i] = i;
    for (int k = 0; k <= n; ++k)
        std::swap(cells[random.bounded(n)], cells[random.bounded(n)]);

    const QRect area(left, top, width, height);
    for (int j = 0; j < n; ++j) {
        const int cell = cells[j];
        {
            QPainter painter(&canvas);
            painter.setClipRect(area);
            painter.fillRect(QRect(left + side * (cell % columns), top + side * (cell / columns),
                                   side, side),
                             colour);
        }
        if (j % 20 == 0) {
            if (shown)
                shown();
            waitTicks(1);
        }
    }
    if (shown)
        shown();
}

void revealBands(QImage& canvas, int left, int top, const QImage& picture, int bandHeight,
                 int height, int width, const std::function<void()>& shown)
{
    if (bandHeight <= 0 || height < 0 || width <= 0)
        return;
    const QRect area(left, top, width, height);
    for (int e = 0; e <= height / bandHeight; ++e) {
        const QRect band = QRect(left, top + bandHeight * e, width, bandHeight).intersected(area);
        if (!band.isEmpty()) {
            QPainter painter(&canvas);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(band, picture, band);
        }
        if (shown)
            shown();
        waitTicks(3);
    }
}
