#include "AddOptions.h"
#include "DialogScript.h"
#include "ManagerTestSupport.h"
#include "ParallelDeflate.h"
#include "SimulatedDrive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace manager_testing;

namespace {
// Text-like bytes that keep the best compression busy for a while.
std::string slowToCompress(size_t size, uint32_t seed)
{
    static const char* const words[] = {"archive ", "packrook ", "entry ", "folder ", "deflate ", "window ",
                                        "central ", "directory ", "record ", "header "};
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % 10];
        text += static_cast<char>('a' + (seed >> 8) % 26);
    }
    return text;
}

// Holds whoever reads the second block of a file of the given size until
// released: what happens meanwhile happens while that file is compressed.
class HeldRead : public os::FileFaults {
public:
    explicit HeldRead(int64_t fileSize) : fileSize_(fileSize), previous_(os::setFileFaults(this)) {}
    ~HeldRead() override
    {
        os::setFileFaults(previous_);
        ::CloseHandle(held);
        ::CloseHandle(released);
    }
    uint32_t allowed(os::FileOperation operation, os::FileHandle file, uint32_t count) override
    {
        if (operation == os::FileOperation::Read && os::fileSize(file) == fileSize_ && ++reads_ == 2) {
            ::SetEvent(held);
            ::WaitForSingleObject(released, 60000);
        }
        return count;
    }

    const HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE released = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

private:
    const int64_t fileSize_;
    std::atomic<int> reads_{0};
    os::FileFaults* previous_;
};

BOOL CALLBACK findOwnedDialog(HWND window, LPARAM found)
{
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    auto& dialog = *reinterpret_cast<HWND*>(found);
    if (std::string(className) != "#32770" || ::GetWindow(window, GW_OWNER) != dialog)
        return TRUE;
    dialog = window;
    return FALSE;
}

// The dialog of the owner's thread that the owner owns, or null.
HWND ownedDialog(HWND owner)
{
    HWND found = owner;
    ::EnumThreadWindows(::GetWindowThreadProcessId(owner, nullptr), findOwnedDialog,
                        reinterpret_cast<LPARAM>(&found));
    return found == owner ? nullptr : found;
}

class Progress : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        addOptions() = AddOptions();
        resetSettings();
    }

    std::vector<CString> makeFiles(int count, size_t size)
    {
        std::vector<CString> files;
        for (int i = 0; i < count; ++i) {
            files.push_back(folder + "file" + std::to_string(i) + ".txt");
            testing_support::writeBytes(files.back(), slowToCompress(size, static_cast<uint32_t>(i)));
        }
        return files;
    }

    bool progressShown(const ShowRecorder& recorder) const
    {
        const auto classes = recorder.shownClasses();
        return std::find(classes.begin(), classes.end(), "#32770") != classes.end();
    }

    const std::string folder = testing_support::scratchFolder();
    TestWindow window;
};

TEST_F(Progress, ShortOperationShowsNoProgressWindow)
{
    const std::string archive = folder + "quick.zip";
    ShowRecorder recorder;
    window.main().setArchivePath(archive);
    window.main().pendingFiles() = makeFiles(3, 1000);
    window.main().openPendingArchive();
    EXPECT_EQ(window.main().archive().getFileCount(), 3);
    EXPECT_FALSE(progressShown(recorder));
    EXPECT_EQ(window.column(0).size(), 3u);
}

TEST_F(Progress, CancelStopsAddingBeforeTheNextFile)
{
    const int fileCount = 24;
    const std::string archive = folder + "slow.zip";
    window.main().setArchivePath(archive);
    window.main().pendingFiles() = makeFiles(fileCount, 1500000);
    addOptions().compression = 2;
    std::vector<std::string> answered;
    const DWORD start = ::GetTickCount();
    {
        ShowRecorder recorder;
        DialogAnswerer cancel(::GetCurrentThreadId(), IDCANCEL);
        window.main().openPendingArchive();
        answered = cancel.texts();
        EXPECT_TRUE(progressShown(recorder));
    }
    const DWORD elapsed = ::GetTickCount() - start;
    ASSERT_EQ(answered.size(), 1u) << "operation took " << elapsed << " ms";
    EXPECT_EQ(answered[0].rfind("Packrook|Compressing file ", 0), 0u) << answered[0];
    const long added = window.main().archive().getFileCount();
    EXPECT_GT(added, 0);
    EXPECT_LT(added, fileCount);
    EXPECT_EQ(window.column(0).size(), static_cast<size_t>(added));
}

// The user clicks Cancel while the adding is held in the middle of a large
// file: the window answers the click at once, the file goes and the one
// before it stays. Adding on the window's own thread would leave the click
// unanswered until the file was done.
TEST_F(Progress, CancelInTheMiddleOfALargeFileIsAnsweredAndDropsOnlyThatFile)
{
    const std::string archive = folder + "held.zip";
    const std::vector<CString> files = {folder + "first.txt", folder + "large.txt"};
    testing_support::writeBytes(files[0], slowToCompress(5000, 1));
    const size_t largeSize = 3 * zipdeflate::kBlockSize + 100;
    testing_support::writeBytes(files[1], slowToCompress(largeSize, 2).substr(0, largeSize));
    window.main().archive().setThreadCount(2);
    window.main().setArchivePath(archive);
    window.main().pendingFiles() = files;
    HeldRead hold(static_cast<int64_t>(largeSize));
    bool answered = false;
    std::thread user([&] {
        if (::WaitForSingleObject(hold.held, 60000) == WAIT_OBJECT_0) {
            DWORD_PTR result = 0;
            answered = ::SendMessageTimeoutA(ownedDialog(window.handle()), WM_COMMAND, IDCANCEL, 0, SMTO_NORMAL,
                                             10000, &result) != 0;
        }
        ::SetEvent(hold.released);
    });
    window.main().openPendingArchive();
    user.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(window.column(0), std::vector<std::string>{"first.txt"});
    window.main().archive().close();
    EXPECT_EQ(storedNames(archive), std::vector<std::string>{"first.txt"});
    EXPECT_NE(runOnHost("unzip -t '" + hostPath(archive) + "'").find("No errors detected"), std::string::npos);
}

// Filling a disk of a spanned set asks for the next one on the window's
// thread, where the user answers, while the adding waits beside it.
TEST_F(Progress, DiskPromptsOfAddingBesideTheWindowComeUpOnItsThread)
{
    testing_support::SimulatedDrive drive(folder + "set", std::vector<uint32_t>(4, 3000));
    const std::vector<CString> files = writeLetterFiles(folder, 'e');
    addOptions().compression = 3;
    window.main().setArchivePath(drive.path("set.zip"));
    window.main().pendingFiles() = files;
    std::vector<int> asked;
    {
        DialogScript user(::GetCurrentThreadId(), {insertingAskedDisk(drive, asked)});
        window.main().openPendingArchive();
    }
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_EQ(window.column(0).size(), files.size());
}

// The work waits until a watcher has seen the progress window come up and
// the main window answer; run on the window's own thread, it would wait in vain.
TEST_F(Progress, WorkBesideTheWindowLeavesItAnswering)
{
    ProgressWindow progress(::GetModuleHandleA(nullptr), window.handle());
    HANDLE seen = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool progressShown = false;
    bool mainAnswered = false;
    std::thread watcher([&] {
        for (const DWORD start = ::GetTickCount(); !progressShown && ::GetTickCount() - start < 30000; ::Sleep(20))
            progressShown = ::IsWindowVisible(progress.handle());
        DWORD_PTR result = 0;
        mainAnswered = ::SendMessageTimeoutA(window.handle(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
        ::SetEvent(seen);
    });
    progress.runBeside([&] { ::WaitForSingleObject(seen, INFINITE); });
    watcher.join();
    ::CloseHandle(seen);
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(mainAnswered);
    EXPECT_THROW(progress.runBeside([] { throw CZipException("failed beside"); }), CZipException);
}
} // namespace
