// The run file of the self-extractor tests: proves it was started by leaving
// a file beside itself.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string marker = path;
    marker = marker.substr(0, marker.rfind('\\') + 1) + "marker-ran.txt";
    HANDLE file = ::CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, "started", 7, &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
