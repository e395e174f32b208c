#pragma once
// Splitting the names of tar members and gzip files, which may use either
// separator: a name with a "/" is split there, any other at its last "\\".
#include "ZipString.h"

namespace nameparts {

inline size_t lastSeparator(const CString& name)
{
    const size_t slash = name.rfind('/');
    return slash != CString::npos ? slash : name.rfind('\\');
}

// What follows the last separator; the whole name when there is none.
inline CString lastComponent(const CString& name)
{
    const size_t separator = lastSeparator(name);
    return separator == CString::npos ? name : name.substr(separator + 1);
}

// Everything up to and including the last separator; empty when there is none.
inline CString folderPart(const CString& name)
{
    const size_t separator = lastSeparator(name);
    return separator == CString::npos ? CString() : name.substr(0, separator + 1);
}

} // namespace nameparts
