// packrook-fuzz: libFuzzer drives an arbitrary file through the zip, tar or
// gzip reader, as a user's "open, list, test, extract" would; a zip archive
// then has its first entry deleted, and every other entry that read whole
// before must still read whole after a deletion that reports success.
//
// The last byte of the input picks the reader (by the suffix the file is
// given); the bytes before it are the file.
#include "ZipFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// Opening asks nobody for disks; encrypted entries get a password, so that
// their decryption is exercised too.
class FuzzCallBack : public ICallBack {
public:
    bool askForDisk(int) override { return false; }
    bool askForSpanning() override { return false; }
    bool askForPassword(CString& password) override
    {
        password = "fuzz";
        return true;
    }
    CString getPassword() override { return CString(); }
    void setStatusText(CString) override {}
};

using Names = std::multiset<std::string>;

const char* const kSuffixes[] = {".zip", ".tar", ".gz", ".tgz"};

std::string inputPath(uint8_t selector)
{
    static const std::string folder = "/tmp/packrook-fuzz-" + std::to_string(::getpid()) + "-";
    return folder + "input" + kSuffixes[selector % (sizeof kSuffixes / sizeof *kSuffixes)];
}

void writeInput(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

void listEntry(const CZipFile& archive, int index)
{
    archive.getFileName(index);
    archive.getPath(index);
    archive.getAttributes(index);
    archive.getCompressedSize(index);
    archive.getUncompressedSize(index);
    archive.getCRC(index);
}

std::string nameOf(const CZipFile& archive, int index)
{
    if (archive.isGzipMode() || archive.isTarMode())
        return archive.getPath(index) + archive.getFileName(index);
    return archive.getFileHeader(index)->name;
}

// Read to the end, which is what tests an entry; the bytes go nowhere.
bool readsWhole(CZipFile& archive, int index)
{
    // Allocated once: a fresh megabyte per input would cost more than the input.
    static std::vector<char> buffer(CZipBuffer::kDefaultSize);
    const uint32_t size = static_cast<uint32_t>(buffer.size());
    bool whole = true;
    try {
        archive.openFile(index);
        while (archive.readFile(buffer.data(), size) == size) {
        }
    } catch (const CZipException&) {
        whole = false;
    }
    archive.closeFile(index);
    return whole;
}

// Lists and reads every entry; the names of those from index "from" on that
// read whole.
Names wholeEntries(CZipFile& archive, int from)
{
    Names names;
    for (int i = 0; i < archive.getFileCount(); ++i)
        listEntry(archive, i);
    for (int i = 0; i < archive.getFileCount(); ++i)
        if (readsWhole(archive, i) && i >= from)
            names.insert(nameOf(archive, i));
    return names;
}

bool open(CZipFile& archive, const std::string& path)
{
    archive.close();
    try {
        return archive.openZipFile(path);
    } catch (const CZipException&) {
        return false;
    }
}

void deleteFirstEntry(CZipFile& archive, const std::string& path, const Names& before)
{
    std::vector<int32_t> first{0};
    try {
        archive.removeSomeFiles(first);
    } catch (const CZipException&) {
        return;
    }
    const Names after = open(archive, path) ? wholeEntries(archive, 0) : Names();
    if (!std::includes(after.begin(), after.end(), before.begin(), before.end())) {
        std::fprintf(stderr, "a deletion reported success and left an intact entry unreadable\n");
        std::abort();
    }
}

// One archive object for every input, as the manager keeps one for every
// archive it opens: its three buffers of a megabyte each, allocated afresh
// under the address sanitizer, would cost far more than the input.
void exercise(const std::string& path)
{
    static FuzzCallBack callback;
    static CZipFile archive(&callback);
    if (!open(archive, path))
        return;
    const Names before = wholeEntries(archive, 1);
    if (!archive.isGzipMode() && !archive.isTarMode() && archive.getFileCount() > 0)
        deleteFirstEntry(archive, path, before);
    archive.close();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string path = inputPath(data[size - 1]);
    writeInput(path, data, size - 1);
    exercise(path);
    std::remove(path.c_str());
    return 0;
}
