#pragma once
// The blocks of an entry's extra field: a 16-bit tag, a 16-bit length and
// that many bytes of data, one after the other.
#include "ZipString.h"

#include <cstdint>

namespace zipextra {

constexpr uint16_t kZip64 = 0x0001;
constexpr uint16_t kUnicodePath = 0x7075;

// The data of the first block with this tag; false when there is none
// before the blocks stop making sense.
bool find(const CString& extra, uint16_t tag, CString& data);
// The extra field with the first block of this tag holding data instead, or
// with such a block added at its end when there was none.
CString replace(const CString& extra, uint16_t tag, const CString& data);
// The extra field without any block of this tag.
CString remove(const CString& extra, uint16_t tag);

} // namespace zipextra
