#include "Os.h"

namespace os {

Drives& systemDrives();

namespace {
Drives* replacementDrives = nullptr;
}

Drives& drives()
{
    return replacementDrives ? *replacementDrives : systemDrives();
}

Drives* setDrives(Drives* replacement)
{
    Drives* previous = replacementDrives;
    replacementDrives = replacement;
    return previous;
}

} // namespace os
