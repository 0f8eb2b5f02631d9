#include "model/Longname.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <memory>

namespace {

constexpr int comparedLength = 255;
constexpr int lastCounter = 99999;

struct NameTable {
    QString path;
    QStringList lines;    // kept as read, so a rewrite changes only what it must
    // False when a table is there but cannot be read (not a file, or a read
    // error): it must then not be written, or every entry it holds is lost.
    bool readable = true;
    // The table's lock, held from the reading to the last write.
    std::shared_ptr<FileLock> lock;
};

// True when the last table could not be read because the user gave up
// waiting for its lock.
bool tableInUse = false;

NameTable readTable(const QString& folder)
{
    NameTable table;
    table.path = QDir(folder).filePath(QString::fromLatin1(nameTableFileName));
    table.lock = std::make_shared<FileLock>(table.path);
    tableInUse = !table.lock->ok();
    if (tableInUse) {
        table.readable = false;
        return table;
    }
    const QFileInfo info(table.path);
    if (!info.exists() && !info.isSymLink())
        return table;
    if (info.isDir())
        return table;    // nothing to lose; a write reports the folder in the way
    // Only a regular file is opened: a pipe would block the program.
    QFile file(table.path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        table.readable = false;
        return table;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        table.readable = false;
        return table;
    }
    table.lines = splitLines(decodeCp1252(bytes));
    return table;
}

void reportUnreadable()
{
    if (tableInUse) {
        showMessage(QStringLiteral("Il file ") + QString::fromLatin1(nameTableFileName)
                    + QString::fromUtf8(" è in uso altrove: non è stato modificato."));
        return;
    }
    showMessage(QStringLiteral("Errore di lettura del file ") + QString::fromLatin1(nameTableFileName));
}

bool writeTable(const NameTable& table)
{
    if (saveText(table.lines, table.path))
        return true;
    showMessage(QStringLiteral("Errore nella scrittura del file ")
                + QString::fromLatin1(nameTableFileName));
    return false;
}

QStringView fileNamePart(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QStringView(line) : QStringView(line).left(eq);
}

QStringView longNamePart(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QStringView() : QStringView(line).mid(eq + 1);
}

QStringView compared(QStringView name)
{
    return name.left(comparedLength);
}

qsizetype findFileName(const NameTable& table, const QString& upperName)
{
    for (qsizetype i = 0; i < table.lines.size(); ++i) {
        if (fileNamePart(table.lines.at(i)) == upperName)
            return i;
    }
    return -1;
}

// The long name of a file that has no entry: its upper-case name before the
// first "." (the whole name when that is empty, as for ".S01").
QString defaultLongName(const QString& upperName)
{
    const qsizetype dot = upperName.indexOf(u'.');
    const QString base = dot < 0 ? upperName : upperName.left(dot);
    return base.isEmpty() ? upperName : base;
}

// The entries of the folder by their upper-case names, each with the name it
// has on disk. Exercises copied by hand may come in any case; an entry named
// exactly in upper case wins over others that differ from it only by case.
QHash<QString, QString> namesOnDisk(const QString& folder)
{
    QHash<QString, QString> names;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        const QString upper = entry.toUpper();
        if (entry == upper || !names.contains(upper))
            names.insert(upper, entry);
    }
    return names;
}

// The name on disk of the file that the table calls `tableName`: that name
// itself when such a file exists or when no file has it in any case.
QString nameOnDisk(const QString& folder, const QString& tableName)
{
    const QFileInfo exact(QDir(folder).filePath(tableName));
    if (exact.exists() || exact.isSymLink())
        return tableName;
    return namesOnDisk(folder).value(tableName.toUpper(), tableName);
}

bool storable(const QString& text)
{
    return fitsCp1252(text) && !text.contains(u'\r') && !text.contains(u'\n');
}

} // namespace

QString exerciseBase(const QString& longName)
{
    QString base;
    for (const QChar c : longName) {
        if (base.size() == 8)
            break;
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z'))
            base.append(c);
        else if (u >= u'a' && u <= u'z')
            base.append(QChar(char16_t(u - u'a' + u'A')));
    }
    return base;
}

QString exerciseFileName(const QString& base, int counter)
{
    if (counter < 1)
        return {};
    if (counter < 100)
        return base + QStringLiteral(".S") + QString::number(counter).rightJustified(2, u'0');
    const QString lead = QString::number(counter / 100);
    if (lead.size() > 8)
        return {};
    const QString stem =
        base.size() + lead.size() <= 8 ? base + lead : base.left(8 - lead.size()) + lead;
    return stem + QStringLiteral(".S") + QString::number(counter % 100).rightJustified(2, u'0');
}

QString fileNameFor(const QString& folder, const QString& longName)
{
    if (longName.isEmpty())
        return {};
    NameTable table = readTable(folder);
    if (!table.readable) {
        reportUnreadable();
        return {};
    }
    const QStringView wanted = compared(longName);
    for (const QString& line : std::as_const(table.lines)) {
        if (compared(longNamePart(line)) == wanted && line.contains(u'='))
            return nameOnDisk(folder, fileNamePart(line).toString());
    }
    if (!storable(longName)) {
        showMessage(QStringLiteral(
            "Il nome contiene caratteri che non si possono usare: cambialo e ripeti l'operazione"));
        return {};
    }

    QSet<QString> named;
    for (const QString& line : std::as_const(table.lines))
        named.insert(fileNamePart(line).toString().toUpper());
    // A new name never differs from a file of the folder only by case.
    const QHash<QString, QString> onDisk = namesOnDisk(folder);
    const QString base = exerciseBase(longName);
    QString fileName;
    for (int counter = 1; counter <= lastCounter && fileName.isEmpty(); ++counter) {
        const QString candidate = exerciseFileName(base, counter);
        if (!named.contains(candidate) && !onDisk.contains(candidate))
            fileName = candidate;
    }
    if (fileName.isEmpty()) {
        showMessage(QStringLiteral("Non è possibile dare un nome al file dell'esercizio ") + longName);
        return {};
    }
    table.lines.append(fileName + u'=' + longName);
    return writeTable(table) ? fileName : QString();
}

QString existingFileNameFor(const QString& folder, const QString& longName)
{
    if (longName.isEmpty())
        return {};
    const NameTable table = readTable(folder);
    const QStringView wanted = compared(longName);
    for (const QString& line : std::as_const(table.lines)) {
        if (compared(longNamePart(line)) == wanted && line.contains(u'='))
            return nameOnDisk(folder, fileNamePart(line).toString());
    }
    return {};
}

QString longNameFor(const QString& folder, const QString& fileName)
{
    if (fileName.isEmpty())
        return {};
    const QString upperName = fileName.toUpper();
    NameTable table = readTable(folder);
    const qsizetype at = findFileName(table, upperName);
    if (at >= 0)
        return compared(longNamePart(table.lines.at(at))).toString();
    const QString longName = defaultLongName(upperName);
    if (!table.readable) {
        reportUnreadable();
    } else if (storable(upperName) && !upperName.contains(u'=')) {
        table.lines.append(upperName + u'=' + longName);
        writeTable(table);
    }
    return longName.left(comparedLength);
}

bool removeEntry(const QString& folder, const QString& fileName)
{
    if (fileName.isEmpty())
        return true;
    NameTable table = readTable(folder);
    if (!table.readable) {
        reportUnreadable();
        return false;
    }
    if (!QFileInfo::exists(table.path))
        return true;
    const qsizetype at = findFileName(table, fileName.toUpper());
    if (at >= 0)
        table.lines.removeAt(at);
    return writeTable(table);
}

void listLongNames(QStringList& out, const QString& folder, const QString& mask)
{
    out.clear();
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(mask),
                                     QRegularExpression::CaseInsensitiveOption);
    const QDir dir(folder);
    const QStringList files =
        dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    NameTable table = readTable(folder);
    bool added = false;
    QSet<QString> listed;    // files differing only by case are one exercise
    for (const QString& file : files) {
        if (!pattern.match(file).hasMatch())
            continue;
        const QString upperName = file.toUpper();
        if (listed.contains(upperName))
            continue;
        listed.insert(upperName);
        const qsizetype at = findFileName(table, upperName);
        if (at >= 0) {
            out.append(compared(longNamePart(table.lines.at(at))).toString());
            continue;
        }
        const QString longName = defaultLongName(upperName);
        if (table.readable && storable(upperName) && !upperName.contains(u'=')) {
            table.lines.append(upperName + u'=' + longName);
            added = true;
        }
        out.append(longName.left(comparedLength));
    }
    if (!table.readable && !out.isEmpty()) {
        reportUnreadable();
    } else if (added) {
        writeTable(table);
    }
}

bool deleteExercise(const QString& folder, const QString& fileName)
{
    if (fileName.isEmpty())
        return true;
    // The table's lock first, then the file's, as every change takes them.
    const auto inUse = [&] {
        showMessage(QStringLiteral("Il file ") + fileName
                    + QString::fromUtf8(" è in uso altrove: non è stato cancellato."));
        return false;
    };
    const FileLock tableLock(QDir(folder).filePath(QString::fromLatin1(nameTableFileName)));
    if (!tableLock.ok())
        return inUse();
    const QString path = QDir(folder).filePath(fileName);
    {
        const FileLock lock(path);
        if (!lock.ok())
            return inUse();
        const QFileInfo info(path);
        if ((info.exists() || info.isSymLink()) && !QFile::remove(path)) {
            showMessage(QString::fromUtf8("Non è stato possibile eliminare il file ") + fileName
                        + QString::fromUtf8(": l'esercizio resta."));
            return false;
        }
        syncFolderOf(path);
    }
    return removeEntry(folder, fileName);
}
