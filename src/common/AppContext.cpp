#include "common/AppContext.h"

#include "speech/SpeechEngine.h"

bool AppContext::speechAvailable() const
{
    return SpeechAvailable;
}
