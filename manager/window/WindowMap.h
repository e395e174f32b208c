#pragma once
// Finds the object behind a window handle; a handle without an object gets
// only the default handling.
#include <windows.h>

#include <map>

template <typename Object>
class WindowMap {
public:
    static void bind(HWND window, Object* object) { objects()[window] = object; }
    static void unbind(HWND window) { objects().erase(window); }
    static Object* find(HWND window)
    {
        const auto found = objects().find(window);
        return found == objects().end() ? nullptr : found->second;
    }

private:
    static std::map<HWND, Object*>& objects()
    {
        static std::map<HWND, Object*> map;
        return map;
    }
};
