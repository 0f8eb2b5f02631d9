#pragma once

#include <QImage>
#include <QString>

// Reads one of the program's own pictures in the format its suffix names
// (BMP, PNG, GIF...). Only that format's reader is asked: letting Qt guess
// loads every image plugin installed, with their libraries, which would hold
// up the first frame of the cover and the main window. A null image when the
// file is missing or not a picture of that format.
QImage readProgramPicture(const QString& path);
