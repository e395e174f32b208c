#pragma once
// The user's mail client, reached through Simple MAPI when it is installed.
#include <string>

bool mailClientPresent();
// Opens the client's compose window with the file attached; the result is
// the client's business.
void composeWithAttachment(const std::string& path);
