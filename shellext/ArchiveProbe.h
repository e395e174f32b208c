#pragma once
#include <string>

// Whether the file opens as a zip archive, as a self-extracting program made
// by Packrook does. Anything that goes wrong means no.
bool opensAsArchive(const std::string& path);
