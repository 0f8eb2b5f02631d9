#include "shell/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

// Fontconfig sets itself up once per process and may be asked from any
// thread: whichever thread comes first does the work, the other finds it done.
FontWarmUp::FontWarmUp() : reader([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp()
{
    if (reader.joinable())
        reader.join();
}
