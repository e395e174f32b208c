#pragma once
// "Zip File Comment": the archive comment in a multi-line edit. OK hands
// back the non-empty lines, each ending in a line break; for a read-only
// archive the edit only shows the comment and only OK is offered.
#include "Dialog.h"

class CommentDialog : public OkCancelDialog {
public:
    CommentDialog(HINSTANCE instance, const CString& comment, bool readOnly)
        : OkCancelDialog(instance), comment_(comment), readOnly_(readOnly)
    {
    }

    // After OK on a writable archive: the comment to store.
    const CString& comment() const { return comment_; }

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onOk() override;

private:
    CString editLine(HWND edit, int line) const;

    CString comment_;
    bool readOnly_;
};
