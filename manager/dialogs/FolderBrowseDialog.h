#pragma once
// The folder chooser of Extract: the shell's folders in a tree, where the
// user may also create, delete and rename folders through the right mouse
// button; returns the chosen file-system folder.
#include "Dialog.h"
#include "FolderTree.h"

class FolderBrowseDialog : public Dialog {
public:
    explicit FolderBrowseDialog(HINSTANCE instance);

    // After OK: the selected folder, empty when it is no folder on a disk.
    const CString& chosenFolder() const { return chosenFolder_; }

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int dialogTemplate() const override;

private:
    INT_PTR onNotify(const NMHDR& header);
    void onCommand(int command);
    void onOk();
    void onCancel();
    bool onBeginLabelEdit(const NMTVDISPINFOA& edit) const;
    void onEndLabelEdit(const NMTVDISPINFOA& edit);
    void onRightClick(LPARAM screenPosition);
    void onFolderCommand(int command);
    void createFolderIn(HTREEITEM item);
    void deleteFolder(HTREEITEM item);
    void showRenamed();
    INT_PTR answer(INT_PTR result);

    FolderTree tree_;
    CString chosenFolder_;
    // A rename refills its parent once the label edit has ended.
    HTREEITEM renamedParent_ = nullptr;
    CString renamedText_;
};
