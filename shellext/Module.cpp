#include "Module.h"

#include "os/Os.h"

namespace {
HINSTANCE moduleInstance = nullptr;
volatile LONG lockCount = 0;
CRITICAL_SECTION factorySection;
}

namespace module {

HINSTANCE instance()
{
    return moduleInstance;
}

void lock()
{
    ::InterlockedIncrement(&lockCount);
}

void unlock()
{
    ::InterlockedDecrement(&lockCount);
}

bool isLocked()
{
    return ::InterlockedCompareExchange(&lockCount, 0, 0) != 0;
}

Guard::Guard()
{
    ::EnterCriticalSection(&factorySection);
}

Guard::~Guard()
{
    ::LeaveCriticalSection(&factorySection);
}

std::string path()
{
    // Our own handle rather than a look-up by name: a renamed copy would
    // otherwise get the host program's path and start the wrong manager.
    // The longest path the system knows fits.
    std::wstring buffer(32768, L'\0');
    buffer.resize(::GetModuleFileNameW(moduleInstance, &buffer[0], static_cast<DWORD>(buffer.size())));
    std::string path;
    os::fromWide(buffer, path);
    return path;
}

std::string folder()
{
    const std::string full = path();
    const size_t backslash = full.rfind('\\');
    return backslash == std::string::npos ? std::string() : full.substr(0, backslash + 1);
}

} // namespace module

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        os::useUtf8Names();
        return ::InitializeCriticalSectionAndSpinCount(&factorySection, 0);
    }
    if (reason == DLL_PROCESS_DETACH)
        ::DeleteCriticalSection(&factorySection);
    return TRUE;
}
