#include "ManagerTestSupport.h"

#include "Settings.h"
#include "TestSupport.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace manager_testing {

// A quit message left by a destroyed main window would end the next modal
// loop (a message box) at once, so it is swallowed here as well.
void pumpMessages()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    pumpMessages();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(5);
        pumpMessages();
    }
    return true;
}

void pumpFor(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    pumpUntil([&] { return ::GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

void resetSettings()
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Packrook");
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, settings::kFileName);
}

bool readUserValue(const std::string& key, std::string& value)
{
    char data[300] = {};
    DWORD size = sizeof data;
    if (::RegGetValueA(HKEY_CURRENT_USER, "Packrook\\USERPREFS", key.c_str(), RRF_RT_REG_SZ, nullptr, data,
                       &size) != ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

std::string windowText(HWND window)
{
    char text[1024] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<CString> writeLetterFiles(const std::string& folder, char last)
{
    std::vector<CString> files;
    for (char name = 'a'; name <= last; ++name) {
        files.push_back(folder + name + ".bin");
        testing_support::writeBytes(files.back(), std::string(1000, name));
    }
    return files;
}

std::vector<std::string> storedNames(const std::string& archivePath)
{
    testing_support::ScriptedCallBack callback;
    CZipFile archive(&callback);
    std::vector<std::string> names;
    if (!archive.openZipFile(archivePath))
        return names;
    for (int i = 0; i < archive.getFileCount(); ++i)
        names.push_back(archive.getPath(i) + archive.getFileName(i));
    return names;
}

std::string windowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string dotlessScratchFolder()
{
    std::string folder = windowsPath(testing_support::scratchFolder());
    folder.pop_back();
    const size_t name = folder.rfind('\\') + 1;
    std::replace(folder.begin() + static_cast<std::ptrdiff_t>(name), folder.end(), '.', '_');
    testing_support::removeFolder(folder);
    std::filesystem::create_directories(folder);
    return folder + "\\";
}

TestWindow::TestWindow() : main_(std::make_unique<MainWindow>(::GetModuleHandleA(nullptr)))
{
    MainWindow::registerClass(::GetModuleHandleA(nullptr));
    if (!main_->create(true))
        throw std::runtime_error("main window not created");
    ::ShowWindow(handle(), SW_SHOW);
    ::UpdateWindow(handle());
}

TestWindow::~TestWindow()
{
    if (::IsWindow(handle()))
        ::DestroyWindow(handle());
    pumpFor(0);
}

HWND TestWindow::list() const
{
    return ::GetDlgItem(handle(), IDC_ENTRYLIST);
}

void TestWindow::open(const std::string& archivePath)
{
    main_->setArchivePath(archivePath);
    main_->openPendingArchive();
}

std::vector<std::string> TestWindow::column(int column) const
{
    std::vector<std::string> texts;
    const int rows = ListView_GetItemCount(list());
    for (int row = 0; row < rows; ++row) {
        char text[300] = {};
        ListView_GetItemText(list(), row, column, text, sizeof text);
        texts.push_back(text);
    }
    return texts;
}

std::string TestWindow::title() const
{
    return windowText(handle());
}

bool TestWindow::toolbarEnabled(int command) const
{
    return ::SendMessageA(::GetDlgItem(handle(), IDC_TOOLBAR), TB_ISBUTTONENABLED, command, 0) != 0;
}

bool TestWindow::menuEnabled(int command) const
{
    return (::GetMenuState(::GetMenu(handle()), command, MF_BYCOMMAND) & MF_GRAYED) == 0;
}

void TestWindow::clickColumn(int column)
{
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list();
    click.hdr.idFrom = IDC_ENTRYLIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    ::SendMessageA(handle(), WM_NOTIFY, IDC_ENTRYLIST, reinterpret_cast<LPARAM>(&click));
}

void TestWindow::selectRow(const std::string& name)
{
    const std::vector<std::string> names = column(0);
    const auto row = std::find(names.begin(), names.end(), name) - names.begin();
    ListView_SetItemState(list(), static_cast<int>(row), LVIS_SELECTED, LVIS_SELECTED);
}

void TestWindow::notifyList(UINT code)
{
    NMLISTVIEW notice = {};
    notice.hdr.hwndFrom = list();
    notice.hdr.idFrom = IDC_ENTRYLIST;
    notice.hdr.code = code;
    notice.iItem = ListView_GetNextItem(list(), -1, LVNI_SELECTED);
    ::SendMessageA(handle(), WM_NOTIFY, IDC_ENTRYLIST, reinterpret_cast<LPARAM>(&notice));
}

void TestWindow::close()
{
    ::SendMessageA(handle(), WM_CLOSE, 0, 0);
    pumpFor(0);
}

DialogAnswerer::DialogAnswerer(DWORD threadId, int button, std::string typed)
    : threadId_(threadId), button_(button), typed_(std::move(typed)), thread_([this] { watch(); })
{
}

DialogAnswerer::~DialogAnswerer()
{
    stop_ = true;
    thread_.join();
}

std::vector<std::string> DialogAnswerer::texts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

std::string DialogAnswerer::editText() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return edited_;
}

void DialogAnswerer::watch()
{
    while (!stop_) {
        if (!answerOne())
            ::Sleep(20);
    }
}

namespace {
struct FoundDialog {
    HWND dialog = nullptr;
};

BOOL CALLBACK findDialog(HWND window, LPARAM found)
{
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && ::IsWindowVisible(window)) {
        reinterpret_cast<FoundDialog*>(found)->dialog = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM text)
{
    char className[64] = {};
    ::GetClassNameA(child, className, sizeof className);
    const std::string content = windowText(child);
    auto& longest = *reinterpret_cast<std::string*>(text);
    if (_stricmp(className, "Static") == 0 && content.size() > longest.size())
        longest = content;
    return TRUE;
}
} // namespace

std::string messageOf(HWND dialog)
{
    std::string text;
    ::EnumChildWindows(dialog, collectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool DialogAnswerer::answerOne()
{
    FoundDialog found;
    ::EnumThreadWindows(threadId_, findDialog, reinterpret_cast<LPARAM>(&found));
    if (!found.dialog)
        return false;
    const std::string text = messageOf(found.dialog);
    HWND edit = ::FindWindowExA(found.dialog, nullptr, "Edit", nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(windowText(found.dialog) + "|" + text);
        if (edit)
            edited_ = windowText(edit);
    }
    if (edit && !typed_.empty())
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed_.c_str()));
    ::PostMessageA(found.dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
    // Wait for it to go so one dialog is not answered twice.
    for (int i = 0; i < 500 && ::IsWindow(found.dialog) && ::IsWindowVisible(found.dialog); ++i)
        ::Sleep(10);
    return true;
}

namespace {
std::vector<std::string>& shownClassList()
{
    static std::vector<std::string> list;
    return list;
}
std::vector<std::string>& shownTitleList()
{
    static std::vector<std::string> list;
    return list;
}
} // namespace

ShowRecorder::ShowRecorder()
    : hook_(::SetWindowsHookExA(WH_CALLWNDPROC, hook, nullptr, ::GetCurrentThreadId()))
{
    shownClassList().clear();
    shownTitleList().clear();
}

ShowRecorder::~ShowRecorder()
{
    ::UnhookWindowsHookEx(hook_);
}

std::vector<std::string> ShowRecorder::shownClasses() const
{
    return shownClassList();
}

std::vector<std::string> ShowRecorder::shownTitles() const
{
    return shownTitleList();
}

LRESULT CALLBACK ShowRecorder::hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool shown = (call->message == WM_SHOWWINDOW && call->wParam) ||
                       (call->message == WM_WINDOWPOSCHANGING &&
                        (reinterpret_cast<const WINDOWPOS*>(call->lParam)->flags & SWP_SHOWWINDOW));
    if (shown && !(::GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD)) {
        char className[64] = {};
        ::GetClassNameA(call->hwnd, className, sizeof className);
        shownClassList().push_back(className);
        shownTitleList().push_back(windowText(call->hwnd));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace {
struct ProcessWindow {
    DWORD processId;
    HWND window = nullptr;
};

BOOL CALLBACK findProcessWindow(HWND window, LPARAM found)
{
    auto& search = *reinterpret_cast<ProcessWindow*>(found);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (owner == search.processId && std::string(className) == MainWindow::kClassName &&
        ::IsWindowVisible(window)) {
        search.window = window;
        return FALSE;
    }
    return TRUE;
}

std::string managerProgram()
{
    const char* path = std::getenv("PACKROOK_MANAGER_EXE");
    if (!path)
        throw std::runtime_error("PACKROOK_MANAGER_EXE is not set");
    return path;
}
} // namespace

ProcessResult runPackrook(const std::string& arguments, const std::function<void(HWND)>& watch, DWORD timeoutMs)
{
    std::string commandLine = "\"" + managerProgram() + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        throw std::runtime_error("cannot start " + commandLine);
    ProcessResult result;
    const DWORD start = ::GetTickCount();
    while (::WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
        if (::GetTickCount() - start > timeoutMs) {
            ::TerminateProcess(process.hProcess, 99);
            break;
        }
        ProcessWindow search{process.dwProcessId};
        ::EnumWindows(findProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.window && !result.windowShown) {
            result.windowShown = true;
            if (watch)
                watch(search.window);
        }
    }
    result.finished = ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

} // namespace manager_testing
