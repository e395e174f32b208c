#pragma once
// The two parameter slots that the self-extractor stub carries, one after the
// other, in its read-only data, and that a conversion fills in. Each slot is
// a zero-terminated value padded with fill up to its final zero byte.
#include <cstdint>

namespace exeslots {

constexpr uint32_t kSlotSize = 856;
constexpr uint32_t kMarkerLength = 15;
constexpr char kInstallDirMarker[kMarkerLength + 1] = "z123456zzzzzzzz";
constexpr char kRunFileMarker[kMarkerLength + 1] = "z654321zzzzzzzz";
constexpr char kFill = 'a';

// A slot is found again by the first run of this much fill behind its value,
// so every value leaves at least that much of the slot's fill in place.
constexpr uint32_t kFillRun = 6;
constexpr uint32_t kLongestValue = kSlotSize - 2 - kFillRun;

constexpr char kStubName[] = "Sledstub.dll";

} // namespace exeslots
