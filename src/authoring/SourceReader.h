#pragma once

#include "model/TextSources.h"

#include <functional>

class QWidget;

// Reads the text of `path` (model/TextSources.h) on a thread of its own, so
// the windows keep being drawn. A reading that takes more than a moment shows
// its progress in a window over `parent` ("progressoLettura": pages of a PDF,
// or how much of the file), whose "Annulla" stops it; the reading then
// gives back the status Cancelled. Until that window appears, the user's
// clicks and keys wait.
SourceText readSourceShowingProgress(QWidget* parent, const QString& path);

// For the tests: how long a reading runs before its progress is shown (in
// milliseconds; 400 unless set), and a hook run on the reading thread after
// each step of every reading (empty for none).
void setProgressDelayForTests(int milliseconds);
void setReadStepHookForTests(std::function<void(int done)> hook);
