#include "ZipExtra.h"

#include "ZipBytes.h"

namespace zipextra {

namespace {
constexpr size_t kBlockHeaderSize = 4;

struct Place {
    size_t at;   // where the block begins, or where the sound blocks end
    bool found;
};

Place findBlock(const CString& extra, uint16_t tag)
{
    size_t at = 0;
    while (at + kBlockHeaderSize <= extra.size()) {
        const size_t length = zipbytes::get16(extra.data() + at + 2);
        if (at + kBlockHeaderSize + length > extra.size())
            break;
        if (zipbytes::get16(extra.data() + at) == tag)
            return {at, true};
        at += kBlockHeaderSize + length;
    }
    return {at, false};
}

size_t blockLength(const CString& extra, size_t at)
{
    return kBlockHeaderSize + zipbytes::get16(extra.data() + at + 2);
}

CString block(uint16_t tag, const CString& data)
{
    char header[kBlockHeaderSize];
    zipbytes::put16(header, tag);
    zipbytes::put16(header + 2, static_cast<uint16_t>(data.size()));
    return CString(header, kBlockHeaderSize) + data;
}
}

bool find(const CString& extra, uint16_t tag, CString& data)
{
    const Place place = findBlock(extra, tag);
    if (place.found)
        data = extra.substr(place.at + kBlockHeaderSize, blockLength(extra, place.at) - kBlockHeaderSize);
    return place.found;
}

// A new block goes in front of bytes that are no block, where readers still find it.
CString replace(const CString& extra, uint16_t tag, const CString& data)
{
    const Place place = findBlock(extra, tag);
    const size_t replaced = place.found ? blockLength(extra, place.at) : 0;
    return extra.substr(0, place.at) + block(tag, data) + extra.substr(place.at + replaced);
}

CString remove(const CString& extra, uint16_t tag)
{
    CString rest = extra;
    for (Place place = findBlock(rest, tag); place.found; place = findBlock(rest, tag))
        rest.erase(place.at, blockLength(rest, place.at));
    return rest;
}

} // namespace zipextra
