#pragma once
// Helpers for the narrow strings of the current code page.
#include <string>

namespace ansi {

// Position of the last character c, stepping over double-byte characters so a
// trail byte is never taken for it; npos when there is none.
size_t lastIndexOf(const std::string& text, char c);
std::string lowerCase(std::string text);
// UTF-16 form of a path, at most 260 characters with the terminator.
std::wstring widenPath(const std::string& path);

} // namespace ansi
