#include "DialogScript.h"

#include "ManagerTestSupport.h"
#include "SimulatedDrive.h"
#include "TestSupport.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace manager_testing {
namespace {
constexpr DWORD kStepTimeoutMs = 30000;

struct Search {
    HWND exclude;
    HWND found = nullptr;
};

bool hasClass(HWND window, const char* name)
{
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    return std::string(className) == name;
}

BOOL CALLBACK findMenu(HWND window, LPARAM param)
{
    if (hasClass(window, "#32768") && ::IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// A modal dialog disables its owner before it shows. The progress window,
// which comes and goes between questions, leaves its owner enabled.
bool isModal(HWND dialog)
{
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    return !owner || !::IsWindowEnabled(owner);
}

BOOL CALLBACK findTopDialog(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<Search*>(param);
    if (window != search.exclude && hasClass(window, "#32770") && ::IsWindowVisible(window) &&
        !(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) && isModal(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND visibleDialog(DWORD threadId, HWND exclude)
{
    Search search{exclude};
    ::EnumThreadWindows(threadId, findTopDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ControlSearch {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK findControl(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<ControlSearch*>(param);
    if (::GetDlgCtrlID(window) == search.id) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

DialogScript::DialogScript(DWORD threadId, std::vector<DialogStep> steps)
    : threadId_(threadId), steps_(std::move(steps)), thread_([this] { play(); })
{
}

DialogScript::~DialogScript()
{
    stop_ = true;
    thread_.join();
}

std::vector<std::string> DialogScript::titles() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return titles_;
}

// A dialog counts as handled once it is gone, so one is never played twice.
void DialogScript::play()
{
    HWND last = nullptr;
    while (next_ < steps_.size() && !stop_) {
        HWND dialog = visibleDialog(threadId_, last);
        if (!dialog || (dialog == last && ::IsWindow(last))) {
            ::Sleep(20);
            continue;
        }
        // A dialog fills its controls while it initialises, before it shows.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            titles_.push_back(windowText(dialog));
        }
        steps_[next_](dialog);
        ++next_;
        const DWORD start = ::GetTickCount();
        while (::IsWindow(dialog) && ::IsWindowVisible(dialog) && ::GetTickCount() - start < kStepTimeoutMs)
            ::Sleep(20);
        last = dialog;
    }
}

HWND control(HWND dialog, int id)
{
    ControlSearch search{id};
    ::EnumChildWindows(dialog, findControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void press(HWND dialog, int id)
{
    HWND button = control(dialog, id);
    HWND parent = button ? ::GetParent(button) : dialog;
    ::PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void setCheck(HWND dialog, int id, bool checked)
{
    ::SendMessageA(control(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool isChecked(HWND dialog, int id)
{
    return ::SendMessageA(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setText(HWND dialog, int id, const std::string& text)
{
    ::SendMessageA(control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string textOf(HWND dialog, int id)
{
    return windowText(control(dialog, id));
}

std::vector<std::string> comboLines(HWND dialog, int id)
{
    HWND combo = control(dialog, id);
    std::vector<std::string> lines;
    const auto count = ::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT line = 0; line < count; ++line) {
        std::string text(static_cast<size_t>(::SendMessageA(combo, CB_GETLBTEXTLEN, line, 0)) + 1, '\0');
        ::SendMessageA(combo, CB_GETLBTEXT, line, reinterpret_cast<LPARAM>(text.data()));
        lines.push_back(text.c_str());
    }
    return lines;
}

int comboSelection(HWND dialog, int id)
{
    return static_cast<int>(::SendMessageA(control(dialog, id), CB_GETCURSEL, 0, 0));
}

void selectComboLine(HWND dialog, int id, int line)
{
    ::SendMessageA(control(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(line), 0);
}

// The name field is an edit, or a combo box with an edit inside.
void chooseFile(HWND fileDialog, const std::string& name)
{
    constexpr int kNameEdit = 0x480;
    constexpr int kNameCombo = 0x47c;
    HWND field = control(fileDialog, kNameEdit);
    if (!field)
        field = control(fileDialog, kNameCombo);
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ::PostMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

bool chooseMenuItem(DWORD threadId, int position)
{
    HWND menu = nullptr;
    for (const DWORD start = ::GetTickCount(); !menu && ::GetTickCount() - start < kStepTimeoutMs; ::Sleep(20))
        ::EnumThreadWindows(threadId, findMenu, reinterpret_cast<LPARAM>(&menu));
    if (!menu)
        return false;
    for (int down = 0; down <= position; ++down)
        ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(menu, WM_KEYDOWN, position < 0 ? VK_ESCAPE : VK_RETURN, 0);
    return true;
}

std::vector<std::string> runCommand(HWND window, int command, std::vector<DialogStep> steps)
{
    DialogScript script(::GetWindowThreadProcessId(window, nullptr), std::move(steps));
    ::SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
    return script.titles();
}

DialogStep pressing(int id)
{
    return [id](HWND dialog) { press(dialog, id); };
}

DialogStep choosing(const std::string& name)
{
    return [name](HWND dialog) { chooseFile(dialog, name); };
}

DialogStep insertingAskedDisk(testing_support::SimulatedDrive& drive, std::vector<int>& asked)
{
    return [&drive, &asked](HWND box) {
        int disk = 0;
        std::sscanf(messageOf(box).c_str(), "Please insert disk %d", &disk);
        asked.push_back(disk);
        drive.insert(disk - 1);
        press(box, IDOK);
    };
}

std::string hostPath(const std::string& path)
{
    std::string host = path.size() > 1 && path[1] == ':' ? path.substr(2) : path;
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

// Wine starts programs of the host through "start /unix"; their output
// comes back through a file.
std::string runOnHost(const std::string& shellCommand)
{
    const std::string output = testing_support::scratchFolder() + "host-output.txt";
    std::filesystem::remove(output);
    std::string commandLine = "start.exe /wait /unix /bin/sh -c \"" + shellCommand + " >'" + hostPath(output) +
                              "' 2>&1; echo exit $? >>'" + hostPath(output) + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return "cannot start " + commandLine + " (error " + std::to_string(::GetLastError()) + ")";
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // The host's program may still be running when start.exe has gone; its
    // last line says it is done.
    std::string printed;
    for (const DWORD begin = ::GetTickCount(); ::GetTickCount() - begin < 60000; ::Sleep(50)) {
        printed = std::filesystem::exists(output) ? testing_support::readBytes(output) : std::string();
        if (printed.find("exit ") != std::string::npos && printed.back() == '\n')
            break;
    }
    return printed;
}

} // namespace manager_testing
