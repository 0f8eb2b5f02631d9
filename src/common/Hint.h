#pragma once

#include <QString>

// A hint broken into lines of at most 40 characters at spaces (CR LF breaks).
QString wrapHint(const QString& hint);
