#include "CommentDialog.h"

#include "resource.h"

#include <algorithm>
#include <vector>

namespace {
// The edit breaks lines only at "\r\n"; comments written elsewhere often
// end their lines with "\n" alone.
CString withEditLineBreaks(const CString& text)
{
    CString shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            shown += '\r';
        shown += text[i];
    }
    return shown;
}
} // namespace

int CommentDialog::dialogTemplate() const
{
    return IDD_COMMENT;
}

void CommentDialog::onInit()
{
    HWND edit = ::GetDlgItem(handle(), IDC_COMMENT_EDIT);
    // No limit of the edit's own cuts a comment short; one too long for an
    // archive is refused when it is stored.
    ::SendMessageA(edit, EM_LIMITTEXT, 0, 0);
    ::SetWindowTextA(edit, withEditLineBreaks(comment_).c_str());
    // The dialog selects the whole text when the edit gets the focus; a key
    // pressed then would replace the comment.
    ::PostMessageA(edit, EM_SETSEL, 0, 0);
    if (!readOnly_)
        return;
    // Read-only rather than disabled: a disabled edit cannot be scrolled.
    ::SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
    ::ShowWindow(::GetDlgItem(handle(), IDCANCEL), SW_HIDE);
}

void CommentDialog::onOk()
{
    if (readOnly_)
        return;
    HWND edit = ::GetDlgItem(handle(), IDC_COMMENT_EDIT);
    const int lines = static_cast<int>(::SendMessageA(edit, EM_GETLINECOUNT, 0, 0));
    comment_.clear();
    for (int line = 0; line < lines; ++line) {
        const CString text = editLine(edit, line);
        if (!text.empty())
            comment_ += text + "\r\n";
    }
}

// Whole lines, however long: the length is asked first.
CString CommentDialog::editLine(HWND edit, int line) const
{
    const LRESULT start = ::SendMessageA(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    const auto length = static_cast<size_t>(::SendMessageA(edit, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    // The first word of the buffer tells the edit how much room there is.
    std::vector<char> buffer(std::max<size_t>(length + 1, sizeof(WORD)));
    *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(std::min<size_t>(buffer.size(), 0xFFFF));
    const auto copied =
        static_cast<size_t>(::SendMessageA(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data())));
    return CString(buffer.data(), std::min(copied, length));
}
