// Every change of a small archive, made on a disk that fails: a failing disk
// refuses one of the change's file operations, each in turn; a full one has
// only so many bytes free, from none to what the change needs. However the
// change ends, the archive keeps a directory and every entry that was
// intact, as this engine, unzip and Python's zipfile read it.
#include "TestSupport.h"
#include "os/Os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

using namespace testing_support;

namespace {
// How a disk fails: it refuses the file operation numbered failAt (1-based;
// 0: none), and it has room free bytes, to which truncations add.
struct Fault {
    int failAt;
    int64_t room;
};
constexpr int64_t kRoomy = INT64_MAX / 2;

// Counts the operations on every open file and refuses what the fault says:
// the one operation, or every byte of growth beyond the room.
class FaultyDisk : public os::FileFaults {
public:
    explicit FaultyDisk(Fault fault) : fault_(fault), room_(fault.room), previous_(os::setFileFaults(this)) {}
    ~FaultyDisk() override { os::setFileFaults(previous_); }
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

    uint32_t allowed(os::FileOperation operation, os::FileHandle file, uint32_t count) override
    {
        if (++operations_ == fault_.failAt)
            return 0;
        const int64_t size = os::fileSize(file);
        const int64_t at = os::filePosition(file);
        if (operation == os::FileOperation::Truncate)
            room_ += std::max<int64_t>(0, size - at);
        if (operation != os::FileOperation::Write || at + count <= size)
            return count;
        const int64_t growth = at + count - std::max(size, at);
        const int64_t granted = std::min(growth, room_);
        room_ -= granted;
        leastRoom_ = std::min(leastRoom_, room_);
        return count - static_cast<uint32_t>(growth - granted);
    }

    int operations() const { return operations_; }
    // The most room the change took at any one time.
    int64_t peakUse() const { return fault_.room - leastRoom_; }

private:
    Fault fault_;
    int64_t room_;
    int64_t leastRoom_ = INT64_MAX;
    int operations_ = 0;
    os::FileFaults* previous_;
};

using Entries = std::multimap<std::string, std::string>;
using Contents = std::map<std::string, std::string>;

struct State {
    Entries entries;
    std::string comment;
};

State stateOf(const std::string& path)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    State state;
    EXPECT_TRUE(archive.openZipFile(path)) << path;
    for (int i = 0; i < archive.getFileCount(); ++i)
        state.entries.emplace(archive.getFileHeader(i)->name, readEntry(archive, i));
    state.comment = archive.getGlobalComment();
    return state;
}

struct Change {
    const char* name;
    std::function<void(CZipFile&)> make;
    Contents done;  // the entries once the change is complete
    std::string comment;
};

// After a failure every entry is one the archive had before or one the
// change was making, and every entry that both have is still there.
void expectBeforeOrDone(const State& state, const Contents& before, const std::string& commentBefore,
                        const Change& change, const std::string& what)
{
    for (const auto& [name, content] : state.entries) {
        const bool old = before.count(name) && before.at(name) == content;
        const bool made = change.done.count(name) && change.done.at(name) == content;
        EXPECT_TRUE(old || made) << what << ": " << name;
    }
    for (const auto& [name, content] : before)
        EXPECT_TRUE(!change.done.count(name) || state.entries.count(name)) << what << ": lost " << name;
    EXPECT_TRUE(state.comment == commentBefore || state.comment == change.comment) << what;
}

void expectDone(const State& state, const Change& change, const std::string& what)
{
    EXPECT_EQ(state.entries, Entries(change.done.begin(), change.done.end())) << what;
    EXPECT_EQ(state.comment, change.comment) << what;
}

#ifndef _WIN32
bool peersAvailable()
{
    return std::system("unzip -v >/dev/null 2>&1") == 0 && std::system("python3 -c '' >/dev/null 2>&1") == 0;
}

// Each archive passes unzip's test, and Python finds every named entry with
// one of the contents given for it.
void expectPeersFindEntries(const std::map<std::string, Contents>& required, const std::string& folder)
{
    const std::string script = folder + "check.py";
    std::ofstream(script) << "import sys, zipfile\n"
                             "bad = 0\n"
                             "for line in open(sys.argv[1]):\n"
                             "    path, name, content = line.rstrip('\\n').split('\\t')\n"
                             "    with zipfile.ZipFile(path) as zf:\n"
                             "        found = [zf.read(i) for i in zf.infolist() if i.filename == name]\n"
                             "    if bytes.fromhex(content) not in found:\n"
                             "        print(path, name); bad = 1\n"
                             "sys.exit(bad)\n";
    std::ofstream manifest(folder + "manifest.txt");
    for (const auto& [path, entries] : required) {
        EXPECT_EQ(std::system(("unzip -tqq '" + path + "' >/dev/null 2>&1").c_str()), 0) << path;
        for (const auto& [name, content] : entries) {
            manifest << path << '\t' << name << '\t';
            for (unsigned char c : content)
                manifest << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
            manifest << '\n';
        }
    }
    manifest.close();
    EXPECT_EQ(std::system(("python3 '" + script + "' '" + folder + "manifest.txt'").c_str()), 0);
}
#endif

struct Sample {
    std::string folder = scratchFolder();
    std::string original = folder + "original.zip";
    Contents before;
    std::string comment = "the comment before";

    Sample()
    {
        std::string text;
        for (int line = 0; text.size() < 20000; ++line)
            text += "line " + std::to_string(line) + " of the middle entry\n";
        before = {{"a.txt", std::string(3000, 'a')}, {"b.txt", text}, {"c.txt", "the last one"}};
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        archive.createNewZip(original);
        std::vector<CString> files;
        for (const auto& [name, content] : before)
            files.push_back(source(name, content));
        archive.addNewFiles(files, 0, false, false);
        archive.setGlobalComment(comment);
    }

    std::string source(const std::string& name, const std::string& content) const
    {
        const std::string folder = join(this->folder, "sources");
        std::filesystem::create_directories(folder);
        writeBytes(join(folder, name), content);
        return join(folder, name);
    }

    Change adding(const char* what, const std::string& name, const std::string& content) const
    {
        Contents done = before;
        done[name] = content;
        const std::vector<CString> files{source(name, content)};
        return {what, [files](CZipFile& archive) {
                    std::vector<CString> paths = files;
                    archive.addNewFiles(paths, 0, false, true);
                },
                done, comment};
    }

    Change removing(const char* what, const std::string& name) const
    {
        Contents done = before;
        done.erase(name);
        return {what, [name](CZipFile& archive) {
                    std::vector<int32_t> index{indexOf(archive, name)};
                    archive.removeSomeFiles(index);
                },
                done, comment};
    }

    Change commenting(const char* what, const std::string& text) const
    {
        return {what, [text](CZipFile& archive) { archive.setGlobalComment(text); }, before, text};
    }
};

// Runs the change on a fresh copy on a disk that fails as the fault says;
// the disk tells what the change did.
struct ChangeRun {
    int operations;
    int64_t peakUse;
    bool failed;
};

ChangeRun runChange(const Sample& sample, const Change& change, Fault fault, const std::string& path)
{
    writeBytes(path, readBytes(sample.original));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_TRUE(archive.openZipFile(path));
    FaultyDisk disk(fault);
    const bool failed = messageOf([&] { change.make(archive); }) != "no exception";
    archive.close();
    return {disk.operations(), std::min(disk.peakUse(), fault.room), failed};
}

// Each operation refused in turn, and every tenth of the room the change
// needs, from none up.
std::vector<Fault> faultsFor(const ChangeRun& clean)
{
    std::vector<Fault> faults;
    for (int failAt = 1; failAt <= clean.operations; ++failAt)
        faults.push_back({failAt, kRoomy});
    for (int64_t step = 0; step < 10; ++step)
        faults.push_back({0, clean.peakUse * step / 10});
    return faults;
}

std::string describe(const Change& change, Fault fault)
{
    return std::string(change.name)
           + (fault.failAt ? " failing at " + std::to_string(fault.failAt) : " full, room " + std::to_string(fault.room));
}
}

TEST(Faults, EveryChangeKeepsEveryIntactEntryWhereverTheDiskFails)
{
    const Sample sample;
    const Change changes[] = {
        sample.adding("add", "new.txt", "a new entry"),
        sample.adding("replace", "b.txt", "the middle entry, replaced"),
        sample.removing("delete the first", "a.txt"),
        sample.removing("delete the middle", "b.txt"),
        sample.commenting("a longer comment", std::string(3000, 'c')),
        sample.commenting("no comment", ""),
    };
    std::map<std::string, Contents> required;
    for (const Change& change : changes) {
        const ChangeRun clean = runChange(sample, change, {0, kRoomy}, sample.folder + "clean.zip");
        ASSERT_FALSE(clean.failed) << change.name;
        expectDone(stateOf(sample.folder + "clean.zip"), change, change.name);
        for (const Fault& fault : faultsFor(clean)) {
            const std::string what = describe(change, fault);
            const std::string path = sample.folder + what + ".zip";
            const bool failed = runChange(sample, change, fault, path).failed;
            const State state = stateOf(path);
            if (failed)
                expectBeforeOrDone(state, sample.before, sample.comment, change, what);
            else
                expectDone(state, change, what);
            for (const auto& [name, content] : sample.before)
                if (change.done.count(name) && state.entries.count(name))
                    required[path][name] = state.entries.find(name)->second;
        }
    }
#ifndef _WIN32
    if (peersAvailable())
        expectPeersFindEntries(required, sample.folder);
#endif
}
