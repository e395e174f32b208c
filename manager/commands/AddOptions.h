#pragma once
// How files are added; the choices survive from one command to the next.
#include "ZipString.h"

#include <cstdint>

struct AddOptions {
    uint32_t compression = 0; // 0 Normal, 1 Fast, 2 Maximum, 3 None
    bool keepFolderNames = false;
    bool replaceExisting = true;
    bool usePassword = false;
    bool addSubfolders = false;
    bool wildcardMode = false;
    CString wildcardPattern;
    bool showAddDialog = false;
};

AddOptions& addOptions();
