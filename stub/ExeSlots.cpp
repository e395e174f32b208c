#include "ExeSlots.h"

namespace {
constexpr void fillInitial(char* slot, const char* marker)
{
    for (uint32_t i = 0; i < exeslots::kSlotSize - 1; ++i)
        slot[i] = i < exeslots::kMarkerLength ? marker[i] : exeslots::kFill;
}

constexpr StubSlots initialSlots()
{
    StubSlots slots{};
    fillInitial(slots.installDir, exeslots::kInstallDirMarker);
    fillInitial(slots.runFile, exeslots::kRunFileMarker);
    return slots;
}

// One object keeps both slots together, in order and unmerged; being used
// and constant it stays, whole, in the read-only data of the image.
__attribute__((used)) const StubSlots kSlots = initialSlots();

// The compiler knows the initial contents; the values that count are the
// ones a conversion patched into the file, so every read must go to memory.
const char* patched(const char* slot)
{
    asm volatile("" : "+r"(slot));
    return slot;
}
}

const char* installDirSlot()
{
    return patched(kSlots.installDir);
}

const char* runFileSlot()
{
    return patched(kSlots.runFile);
}
