#include "AddOptions.h"
#include "ManagerTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
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
