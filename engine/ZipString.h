#pragma once
// Every name, path, message, comment and password is a narrow string in the
// machine's ANSI code page; archive names are stored byte for byte.
#include <string>

using CString = std::string;
