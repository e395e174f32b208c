#pragma once
// Drives the manager's real windows from a test: pumping the thread's
// messages, answering dialogs from a second thread, starting Packrook.exe,
// and resetting the per-user settings.
#include "MainWindow.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace manager_testing {

// Handles every message of this thread until done() holds or the time is up.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
void pumpFor(DWORD milliseconds);

// Forgets every setting the manager stored for this user.
void resetSettings();
// The value as it lies in the per-user key the settings are mapped to.
bool readUserValue(const std::string& key, std::string& value);

// A main window created and shown in the test process, archive not yet opened.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    MainWindow& main() { return *main_; }
    HWND handle() const { return main_->handle(); }
    HWND list() const;
    void open(const std::string& archivePath);

    std::vector<std::string> column(int column) const;
    std::string title() const;
    bool toolbarEnabled(int command) const;
    bool menuEnabled(int command) const;
    void clickColumn(int column);
    void selectRow(const std::string& name);
    // The list's notification of a double click or of rows dragged away.
    void notifyList(UINT code);
    void close();

private:
    std::unique_ptr<MainWindow> main_;
};

// Answers each dialog that a thread opens with the given button, from a
// helper thread, and keeps the dialogs' captions and texts. With typed text,
// the dialog's first edit field is filled in first.
class DialogAnswerer {
public:
    DialogAnswerer(DWORD threadId, int button, std::string typed = std::string());
    ~DialogAnswerer();
    std::vector<std::string> texts() const;
    // What the first edit field held when the dialog came up.
    std::string editText() const;

private:
    void watch();
    bool answerOne();

    DWORD threadId_;
    int button_;
    std::string typed_;
    std::string edited_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

// Class names of the windows of this thread that were shown while it lived.
class ShowRecorder {
public:
    ShowRecorder();
    ~ShowRecorder();
    std::vector<std::string> shownClasses() const;
    std::vector<std::string> shownTitles() const;

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
};

struct ProcessResult {
    bool finished = false;
    DWORD exitCode = 0;
    bool windowShown = false;
};
// Starts Packrook.exe with the arguments; watch is called with its visible
// main window (if any) once the window shows, and may close it.
ProcessResult runPackrook(const std::string& arguments, const std::function<void(HWND)>& watch = {},
                          DWORD timeoutMs = 60000);

std::string windowText(HWND window);
// The longest static text of a message box or dialog.
std::string messageOf(HWND dialog);

// Files "a.bin" up to last ".bin" in folder, each 1000 times its letter.
std::vector<CString> writeLetterFiles(const std::string& folder, char last);
// The names stored in an archive (folders included), in the engine's order.
std::vector<std::string> storedNames(const std::string& archivePath);
// A path of the tests with backslashes only, as a user would type it.
std::string windowsPath(std::string path);
// A fresh scratch folder for the running test whose path holds no dot
// (ending with a backslash).
std::string dotlessScratchFolder();

} // namespace manager_testing
