#include "FolderTree.h"

#include "Dpi.h"
#include "os/Os.h"

#include <shellapi.h>

namespace {
constexpr LPARAM kRootData = -1;
constexpr LPARAM kPlaceholderData = -2;
constexpr const char* kPlaceholderText = "dummy";

struct ShellLook {
    CString name;
    int icon = 0;
};

ShellLook lookOf(const ITEMIDLIST* fullId)
{
    SHFILEINFOA info = {};
    ::SHGetFileInfoA(reinterpret_cast<const char*>(fullId), 0, &info, sizeof info,
                     SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return {info.szDisplayName, info.iIcon};
}

HTREEITEM insertChild(HWND tree, HTREEITEM parent, const CString& text, int icon, LPARAM data)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = icon;
    insert.item.iSelectedImage = icon;
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The first list may be missing: the desktop's own identifier is empty.
IdList combined(const ITEMIDLIST* first, const ITEMIDLIST* second)
{
    return IdList(first ? ::ILCombine(first, second) : ::ILClone(second));
}

// Shell folders that are really files (a zip file shown as a folder) stay out.
bool isPlainFolder(IShellFolder& folder, const ITEMIDLIST* child)
{
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_STREAM;
    LPCITEMIDLIST children[] = {child};
    if (FAILED(folder.GetAttributesOf(1, children, &attributes)))
        return false;
    return (attributes & SFGAO_FOLDER) && !(attributes & SFGAO_STREAM);
}
} // namespace

void FolderTree::attach(HWND tree)
{
    tree_ = tree;
    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)))
        return;
    desktop_.reset(desktop);
    showIconsFor(dpi::ofWindow(tree_));
    insertRoot();
    const HTREEITEM computer = insertSpecialFolder(CSIDL_DRIVES);
    insertSpecialFolder(CSIDL_NETWORK);
    insertSpecialFolder(CSIDL_PERSONAL);
    TreeView_Expand(tree_, TreeView_GetRoot(tree_), TVE_EXPAND);
    if (!computer)
        return;
    TreeView_Select(tree_, computer, TVGN_FIRSTVISIBLE);
    expand(computer);
}

void FolderTree::insertRoot()
{
    ITEMIDLIST* desktopId = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopId)))
        return;
    const IdList owned(desktopId);
    const ShellLook look = lookOf(desktopId);
    insertChild(tree_, TVI_ROOT, look.name, look.icon, kRootData);
}

HTREEITEM FolderTree::insertSpecialFolder(int folderId)
{
    ITEMIDLIST* id = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, folderId, &id)))
        return nullptr;
    return insertItem(TreeView_GetRoot(tree_), IdList(id));
}

// Every folder shows an expand button until it has been read.
HTREEITEM FolderTree::insertItem(HTREEITEM parent, IdList relative)
{
    const auto data = static_cast<LPARAM>(ids_.size());
    ids_.push_back(std::move(relative));
    const IdList fullId = combined(fullIdOf(parent).get(), ids_.back().get());
    const ShellLook look = lookOf(fullId.get());
    const HTREEITEM item = insertChild(tree_, parent, look.name, look.icon, data);
    insertPlaceholder(item);
    return item;
}

void FolderTree::insertPlaceholder(HTREEITEM parent)
{
    insertChild(tree_, parent, kPlaceholderText, 0, kPlaceholderData);
}

void FolderTree::showIconsFor(UINT dpi)
{
    TreeView_SetImageList(tree_, dpi::systemSmallIcons(dpi), TVSIL_NORMAL);
}

bool FolderTree::isFixed(HTREEITEM item) const
{
    const HTREEITEM root = TreeView_GetRoot(tree_);
    return item == root || TreeView_GetParent(tree_, item) == root;
}

// Without a notification: the item is read here, once.
void FolderTree::expand(HTREEITEM item)
{
    TreeView_SetItemState(tree_, item, TVIS_EXPANDEDONCE, TVIS_EXPANDEDONCE);
    refill(item);
    TreeView_Expand(tree_, item, TVE_EXPAND);
}

// The root keeps the three folders it started with.
void FolderTree::onExpanding(const NMTREEVIEWA& change)
{
    if ((change.action & TVE_EXPAND) && dataOf(change.itemNew.hItem) >= 0)
        refill(change.itemNew.hItem);
}

void FolderTree::onDeleteItem(const NMTREEVIEWA& change)
{
    const LPARAM data = change.itemOld.lParam;
    if (data >= 0 && static_cast<size_t>(data) < ids_.size())
        ids_[static_cast<size_t>(data)].reset();
}

void FolderTree::refill(HTREEITEM item)
{
    deleteChildren(item);
    const ComPointer<IShellFolder> folder = folderOf(item);
    if (!folder)
        return;
    listSubfolders(item, *folder);
    TreeView_SortChildren(tree_, item, FALSE);
}

void FolderTree::deleteChildren(HTREEITEM item)
{
    for (HTREEITEM child = TreeView_GetChild(tree_, item); child; child = TreeView_GetChild(tree_, item))
        TreeView_DeleteItem(tree_, child);
}

void FolderTree::listSubfolders(HTREEITEM item, IShellFolder& folder)
{
    IEnumIDList* listing = nullptr;
    if (folder.EnumObjects(::GetParent(tree_), SHCONTF_FOLDERS, &listing) != S_OK || !listing)
        return;
    const ComPointer<IEnumIDList> owned(listing);
    ITEMIDLIST* child = nullptr;
    while (listing->Next(1, &child, nullptr) == S_OK) {
        IdList relative(child);
        if (isPlainFolder(folder, child))
            insertItem(item, std::move(relative));
    }
}

LPARAM FolderTree::dataOf(HTREEITEM item) const
{
    TVITEMA query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!item || !::SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
        return kPlaceholderData;
    return query.lParam;
}

// The relative identifiers from the root's child down to the item.
std::vector<const ITEMIDLIST*> FolderTree::chainOf(HTREEITEM item) const
{
    std::vector<const ITEMIDLIST*> chain;
    for (; item; item = TreeView_GetParent(tree_, item)) {
        const LPARAM data = dataOf(item);
        if (data == kRootData)
            break;
        if (data < 0 || !ids_[static_cast<size_t>(data)])
            return {};
        chain.insert(chain.begin(), ids_[static_cast<size_t>(data)].get());
    }
    return chain;
}

// Empty (null) for the root.
IdList FolderTree::fullIdOf(HTREEITEM item) const
{
    IdList full;
    for (const ITEMIDLIST* relative : chainOf(item))
        full = combined(full.get(), relative);
    return full;
}

ComPointer<IShellFolder> FolderTree::folderOf(HTREEITEM item) const
{
    if (!desktop_)
        return nullptr;
    desktop_->AddRef();
    ComPointer<IShellFolder> folder(desktop_.get());
    for (const ITEMIDLIST* relative : chainOf(item)) {
        IShellFolder* next = nullptr;
        if (FAILED(folder->BindToObject(relative, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&next))))
            return nullptr;
        folder.reset(next);
    }
    return folder;
}

HTREEITEM FolderTree::findChild(HTREEITEM parent, const CString& text) const
{
    for (HTREEITEM child = TreeView_GetChild(tree_, parent); child; child = TreeView_GetNextSibling(tree_, child))
        if (::lstrcmpiA(textOf(child).c_str(), text.c_str()) == 0)
            return child;
    return nullptr;
}

CString treeItemText(HWND tree, HTREEITEM item)
{
    // A folder's name of up to 255 characters, each up to 4 bytes in UTF-8.
    char text[4 * MAX_PATH] = {};
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

CString FolderTree::textOf(HTREEITEM item) const
{
    return treeItemText(tree_, item);
}

CString FolderTree::pathOf(HTREEITEM item) const
{
    if (dataOf(item) < 0)
        return CString();
    const IdList fullId = fullIdOf(item);
    std::wstring path(32768, L'\0');
    if (!fullId || !::SHGetPathFromIDListEx(fullId.get(), &path[0], static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
        return CString();
    path.resize(path.find(L'\0'));
    CString narrow;
    return os::fromWide(path, narrow) ? narrow : CString();
}
