#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace testing_support {

namespace {
std::string fromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set");
    std::string path = value;
    std::replace(path.begin(), path.end(), '/', kSeparator);
    return path;
}
} // namespace

std::string join(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == kSeparator)
        return folder + name;
    return folder + kSeparator + name;
}

#ifdef _WIN32
namespace {
// std::filesystem stops at 260 characters here, and tests make deeper trees.
void removeTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            const std::wstring path = folder + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}
} // namespace

void removeFolder(const std::string& folder)
{
    removeTree(L"\\\\?\\" + os::toWide(folder));
}
#else
void removeFolder(const std::string& folder)
{
    fs::remove_all(folder);
}
#endif

std::string testdata(const std::string& name)
{
    return join(fromEnvironment("PACKROOK_TESTDATA"), name);
}

// Emptied the first time a test asks, so a test may ask again while it
// still holds files open there.
std::string scratchFolder()
{
    static std::string prepared;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '.');
    const std::string folder = join(fromEnvironment("PACKROOK_SCRATCH"), name);
    if (prepared != folder) {
        removeFolder(folder);
        fs::create_directories(folder);
        prepared = folder;
    }
    return folder + kSeparator;
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string copyToScratch(const std::string& sample)
{
    const std::string copy = scratchFolder() + sample;
    writeBytes(copy, readBytes(testdata(sample)));
    return copy;
}

std::vector<std::string> expectedListing(const std::string& sample)
{
    std::ifstream in(testdata(sample + ".list"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> languageNames()
{
    std::vector<std::string> names;
    for (const std::string& line : expectedListing(kLanguagesSample))
        names.push_back(line.substr(line.rfind('\t') + 1));
    return names;
}

std::string localName(std::string storedName)
{
    std::replace(storedName.begin(), storedName.end(), '/', kSeparator);
    return storedName;
}

std::vector<std::string> listing(const CZipFile& archive)
{
    std::vector<std::string> lines;
    for (int i = 0; i < archive.getFileCount(); ++i) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "%" PRIu32 "\t%" PRIu32 "\t%08" PRIx32 "\t",
                      archive.getUncompressedSize(i), archive.getCompressedSize(i), archive.getCRC(i));
        lines.push_back(numbers + archive.getAttributes(i) + "\t" + archive.getFileHeader(i)->name);
    }
    return lines;
}

std::string openingFailure(const std::string& path)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    try {
        archive.openZipFile(path);
    } catch (const CZipException& error) {
        return error.getMessage();
    }
    return "opened";
}

#ifdef _WIN32
UnreadableFile::UnreadableFile(const std::string& folder)
    : path(folder + "locked.txt"), message("Couldn't open source file " + path)
{
    writeBytes(path, "locked");
    lock_ = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}
#else
UnreadableFile::UnreadableFile(const std::string&) : path("/proc/self/mem"), message("Failed to read input file " + path)
{
}
#endif

UnreadableFile::~UnreadableFile()
{
    if (lock_ != os::kInvalidFile)
        os::closeFile(lock_);
}

std::string readEntry(CZipFile& archive, int index)
{
    std::string content;
    std::vector<char> buffer(1000000);
    const int entry = index;
    archive.openFile(entry);
    uint32_t got;
    do {
        got = archive.readFile(buffer.data(), static_cast<uint32_t>(buffer.size()));
        content.append(buffer.data(), got);
    } while (got == buffer.size());
    archive.closeFile(entry);
    return content;
}

int indexOf(const CZipFile& archive, const std::string& storedName)
{
    for (int i = 0; i < archive.getFileCount(); ++i)
        if (archive.getFileHeader(i)->name == storedName)
            return i;
    return -1;
}

bool ScriptedCallBack::askForDisk(int disk)
{
    disksAsked.push_back(disk);
    return acceptDisks;
}

bool ScriptedCallBack::askForPassword(CString& password)
{
    ++passwordPrompts;
    password = passwordToGive;
    return !passwordToGive.empty();
}

} // namespace testing_support

#include "ZipBytes.h"

#include <zlib.h>

namespace testing_support {

std::string field16(uint16_t value)
{
    char bytes[2];
    zipbytes::put16(bytes, value);
    return std::string(bytes, 2);
}

std::string field32(uint32_t value)
{
    char bytes[4];
    zipbytes::put32(bytes, value);
    return std::string(bytes, 4);
}

std::string field64(uint64_t value)
{
    char bytes[8];
    zipbytes::put64(bytes, value);
    return std::string(bytes, 8);
}

namespace {

uint32_t crcOf(const RawEntry& entry)
{
    if (!entry.crcOfData)
        return entry.crc;
    return crc32(0L, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()));
}

uint32_t uncompressedOf(const RawEntry& entry)
{
    return entry.uncompressedSize.value_or(static_cast<uint32_t>(entry.data.size()));
}

std::string localRecord(const RawEntry& entry)
{
    const bool zero = entry.zeroLocalCrcAndSizes;
    return field32(zipbytes::kLocalSignature) + field16(20) + field16(entry.flags)
           + field16(entry.localMethod == 0xFFFF ? entry.method : entry.localMethod) + field16(0x6DB6)
           + field16(0x58B1) + field32(zero ? 0 : crcOf(entry))
           + field32(zero ? 0 : static_cast<uint32_t>(entry.data.size())) + field32(zero ? 0 : uncompressedOf(entry))
           + field16(static_cast<uint16_t>(entry.name.size())) + field16(static_cast<uint16_t>(entry.localExtra.size()))
           + entry.name + entry.localExtra;
}

std::string centralRecord(const RawEntry& entry, uint32_t offset)
{
    return field32(zipbytes::kCentralSignature) + field16(20) + field16(20) + field16(entry.flags)
           + field16(entry.method) + field16(0x6DB6) + field16(0x58B1) + field32(crcOf(entry))
           + field32(static_cast<uint32_t>(entry.data.size())) + field32(uncompressedOf(entry))
           + field16(static_cast<uint16_t>(entry.name.size()))
           + field16(static_cast<uint16_t>(entry.centralExtra.size())) + field16(0) + field16(0) + field16(0)
           + field32(entry.externalAttributes) + field32(offset) + entry.name + entry.centralExtra;
}
}

std::string buildZip(const std::vector<RawEntry>& entries, const std::string& comment, bool reverseDirectory,
                     const std::string& leading)
{
    std::string archive = leading;
    std::vector<std::string> records;
    for (const RawEntry& entry : entries) {
        records.push_back(centralRecord(entry, static_cast<uint32_t>(archive.size())));
        archive += localRecord(entry) + entry.data;
    }
    if (reverseDirectory)
        std::reverse(records.begin(), records.end());
    const uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
    for (const std::string& record : records)
        archive += record;
    const uint32_t directorySize = static_cast<uint32_t>(archive.size()) - directoryOffset;
    const uint16_t count = static_cast<uint16_t>(entries.size());
    return archive + field32(zipbytes::kEndSignature) + field16(0) + field16(0) + field16(count) + field16(count)
           + field32(directorySize) + field32(directoryOffset) + field16(static_cast<uint16_t>(comment.size()))
           + comment;
}

RawEntry deflated(const std::string& name, const std::string& content)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&stream, static_cast<uLong>(content.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(&packed[0]);
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    RawEntry entry(name, packed);
    entry.method = Z_DEFLATED;
    entry.uncompressedSize = static_cast<uint32_t>(content.size());
    entry.crcOfData = false;
    entry.crc = crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
    return entry;
}

size_t endRecordOffset(const std::string& archive)
{
    return archive.rfind(std::string("PK\x05\x06", 4));
}

} // namespace testing_support
