// Many entries extracted on several threads: the caller hears of each in
// the order given and on its own thread, a damaged entry fails alone and
// leaves nothing, and a failure or Cancel stops the handing out.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace testing_support;

namespace {
std::string name(int n)
{
    return "f" + std::to_string(100 + n);
}

std::string content(int n)
{
    return "the content of entry " + std::to_string(n) + std::string(static_cast<size_t>(n) * 50, 'x');
}

struct Report {
    int index;
    std::string error;
    std::thread::id thread;
};

// count stored entries, ZipCrypto-encrypted, the one numbered damaged with a
// byte of its data changed; extracted with threads threads into out/, all in
// a folder named label.
struct Extraction {
    std::string folder;
    std::string archivePath;
    ScriptedCallBack callback;
    CZipFile archive{&callback};
    std::vector<ExtractJob> jobs;
    std::vector<Report> reports;

    Extraction(const std::string& label, int count, int damaged, unsigned threads)
        : folder(scratchFolder() + label + kSeparator), archivePath(folder + "archive.zip")
    {
        std::filesystem::create_directories(folder);
        std::vector<CString> paths;
        for (int n = 0; n < count; ++n) {
            paths.push_back(folder + name(n));
            writeBytes(paths.back(), content(n));
        }
        size_t local = 0;
        {
            ScriptedCallBack adding;
            adding.passwordForAdding = "secret";
            CZipFile writer(&adding);
            writer.setThreadCount(1);
            EXPECT_TRUE(writer.createNewZip(archivePath));
            EXPECT_TRUE(writer.addNewFiles(paths, 3, false, true));
            local = static_cast<size_t>(writer.getFileHeader(damaged)->localHeaderOffset);
        }
        std::string bytes = readBytes(archivePath);
        const auto byte = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(bytes[at])); };
        // Past the local header and the 12 bytes the encryption puts in front.
        bytes[local + 30 + byte(local + 26) + 256 * byte(local + 27) + byte(local + 28) + 256 * byte(local + 29) + 12 + 5] ^= 1;
        writeBytes(archivePath, bytes);
        std::filesystem::create_directories(folder + "out");
        callback.passwordToGive = "secret";
        archive.setThreadCount(threads);
        EXPECT_TRUE(archive.openZipFile(archivePath));
        for (int n = 0; n < count; ++n)
            jobs.push_back({n, join(folder + "out", name(n))});
    }

    void run(int stopAfterFailures = -1)
    {
        archive.extractInParallel(jobs, [&](const ExtractJob& job, const CString& error) {
            reports.push_back({job.index, error, std::this_thread::get_id()});
            return error.empty() || stopAfterFailures != 0;
        });
    }

    // Every entry reported is there whole, unless it failed; no other file is.
    void expectFilesAsReported()
    {
        std::vector<std::string> expected;
        for (const Report& report : reports)
            if (report.error.empty())
                expected.push_back(name(report.index));
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder + "out"))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
        for (const std::string& file : found)
            EXPECT_EQ(readBytes(join(folder + "out", file)), content(std::stoi(file.substr(1)) - 100));
    }
};
}

TEST(ParallelExtraction, EachEntryIsReportedInOrderOnTheCallersThreadAndADamagedOneFailsAlone)
{
    Extraction extraction("all", 12, 3, 3);
    extraction.run();
    ASSERT_EQ(extraction.reports.size(), 12u);
    std::vector<std::string> statusTexts;
    for (int n = 0; n < 12; ++n) {
        const Report& report = extraction.reports[static_cast<size_t>(n)];
        EXPECT_EQ(report.index, n);
        EXPECT_EQ(report.thread, std::this_thread::get_id());
        EXPECT_EQ(report.error, n == 3 ? "Corrupt zip file found when exstacting " + name(3) : "");
        statusTexts.push_back("Extracting file " + name(n));
    }
    EXPECT_EQ(extraction.callback.statusTexts, statusTexts);
    EXPECT_EQ(extraction.callback.passwordPrompts, 1) << "asked once, before the workers start";
    extraction.expectFilesAsReported();
}

TEST(ParallelExtraction, AFailureOrCancelStopsTheHandingOut)
{
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancel" : "failure");
        Extraction extraction(cancel ? "cancel" : "failure", 60, 3, 2);
        extraction.callback.cancelAt = cancel ? 0 : -1;
        extraction.run(cancel ? -1 : 0);
        // Entries begun before the stop still finish; a few run ahead at most.
        // Cancel may come even before the first entry is done.
        const size_t stoppedAt = cancel ? 0 : 3;
        if (!cancel) {
            ASSERT_GT(extraction.reports.size(), stoppedAt);
        }
        EXPECT_LE(extraction.reports.size(), stoppedAt + 1 + 2 * 2);
        for (size_t n = 0; n < extraction.reports.size(); ++n)
            EXPECT_EQ(extraction.reports[n].index, static_cast<int>(n));
        extraction.expectFilesAsReported();
    }
}

#ifndef _WIN32
namespace {
// Lets the writes of the first entries through and holds every other writer
// at its first write, its temporary file open.
class HoldingLaterEntries : public os::FileFaults {
public:
    explicit HoldingLaterEntries(int passing) : passing_(passing), previous_(os::setFileFaults(this)) {}
    ~HoldingLaterEntries() override { os::setFileFaults(previous_); }

    uint32_t allowed(os::FileOperation operation, os::FileHandle, uint32_t count) override
    {
        // The entries' lengths tell them apart.
        if (operation != os::FileOperation::Write || count < content(passing_).size())
            return count;
        std::unique_lock<std::mutex> lock(mutex_);
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [] { return false; });
        return count;
    }

    void waitUntilHeld(int writers)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return held_ == writers; });
    }

private:
    const size_t passing_;
    os::FileFaults* previous_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int held_ = 0;
};
} // namespace

// SIGTERM comes once the first three entries are done and three workers are
// each in the middle of one: those three stay, nothing else is left.
TEST(ParallelExtractionDeathTest, AnInterruptionLeavesTheFinishedFilesAndNoTemporary)
{
    Extraction extraction("interrupted", 12, 11, 3);
    EXPECT_EXIT(
        {
            os::removeTemporariesWhenInterrupted();
            HoldingLaterEntries holding(3);
            extraction.archive.extractInParallel(extraction.jobs, [&](const ExtractJob& job, const CString&) {
                extraction.reports.push_back({job.index, "", std::this_thread::get_id()});
                if (job.index == 2) {
                    holding.waitUntilHeld(3);
                    std::raise(SIGTERM);
                }
                return true;
            });
        },
        testing::KilledBySignal(SIGTERM), "");
    extraction.reports = {{0, "", {}}, {1, "", {}}, {2, "", {}}};
    extraction.expectFilesAsReported();
}
#endif
