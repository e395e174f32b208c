// How long the manager's entry list takes to show a big archive and to sort
// it, measured on the real window:
//
//   manager_view_bench ARCHIVE
//
// Prints the entries the engine lists, the rows shown, and seconds for
// opening with the first painting, for showing the rows again, and for
// sorting by name, by size and by path, for selecting every other row, sorting
// with that selection and deleting it; then what the engine's part of it is.
#include "MainWindow.h"
#include "resource.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>

namespace {
double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void drainMessages()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// A column click as the list reports it, followed by the repaint the user waits for.
double timeSort(MainWindow& window, int column)
{
    const auto start = std::chrono::steady_clock::now();
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = ::GetDlgItem(window.handle(), IDC_ENTRYLIST);
    click.hdr.idFrom = IDC_ENTRYLIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    ::SendMessageA(window.handle(), WM_NOTIFY, IDC_ENTRYLIST, reinterpret_cast<LPARAM>(&click));
    ::UpdateWindow(window.handle());
    drainMessages();
    return secondsSince(start);
}

// Every other row selected, as a user does with the mouse over a long list.
double selectHalf(HWND list)
{
    const auto start = std::chrono::steady_clock::now();
    for (int row = 0; row < ListView_GetItemCount(list); row += 2)
        ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    drainMessages();
    return secondsSince(start);
}

double timeCommand(MainWindow& window, int command)
{
    const auto start = std::chrono::steady_clock::now();
    ::SendMessageA(window.handle(), WM_COMMAND, static_cast<WPARAM>(command), 0);
    ::UpdateWindow(window.handle());
    drainMessages();
    return secondsSince(start);
}

// What the engine alone costs: reading the directory, then the values a row shows.
void timeEngine(ICallBack& callback, const char* path)
{
    auto start = std::chrono::steady_clock::now();
    CZipFile archive(&callback);
    archive.openZipFile(path);
    std::printf("engine reads the directory:   %.2f s\n", secondsSince(start));
    start = std::chrono::steady_clock::now();
    size_t characters = 0;
    for (int index = 0; index < archive.getFileCount(); ++index)
        characters += archive.getFileName(index).size() + archive.getPath(index).size() +
                      archive.getAttributes(index).size();
    std::printf("engine names, paths, attributes: %.2f s (%zu characters)\n", secondsSince(start), characters);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: manager_view_bench ARCHIVE\n");
        return 2;
    }
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    MainWindow::registerClass(instance);
    MainWindow window(instance);
    if (!window.create(true))
        return 1;
    ::UpdateWindow(window.handle());
    drainMessages();

    auto start = std::chrono::steady_clock::now();
    window.setArchivePath(argv[1]);
    window.openPendingArchive();
    ::UpdateWindow(window.handle());
    drainMessages();
    const double opened = secondsSince(start);

    start = std::chrono::steady_clock::now();
    window.refreshView();
    ::UpdateWindow(window.handle());
    drainMessages();
    const double refreshed = secondsSince(start);

    HWND list = ::GetDlgItem(window.handle(), IDC_ENTRYLIST);
    std::printf("entries listed by the engine: %ld\n", window.archive().getFileCount());
    std::printf("rows shown:                   %d\n", ListView_GetItemCount(list));
    std::printf("open and show:                %.2f s\n", opened);
    std::printf("refreshView again:            %.2f s\n", refreshed);
    std::printf("sort by name:                 %.2f s\n", timeSort(window, 0));
    std::printf("sort by compressed size:      %.2f s\n", timeSort(window, 1));
    std::printf("sort by path:                 %.2f s\n", timeSort(window, 6));
    std::printf("select every other row:       %.2f s\n", selectHalf(list));
    std::printf("sort with half selected:      %.2f s\n", timeSort(window, 0));
    std::printf("delete the selected half:     %.2f s\n", timeCommand(window, ID_ACTIONS_DELETE));
    std::printf("rows left:                    %d\n", ListView_GetItemCount(list));
    window.archive().close();
    timeEngine(window, argv[1]);
    ::DestroyWindow(window.handle());
    drainMessages();
    return 0;
}
