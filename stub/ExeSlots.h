#pragma once
// The stub's own parameter slots: constants that a conversion patches in the
// copy of this program, read back at run time as plain strings.
#include "ZipExeSlots.h"

struct StubSlots {
    char lead;  // the zero byte in front of the first slot
    char installDir[exeslots::kSlotSize];
    char runFile[exeslots::kSlotSize];
};

// What conversion wrote in front of each slot's first zero byte.
const char* installDirSlot();
const char* runFileSlot();
