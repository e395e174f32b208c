#include "Os.h"

namespace os {

namespace {
FileFaults* installedFaults = nullptr;
}

FileFaults* setFileFaults(FileFaults* replacement)
{
    FileFaults* previous = installedFaults;
    installedFaults = replacement;
    return previous;
}

uint32_t allowedBytes(FileOperation operation, FileHandle file, uint32_t count)
{
    return installedFaults ? installedFaults->allowed(operation, file, count) : count;
}

} // namespace os
