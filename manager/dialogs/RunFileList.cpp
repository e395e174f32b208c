#include "RunFileList.h"

#include "resource.h"

#include <algorithm>

namespace {
void fillRunFileList(HWND comboBox, const CZipFile& archive)
{
    ::SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("None"));
    const long count = archive.getFileCount();
    for (long index = 0; index < count; ++index) {
        const CString name = archive.getFileName(static_cast<int>(index));
        ::SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}
} // namespace

void prepareExeFields(HWND dialog, const CZipFile& archive)
{
    ::SendDlgItemMessageA(dialog, IDC_INSTALL_DIR, EM_LIMITTEXT, kLongestInstallDir, 0);
    fillRunFileList(::GetDlgItem(dialog, IDC_RUN_FILE), archive);
}

long chosenRunLine(HWND dialog)
{
    const LRESULT line = ::SendDlgItemMessageA(dialog, IDC_RUN_FILE, CB_GETCURSEL, 0, 0);
    return line == CB_ERR ? 0 : static_cast<long>(line);
}

CString runFileOf(const CZipFile& archive, long choice)
{
    if (choice < 1 || choice > archive.getFileCount())
        return CString();
    const int index = static_cast<int>(choice - 1);
    CString runFile = archive.getPath(index);
    if (runFile.empty() || runFile.back() != '\\')
        runFile += '\\';
    return runFile + archive.getFileName(index);
}

CString runFileName(const CString& runFile)
{
    CString name = runFile;
    std::replace(name.begin(), name.end(), '/', '\\');
    const size_t slash = name.rfind('\\');
    return slash == CString::npos ? name : name.substr(slash + 1);
}
