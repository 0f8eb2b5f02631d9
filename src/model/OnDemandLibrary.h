#pragma once

#include <QLibrary>
#include <QString>

// A system library opened the first time the program needs it rather than
// when the program starts: the joystick and speech libraries bring some forty
// further libraries with them, and loading them all before the first window
// would hold it up. Missing, the library is simply not there: the caller
// treats it as a device that is not available.
class OnDemandLibrary
{
public:
    // The library "lib<name>.so.<version>".
    OnDemandLibrary(const char* name, int version) : library(QString::fromLatin1(name), version) {}

    bool load() { return library.isLoaded() || library.load(); }

    // Sets `function` to the library's function `name`; false when it has none.
    template <typename Function>
    bool resolve(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(library.resolve(name));
        return function != nullptr;
    }

private:
    QLibrary library;
};
