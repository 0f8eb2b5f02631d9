#include "model/CheckedLines.h"

#include <QStringList>

#include <climits>

quint64 fnv1a(const QByteArray& bytes, quint64 start)
{
    quint64 h = start;
    for (const char c : bytes) {
        h ^= uchar(c);
        h *= 1099511628211ULL;
    }
    return h;
}

QByteArray escapeField(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\t':
            out += "%09";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescapeField(QByteArray escaped, QString& value)
{
    if (escaped.contains('%')) {
        QByteArray out;
        out.reserve(escaped.size());
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            if (escaped.at(i) != '%') {
                out += escaped.at(i);
                continue;
            }
            const QByteArray code = escaped.mid(i + 1, 2);
            if (code == "25")
                out += '%';
            else if (code == "09")
                out += '\t';
            else if (code == "0D")
                out += '\r';
            else if (code == "0A")
                out += '\n';
            else
                return false;
            i += 2;
        }
        escaped = out;
    }
    value = QString::fromUtf8(escaped);
    return true;
}

QByteArray checkedLine(const CheckedFields& fields)
{
    QByteArray line;
    for (const CheckedField& field : fields) {
        line += field.first;
        line += '=';
        line += escapeField(field.second);
        line += '\t';
    }
    line += '#';
    line += QByteArray::number(fnv1a(line), 16);
    line += '\n';
    return line;
}

bool readCheckedLine(const QByteArray& line, CheckedFields& fields)
{
    fields.clear();
    // The checksum follows the "#" and covers everything up to it, "#" included.
    qsizetype hash = 0;
    if (!line.startsWith('#')) {
        const qsizetype mark = line.lastIndexOf("\t#");
        if (mark < 0)
            return false;
        hash = mark + 1;
    }
    const QByteArray sumText = line.mid(hash + 1);
    bool ok = false;
    const quint64 sum = sumText.toULongLong(&ok, 16);
    if (!ok || sumText != QByteArray::number(sum, 16) || fnv1a(line.left(hash + 1)) != sum)
        return false;
    if (hash == 0)
        return true;
    const QList<QByteArray> parts = line.left(hash - 1).split('\t');
    for (const QByteArray& part : parts) {
        const qsizetype eq = part.indexOf('=');
        if (eq <= 0)
            return false;
        QString value;
        if (!unescapeField(part.mid(eq + 1), value))
            return false;
        fields.append({part.left(eq), value});
    }
    return true;
}

QString fieldValue(const CheckedFields& fields, const char* key, const QString& fallback)
{
    for (const CheckedField& field : fields) {
        if (field.first == key)
            return field.second;
    }
    return fallback;
}

QStringList fieldValues(const CheckedFields& fields, const char* key)
{
    QStringList values;
    for (const CheckedField& field : fields) {
        if (field.first == key)
            values << field.second;
    }
    return values;
}

int intField(const CheckedFields& fields, const char* key, int fallback, bool& ok)
{
    const qint64 value = longField(fields, key, fallback, ok);
    if (value < INT_MIN || value > INT_MAX) {
        ok = false;
        return fallback;
    }
    return int(value);
}

qint64 longField(const CheckedFields& fields, const char* key, qint64 fallback, bool& ok)
{
    for (const CheckedField& field : fields) {
        if (field.first != key)
            continue;
        bool read = false;
        const qint64 value = field.second.toLongLong(&read);
        if (!read) {
            ok = false;
            return fallback;
        }
        return value;
    }
    return fallback;
}
