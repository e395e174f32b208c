// packrook-fuzz: libFuzzer drives an arbitrary file through the zip, tar or
// gzip reader, as a user's "open, list, test, extract" would.
//
// The last byte of the input picks the reader (by the suffix the file is
// given); the bytes before it are the file.
#include "ZipFile.h"

#include <cstdint>
#include <cstdio>
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

// Read to the end, which is what tests an entry; the bytes go nowhere.
void readEntry(CZipFile& archive, int index, std::vector<char>& buffer)
{
    const uint32_t size = static_cast<uint32_t>(buffer.size());
    try {
        archive.openFile(index);
        while (archive.readFile(buffer.data(), size) == size) {
        }
    } catch (const CZipException&) {
        // A damaged entry is reported; the next one is read all the same.
    }
    archive.closeFile(index);
}

// One archive object for every input, as the manager keeps one for every
// archive it opens: its three buffers of a megabyte each, allocated afresh
// under the address sanitizer, would cost far more than the input.
void exercise(const std::string& path)
{
    static FuzzCallBack callback;
    static CZipFile archive(&callback);
    static std::vector<char> buffer(CZipBuffer::kDefaultSize);
    archive.close();
    try {
        if (!archive.openZipFile(path))
            return;
    } catch (const CZipException&) {
        return;
    }
    for (int i = 0; i < archive.getFileCount(); ++i)
        listEntry(archive, i);
    for (int i = 0; i < archive.getFileCount(); ++i)
        readEntry(archive, i, buffer);
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
