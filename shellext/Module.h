#pragma once
// Process-wide state of the DLL: its instance handle, the lock count that
// decides whether the host may unload it, and the one critical section.
#include <windows.h>

#include <string>

namespace module {

HINSTANCE instance();

// One lock per live object and per IClassFactory::LockServer(TRUE).
void lock();
void unlock();
bool isLocked();

// Held while the class factory is created, so two threads cannot both make one.
class Guard {
public:
    Guard();
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

// The DLL's full path and its folder (with the trailing backslash), in
// UTF-8 as every path of the extension; empty when the path has no backslash.
std::string path();
std::string folder();

} // namespace module
