// packrook-fuzz: libFuzzer drives an arbitrary file through the zip, tar or
// gzip reader, as a user's "open, list, test, extract" would. A zip archive
// then goes through every change, each on a fresh copy: deleting its first
// entry, a new comment, adding a file, adding one that replaces its first
// entry, and conversion to a self-extracting program. Whether a change
// succeeds or fails, every entry that read whole before must read whole
// after (the deleted one aside).
//
// A zip archive that does not open is read from its local headers instead,
// and whatever came back whole must read whole from the repaired archive.
//
// The last byte of the input picks the reader (by the suffix the file is
// given); the bytes before it are the file.
#include "ZipExeSlots.h"
#include "ZipFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The engine lets this class convert with a stub of its choosing.
class ZipFileTestAccess {
public:
    static void writeExe(CZipFile& archive, const CString& stub, const CString& exe)
    {
        archive.writeExe(stub, exe, "", "");
    }
};

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

std::string workPath(const std::string& name)
{
    static const std::string folder = "/tmp/packrook-fuzz-" + std::to_string(::getpid()) + "/";
    return folder + name;
}

// The folder for one run's files, gone again when the run ends.
void makeWorkFolders()
{
    ::mkdir(workPath("").c_str(), 0700);
    ::mkdir(workPath("source").c_str(), 0700);
    std::atexit([] {
        for (const char* name : {"stub.dll", "added.txt", "repaired.zip", "source", ""})
            std::remove(workPath(name).c_str());
    });
}

std::string inputPath(uint8_t selector)
{
    return workPath("input" + std::string(kSuffixes[selector % (sizeof kSuffixes / sizeof *kSuffixes)]));
}

void writeFile(const std::string& path, const void* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// A stand-in for the self-extractor stub: some code, then the two slots.
const std::string& stubPath()
{
    static const std::string path = [] {
        std::string stub(300, 'X');
        for (const char* marker : {exeslots::kInstallDirMarker, exeslots::kRunFileMarker})
            stub += std::string(marker) + std::string(exeslots::kSlotSize - exeslots::kMarkerLength - 1, exeslots::kFill)
                    + '\0';
        const std::string file = workPath("stub.dll");
        writeFile(file, stub.data(), stub.size());
        return file;
    }();
    return path;
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

// Lists and reads every entry; the names of those that read whole.
Names wholeEntries(CZipFile& archive)
{
    Names names;
    for (int i = 0; i < archive.getFileCount(); ++i)
        listEntry(archive, i);
    for (int i = 0; i < archive.getFileCount(); ++i)
        if (readsWhole(archive, i))
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

// A file of that name, which adding then stores under that name; none when
// the name is not one a file can have.
std::string sourceNamed(const std::string& name)
{
    const bool fileName = !name.empty() && name.size() < 200 && name != "." && name != ".."
                          && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
    if (!fileName)
        return std::string();
    const std::string path = workPath("source/") + name;
    writeFile(path, "replacement", 11);
    return path;
}

struct Change {
    const char* name;
    std::function<void(CZipFile&)> make;
    std::string result;  // where the archive is once the change succeeds
};

std::vector<Change> changesOf(const std::string& replacing)
{
    static const std::string added = [] {
        const std::string path = workPath("added.txt");
        writeFile(path, "added by the fuzzer", 19);
        return path;
    }();
    const std::string exe = workPath("program.exe");
    std::vector<Change> changes = {
        {"delete", [](CZipFile& a) { std::vector<int32_t> first{0}; a.removeSomeFiles(first); }, ""},
        {"comment", [](CZipFile& a) { a.setGlobalComment("a comment from the fuzzer"); }, ""},
        {"add", [](CZipFile& a) { std::vector<CString> files{added}; a.addNewFiles(files, 1, false, true); }, ""},
        {"sfx", [exe](CZipFile& a) { ZipFileTestAccess::writeExe(a, stubPath(), exe); }, exe},
    };
    if (!replacing.empty())
        changes.push_back({"replace", [replacing](CZipFile& a) {
                               std::vector<CString> files{replacing};
                               a.addNewFiles(files, 1, false, true);
                           },
                           ""});
    return changes;
}

// The change on a fresh copy of the input; every entry that read whole
// before (but the deleted one) must read whole after, however it ended.
void checkChange(CZipFile& archive, const std::string& path, const std::string& input, const Change& change,
                 Names expected)
{
    writeFile(path, input.data(), input.size());
    if (!open(archive, path))
        return;
    bool done = true;
    try {
        change.make(archive);
    } catch (const CZipException&) {
        done = false;
    }
    const std::string result = done && !change.result.empty() ? change.result : path;
    const Names after = open(archive, result) ? wholeEntries(archive) : Names();
    archive.close();
    std::remove(change.result.c_str());
    if (!std::includes(after.begin(), after.end(), expected.begin(), expected.end())) {
        std::fprintf(stderr, "%s %s and left an intact entry unreadable\n", change.name,
                     done ? "reported success" : "failed");
        std::abort();
    }
}

void checkEveryChange(CZipFile& archive, const std::string& path, const std::string& input, const Names& before)
{
    const std::string first = archive.getFileHeader(0)->name;
    const std::string replacing = sourceNamed(first);
    for (const Change& change : changesOf(replacing)) {
        Names expected = before;
        if (std::string(change.name) == "delete" && expected.count(first))
            expected.erase(expected.find(first));
        checkChange(archive, path, input, change, expected);
    }
    if (!replacing.empty())
        std::remove(replacing.c_str());
}

// Whatever the recovery reader takes from the file reads whole after repair.
void checkRecovery(CZipFile& archive, const std::string& path)
{
    try {
        if (!archive.openRecovered(path))
            return;
    } catch (const CZipException&) {
        return;
    }
    const Names before = wholeEntries(archive);
    const std::string repaired = workPath("repaired.zip");
    std::remove(repaired.c_str());
    try {
        archive.writeRepaired(repaired);
    } catch (const CZipException&) {
        std::fprintf(stderr, "repair failed\n");
        std::abort();
    }
    const Names after = wholeEntries(archive);
    archive.close();
    std::remove(repaired.c_str());
    if (!std::includes(after.begin(), after.end(), before.begin(), before.end())) {
        std::fprintf(stderr, "repair lost a recovered entry\n");
        std::abort();
    }
}

// One archive object for every input, as the manager keeps one for every
// archive it opens: its three buffers of a megabyte each, allocated afresh
// under the address sanitizer, would cost far more than the input.
void exercise(const std::string& path, const std::string& input)
{
    static FuzzCallBack callback;
    static CZipFile archive(&callback);
    writeFile(path, input.data(), input.size());
    if (!open(archive, path)) {
        if (!archive.isGzipMode() && !archive.isTarMode())
            checkRecovery(archive, path);
        return;
    }
    const Names before = wholeEntries(archive);
    if (!archive.isGzipMode() && !archive.isTarMode() && archive.getFileCount() > 0)
        checkEveryChange(archive, path, input, before);
    archive.close();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (makeWorkFolders(), true);
    if (size == 0 || !ready)
        return 0;
    const std::string path = inputPath(data[size - 1]);
    exercise(path, std::string(reinterpret_cast<const char*>(data), size - 1));
    std::remove(path.c_str());
    return 0;
}
