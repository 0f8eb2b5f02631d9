#include "shell/ProgramPictures.h"

#include <QFileInfo>
#include <QImageReader>

QImage readProgramPicture(const QString& path)
{
    QImageReader reader(path, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
