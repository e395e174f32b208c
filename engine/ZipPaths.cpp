#include "ZipPaths.h"

#include <algorithm>

// Plain string searches only: the stub links this, and stream classes would
// bring the whole locale machinery into it.
bool leavesDestination(const CString& name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'))
        return true;
    CString normal = "/" + name + "/";
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal.find("/../") != CString::npos;
}
