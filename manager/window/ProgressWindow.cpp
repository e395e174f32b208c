#include "ProgressWindow.h"

#include "resource.h"

#include <exception>
#include <thread>

namespace {
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelay = 1000;
// Sent by work beside the window; lParam points to a CallFromBeside.
constexpr UINT kRunCall = WM_APP + 1;

struct CallFromBeside {
    const std::function<void()>& call;
    std::exception_ptr failure;
};

// Nothing may be thrown through the system's message dispatch.
void runCall(CallFromBeside& sent)
{
    try {
        sent.call();
    } catch (...) {
        sent.failure = std::current_exception();
    }
}
} // namespace

OperationFlags& operationFlags()
{
    static OperationFlags flags;
    return flags;
}

ProgressWindow::ProgressWindow(HINSTANCE instance, HWND owner) : Dialog(instance)
{
    setProgramIconControl(IDC_PROGRESS_ICON);
    create(owner);
}

ProgressWindow::~ProgressWindow()
{
    if (handle())
        ::DestroyWindow(handle());
}

int ProgressWindow::dialogTemplate() const
{
    return IDD_PROGRESS;
}

INT_PTR ProgressWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kRunCall:
        runCall(*reinterpret_cast<CallFromBeside*>(lParam));
        return TRUE;
    case WM_INITDIALOG:
        onInit();
        return TRUE;
    case WM_TIMER:
        onTimer();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            onCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

void ProgressWindow::onInit()
{
    operationFlags().cancelled = false;
    ::SetDlgItemTextA(handle(), IDC_PROGRESS_TEXT, "Compressing");
    startTimer();
}

void ProgressWindow::startTimer()
{
    ::SetTimer(handle(), kShowTimer, kShowDelay, nullptr);
}

void ProgressWindow::onTimer()
{
    if (operationFlags().promptActive) {
        ::ShowWindow(handle(), SW_HIDE);
        return;
    }
    ::ShowWindow(handle(), SW_SHOW);
    ::KillTimer(handle(), kShowTimer);
}

// The window stays in existence, hidden, until the operation closes it.
void ProgressWindow::onCancel()
{
    operationFlags().cancelled = true;
    ::ShowWindow(handle(), SW_HIDE);
}

void ProgressWindow::hideForPrompt()
{
    operationFlags().promptActive = true;
    ::ShowWindow(handle(), SW_HIDE);
    startTimer();
}

void ProgressWindow::setProgressText(const CString& text)
{
    if (operationFlags().promptActive) {
        ::ShowWindow(handle(), SW_HIDE);
        return;
    }
    ::SetDlgItemTextA(handle(), IDC_PROGRESS_TEXT, text.c_str());
    pumpMessages();
}

void ProgressWindow::pumpMessages()
{
    MSG message;
    while (handle() && ::PeekMessageA(&message, handle(), 0, 0, PM_REMOVE)) {
        if (!::IsDialogMessageA(handle(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

void ProgressWindow::disableCancel()
{
    ::EnableWindow(::GetDlgItem(handle(), IDCANCEL), FALSE);
}

void ProgressWindow::runBeside(const std::function<void()>& work)
{
    HANDLE finished = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!finished) {
        work();
        return;
    }
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        ::SetEvent(finished);
    });
    while (::MsgWaitForMultipleObjects(1, &finished, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        answerWhileWorking();
    worker.join();
    ::CloseHandle(finished);
    if (failure)
        std::rethrow_exception(failure);
}

void ProgressWindow::answerWhileWorking()
{
    pumpMessages();
    MSG message;
    while (::PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        ::DispatchMessageA(&message);
}

void ProgressWindow::runOnWindowThread(const std::function<void()>& call)
{
    if (!handle() || ::GetWindowThreadProcessId(handle(), nullptr) == ::GetCurrentThreadId()) {
        call();
        return;
    }
    CallFromBeside sent{call, nullptr};
    ::SendMessageA(handle(), kRunCall, 0, reinterpret_cast<LPARAM>(&sent));
    if (sent.failure)
        std::rethrow_exception(sent.failure);
}
