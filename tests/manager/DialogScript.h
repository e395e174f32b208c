#pragma once
// Plays the user at the dialogs a thread shows, from a helper thread: each
// step gets the next dialog that comes up (a message box, one of the
// manager's dialogs or the system's file dialog with its panel) and must
// close it. Also runs the peer tools of the host on archives the tests wrote.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {
class SimulatedDrive;
}

namespace manager_testing {

using DialogStep = std::function<void(HWND dialog)>;

class DialogScript {
public:
    DialogScript(DWORD threadId, std::vector<DialogStep> steps);
    // Waits until every step has run (or the time is up).
    ~DialogScript();
    // The title of each dialog a step got, in order.
    std::vector<std::string> titles() const;
    bool finished() const { return next_ == steps_.size(); }

private:
    void play();

    DWORD threadId_;
    std::vector<DialogStep> steps_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> titles_;
    std::thread thread_;
};

// Helpers for steps. Controls are found by identifier anywhere inside the
// dialog, so a panel's controls are reached through the file dialog.
HWND control(HWND dialog, int id);
void press(HWND dialog, int id);
void setCheck(HWND dialog, int id, bool checked);
bool isChecked(HWND dialog, int id);
void setText(HWND dialog, int id, const std::string& text);
std::string textOf(HWND dialog, int id);
std::vector<std::string> comboLines(HWND dialog, int id);
int comboSelection(HWND dialog, int id);
void selectComboLine(HWND dialog, int id, int line);
// The system's file dialog: type a name and press its OK button.
void chooseFile(HWND fileDialog, const std::string& name);

// Picks the item at position (0 for the first; -1 dismisses the menu) of
// the pop-up menu the thread shows next, from the keyboard. False when no
// menu came up.
bool chooseMenuItem(DWORD threadId, int position);

// Sends a command to the window while the steps play the user at the
// dialogs it opens; returns the titles of the dialogs the steps got.
std::vector<std::string> runCommand(HWND window, int command, std::vector<DialogStep> steps);

// Steps for the common answers.
DialogStep pressing(int id);
DialogStep choosing(const std::string& name);
// At "Please insert disk N": notes N, puts that disk in the drive, OK.
DialogStep insertingAskedDisk(testing_support::SimulatedDrive& drive, std::vector<int>& asked);

// Runs a shell command line of the host (the peers zip, unzip, 7z) and
// returns what it printed, followed by "exit N".
std::string runOnHost(const std::string& shellCommand);
// The host's spelling of a path the tests use ("Z:/..." or "Z:\\...").
std::string hostPath(const std::string& path);

} // namespace manager_testing
