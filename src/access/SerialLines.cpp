#include "access/SerialLines.h"

SerialLines::~SerialLines() = default;
