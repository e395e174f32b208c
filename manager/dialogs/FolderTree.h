#pragma once
// The shell's folders in a tree control: the desktop, and below it My
// Computer, the network and the documents folder. A folder is read from the
// disk when it is expanded; until then it carries one "dummy" child, which
// gives it an expand button. Each item's data is its position in a table of
// identifiers relative to its parent (the root's is -1).
#include "ShellPointers.h"
#include "ZipString.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

// The text a tree control shows for the item.
CString treeItemText(HWND tree, HTREEITEM item);

class FolderTree {
public:
    FolderTree() = default;
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // Fills the control: the root and its three folders, My Computer expanded.
    void attach(HWND tree);
    // The system's file icons in the size of the DPI.
    void showIconsFor(UINT dpi);
    HWND handle() const { return tree_; }

    // The root and the folders right below it are fixed: they cannot be
    // created, deleted or renamed from the tree.
    bool isFixed(HTREEITEM item) const;
    // Reads the item's subfolders and shows them expanded.
    void expand(HTREEITEM item);
    // Replaces the item's children with its subfolders as the disk has them now.
    void refill(HTREEITEM item);
    void onExpanding(const NMTREEVIEWA& change);
    void onDeleteItem(const NMTREEVIEWA& change);

    HTREEITEM findChild(HTREEITEM parent, const CString& text) const;
    CString textOf(HTREEITEM item) const;
    // The file-system folder of the item; empty for the desktop root, My
    // Computer, the network and anything else that is no folder on a disk.
    CString pathOf(HTREEITEM item) const;

private:
    void insertRoot();
    HTREEITEM insertSpecialFolder(int folderId);
    HTREEITEM insertItem(HTREEITEM parent, IdList relative);
    void insertPlaceholder(HTREEITEM parent);
    void listSubfolders(HTREEITEM item, IShellFolder& folder);
    void deleteChildren(HTREEITEM item);
    LPARAM dataOf(HTREEITEM item) const;
    std::vector<const ITEMIDLIST*> chainOf(HTREEITEM item) const;
    IdList fullIdOf(HTREEITEM item) const;
    ComPointer<IShellFolder> folderOf(HTREEITEM item) const;

    HWND tree_ = nullptr;
    ComPointer<IShellFolder> desktop_;
    std::vector<IdList> ids_;
};
