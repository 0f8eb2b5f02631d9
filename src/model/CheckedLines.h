#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The line format of the program's own safety files (the journal of a run in
// progress, the recovery file of an unsaved work): UTF-8 lines ending in LF,
// each a list of fields "key=value" separated by tabs and closed by a tab and
// "#" with the checksum of what comes before it, so that a line cut short or
// changed by anything but the program is known for what it is. Values keep
// every character: "%", tab, CR and LF are written as "%25", "%09", "%0D",
// "%0A".

using CheckedField = QPair<QByteArray, QString>;
using CheckedFields = QList<CheckedField>;

// FNV-1a, 64 bits: the same on every computer.
quint64 fnv1a(const QByteArray& bytes, quint64 start = 14695981039346656037ULL);

QByteArray escapeField(const QString& value);
// False when an escape is not one the writer makes.
bool unescapeField(QByteArray escaped, QString& value);

// One checked line, LF included.
QByteArray checkedLine(const CheckedFields& fields);
// Reads one line (without its LF); false when its checksum does not match or
// a field cannot be read.
bool readCheckedLine(const QByteArray& line, CheckedFields& fields);

// The value of the first field named `key`, or `fallback`.
QString fieldValue(const CheckedFields& fields, const char* key, const QString& fallback = {});
// The values of every field named `key`, in order.
QStringList fieldValues(const CheckedFields& fields, const char* key);
// Integer and flag values; `ok` is cleared when a present field is not one.
int intField(const CheckedFields& fields, const char* key, int fallback, bool& ok);
qint64 longField(const CheckedFields& fields, const char* key, qint64 fallback, bool& ok);
