#include "model/ProgramModule.h"

#include <QDir>
#include <QFileInfo>

QString findProgramModule(const QString& programDir, const QString& fileName)
{
    const QDir here(programDir);
    for (const QString& folder : {here.absolutePath(), here.absoluteFilePath(QStringLiteral("..")),
                                  here.absoluteFilePath(QStringLiteral(SALIENTA_MODULE_DIR))}) {
        const QFileInfo candidate(QDir(folder).filePath(fileName));
        if (candidate.isFile())
            return QDir::cleanPath(candidate.absoluteFilePath());
    }
    return {};
}
