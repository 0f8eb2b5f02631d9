#pragma once

#include <QString>

// The program's own modules: libraries of the program that are opened the
// first time they are needed, so that what they bring is not loaded before
// the first window. The file `fileName` for a program started from
// `programDir`: beside the program (build tree), one folder up (the build
// tree's tests and benchmarks), or in the installed library folder. Empty
// when none exists.
QString findProgramModule(const QString& programDir, const QString& fileName);
