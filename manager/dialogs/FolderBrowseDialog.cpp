#include "FolderBrowseDialog.h"

#include "Settings.h"
#include "resource.h"

#include <windowsx.h>

#include <cstdio>

namespace {
constexpr const char* kCaption = "Packrook";
constexpr const char* kNewFolder = "New Folder";
constexpr int kLastNewFolderNumber = 20;
// Posted, so that the tree has finished with the click or the edit first.
constexpr UINT kRightClickMessage = WM_APP + 1;
constexpr UINT kRenamedMessage = WM_APP + 2;

CString inFolder(const CString& folder, const CString& name)
{
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

CString numberedNewFolder(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "New Folder (%d)", number);
    return name;
}

// "New Folder", or the first free "New Folder (n)"; when all are taken the
// last one is used all the same. False for any failure but an existing name.
bool createNewFolder(const CString& parent, CString& name)
{
    if (parent.empty())
        return false;
    name = kNewFolder;
    for (int number = 2; !::CreateDirectoryA(inFolder(parent, name).c_str(), nullptr); ++number) {
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (number > kLastNewFolderNumber)
            return true;
        name = numberedNewFolder(number);
    }
    return true;
}

CString renamedPath(const CString& path, const CString& text)
{
    return path.substr(0, path.rfind('\\')) + "\\" + text;
}
} // namespace

FolderBrowseDialog::FolderBrowseDialog(HINSTANCE instance) : Dialog(instance)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
}

int FolderBrowseDialog::dialogTemplate() const
{
    return IDD_FOLDER_BROWSE;
}

INT_PTR FolderBrowseDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        tree_.attach(::GetDlgItem(handle(), IDC_FOLDER_TREE));
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return TRUE;
    case WM_DPICHANGED:
        tree_.showIconsFor(LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case kRightClickMessage:
        onRightClick(lParam);
        return TRUE;
    case kRenamedMessage:
        showRenamed();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR FolderBrowseDialog::onNotify(const NMHDR& header)
{
    if (header.idFrom != IDC_FOLDER_TREE)
        return FALSE;
    switch (header.code) {
    case TVN_ITEMEXPANDINGA:
        tree_.onExpanding(reinterpret_cast<const NMTREEVIEWA&>(header));
        return answer(FALSE);
    case TVN_DELETEITEMA:
        tree_.onDeleteItem(reinterpret_cast<const NMTREEVIEWA&>(header));
        return TRUE;
    case TVN_BEGINLABELEDITA:
        return answer(onBeginLabelEdit(reinterpret_cast<const NMTVDISPINFOA&>(header)) ? FALSE : TRUE);
    case TVN_ENDLABELEDITA:
        onEndLabelEdit(reinterpret_cast<const NMTVDISPINFOA&>(header));
        return answer(FALSE);
    case NM_RCLICK:
        ::PostMessageA(handle(), kRightClickMessage, 0, static_cast<LPARAM>(::GetMessagePos()));
        return answer(TRUE);
    default:
        return FALSE;
    }
}

// A dialog procedure hands a notification's result back through the window.
INT_PTR FolderBrowseDialog::answer(INT_PTR result)
{
    ::SetWindowLongPtrA(handle(), DWLP_MSGRESULT, result);
    return TRUE;
}

void FolderBrowseDialog::onCommand(int command)
{
    if (command == IDOK)
        onOk();
    else if (command == IDCANCEL)
        onCancel();
    else if (command == ID_FOLDER_CREATE || command == ID_FOLDER_DELETE)
        onFolderCommand(command);
}

// Enter while a label is edited ends the edit, not the dialog.
void FolderBrowseDialog::onOk()
{
    if (TreeView_GetEditControl(tree_.handle())) {
        TreeView_EndEditLabelNow(tree_.handle(), FALSE);
        return;
    }
    const CString path = tree_.pathOf(TreeView_GetSelection(tree_.handle()));
    if (!path.empty())
        settings::writeSettingString(settings::kPrefs, "LastPathBrowse", path);
    chosenFolder_ = path;
    ::EndDialog(handle(), IDOK);
}

void FolderBrowseDialog::onCancel()
{
    if (TreeView_GetEditControl(tree_.handle())) {
        TreeView_EndEditLabelNow(tree_.handle(), TRUE);
        return;
    }
    ::EndDialog(handle(), IDCANCEL);
}

bool FolderBrowseDialog::onBeginLabelEdit(const NMTVDISPINFOA& edit) const
{
    return !tree_.isFixed(edit.item.hItem);
}

// A failed rename keeps the old name, without a message.
void FolderBrowseDialog::onEndLabelEdit(const NMTVDISPINFOA& edit)
{
    if (!edit.item.pszText)
        return;
    const CString path = tree_.pathOf(edit.item.hItem);
    const CString text = edit.item.pszText;
    const bool renamed = !path.empty() && ::MoveFileA(path.c_str(), renamedPath(path, text).c_str());
    renamedParent_ = TreeView_GetParent(tree_.handle(), edit.item.hItem);
    renamedText_ = renamed ? text : tree_.textOf(edit.item.hItem);
    ::PostMessageA(handle(), kRenamedMessage, 0, 0);
}

void FolderBrowseDialog::showRenamed()
{
    tree_.expand(renamedParent_);
    const HTREEITEM renamed = tree_.findChild(renamedParent_, renamedText_);
    if (renamed)
        TreeView_SelectItem(tree_.handle(), renamed);
}

void FolderBrowseDialog::onRightClick(LPARAM screenPosition)
{
    TVHITTESTINFO hit = {};
    hit.pt = {GET_X_LPARAM(screenPosition), GET_Y_LPARAM(screenPosition)};
    ::ScreenToClient(tree_.handle(), &hit.pt);
    const HTREEITEM item = TreeView_HitTest(tree_.handle(), &hit);
    if (!item)
        return;
    TreeView_SelectItem(tree_.handle(), item);
    if (tree_.isFixed(item))
        return;
    tree_.expand(item);
    HMENU menus = ::LoadMenuA(instance(), MAKEINTRESOURCEA(IDR_CONTEXTMENU));
    ::TrackPopupMenu(::GetSubMenu(menus, 1), TPM_LEFTALIGN | TPM_RIGHTBUTTON, GET_X_LPARAM(screenPosition),
                     GET_Y_LPARAM(screenPosition), 0, handle(), nullptr);
    ::DestroyMenu(menus);
}

// The menu's commands act on the selected folder, which the right click chose.
void FolderBrowseDialog::onFolderCommand(int command)
{
    const HTREEITEM item = TreeView_GetSelection(tree_.handle());
    if (!item || tree_.isFixed(item))
        return;
    if (command == ID_FOLDER_CREATE)
        createFolderIn(item);
    else
        deleteFolder(item);
}

void FolderBrowseDialog::createFolderIn(HTREEITEM item)
{
    CString name;
    if (!createNewFolder(tree_.pathOf(item), name)) {
        ::MessageBoxA(handle(), "The folder cold not be created.\r\n\r\nIs the parent folder read only", kCaption,
                      MB_OK);
        return;
    }
    // Opened, not just refilled: selecting a child of a closed folder opens it,
    // and the reading that comes with that would delete the child being selected.
    tree_.expand(item);
    const HTREEITEM created = tree_.findChild(item, name);
    if (!created)
        return;
    TreeView_SelectItem(tree_.handle(), created);
    TreeView_EditLabel(tree_.handle(), created);
}

// Only an empty folder can go.
void FolderBrowseDialog::deleteFolder(HTREEITEM item)
{
    const CString path = tree_.pathOf(item);
    if (path.empty() || !::RemoveDirectoryA(path.c_str())) {
        ::MessageBoxA(handle(), "The folder cold not be deleted.\r\n\r\nIt may not be empty", kCaption, MB_OK);
        return;
    }
    tree_.refill(TreeView_GetParent(tree_.handle(), item));
}
