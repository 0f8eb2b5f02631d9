#include "model/fileFunc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 copyChunk = 65528;

// Absolute, cleaned path; the real one when the file exists.
QString samePathKey(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool isInside(const QString& inner, const QString& outer)
{
    const QString a = samePathKey(inner);
    const QString b = samePathKey(outer);
    return a.startsWith(b.endsWith(u'/') ? b : b + u'/');
}

} // namespace

bool directoryExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

int copyFile(const QString& source, const QString& target, bool overwrite)
{
    const QFileInfo sourceInfo(source);
    // Only regular files (or links to them): a pipe would block the copy and
    // a device such as /dev/zero would never end.
    if (source.isEmpty() || !sourceInfo.isFile())
        return -1;
    if (source == target || samePathKey(source) == samePathKey(target))
        return 0;
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        if (!overwrite)
            return 2;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return -2;
    // A read-only target is not replaced (whoever runs the program), as the
    // read-only mark asks; a folder in the way cannot be replaced either.
    if (targetInfo.exists()
        && (targetInfo.isDir()
            || !(QFile::permissions(target) & QFile::WriteOwner)))
        return -3;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return -3;
    QByteArray chunk;
    for (;;) {
        chunk = in.read(copyChunk);
        if (chunk.isEmpty())
            break;
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return -3;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return -2;
    }
    if (!targetInfo.exists())
        out.setPermissions(in.permissions());
    return out.commit() ? 1 : -3;
}

int copyTreeContents(const QString& source, const QString& target, int attributes,
                     bool overwrite)
{
    if (!directoryExists(source))
        return -1;
    if (!directoryExists(target))
        return -2;
    if (isInside(target, source))
        return -3;    // the copy would never end
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (attributes & faHidden)
        filters |= QDir::Hidden;
    const QDir from(source);
    const QDir to(target);
    const QFileInfoList entries = from.entryInfoList(filters, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink())
            continue;
        const QString name = entry.fileName();
        if (entry.isDir()) {
            const QString sub = to.filePath(name);
            if (!QFileInfo(sub).isDir() && !to.mkdir(name))
                return -3;
            if (copyTreeContents(entry.filePath(), sub, attributes, overwrite) < 0)
                return -3;
        } else if (entry.isFile()) {
            if (copyFile(entry.filePath(), to.filePath(name), overwrite) < 0)
                return -3;
        }
        // devices, pipes and sockets are skipped
    }
    return 1;
}

int copyTree(const QString& source, const QString& targetParent, int attributes, bool overwrite)
{
    if (!directoryExists(source))
        return -1;
    if (!directoryExists(targetParent))
        return -2;
    const QString name = QFileInfo(QDir::cleanPath(QDir(source).absolutePath())).fileName();
    const QDir parent(targetParent);
    if (!name.isEmpty() && !QFileInfo(parent.filePath(name)).isDir())
        parent.mkdir(name);
    return copyTreeContents(source, name.isEmpty() ? targetParent : parent.filePath(name),
                            attributes, overwrite);
}
