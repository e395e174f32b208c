#pragma once
// Every name, path, message, comment and password is a narrow string in the
// program's ANSI code page: UTF-8 where its manifest asks for it, which the
// Windows programs of this product do.
#include <string>

using CString = std::string;
