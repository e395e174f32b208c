#include "AddOptionsPanel.h"

#include "AddOptions.h"
#include "Settings.h"
#include "resource.h"

#include <commdlg.h>
#include <shlwapi.h>

namespace {
constexpr const char* kMethods[] = {"Normal", "Fast", "Maximum", "None"};
} // namespace

int AddOptionsPanel::dialogTemplate() const
{
    return IDD_ADD_PANEL;
}

// The list always opens on "Normal"; "ChosenMethod" is stored but not shown.
void AddOptionsPanel::onInit()
{
    for (const char* method : kMethods)
        ::SendDlgItemMessageA(handle(), IDC_ADD_METHOD, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(method));
    ::SendDlgItemMessageA(handle(), IDC_ADD_METHOD, CB_SETCURSEL, 0, 0);
    setChecked(IDC_ADD_PASSWORD, settings::readSettingInt(settings::kPrefs, "UsePassword", 0) != 0);
    setChecked(IDC_ADD_REPLACE, true);
    setChecked(IDC_ADD_SAVE_PATH, settings::readSettingInt(settings::kPrefs, "IncludePath", 0) != 0);
    setChecked(IDC_ADD_SUBFOLDERS, settings::readSettingInt(settings::kPrefs, "RecurseFolders", 0) != 0);
}

void AddOptionsPanel::onFileOk()
{
    takeOptions();
    storeChoices();
}

void AddOptionsPanel::onCommand(int control)
{
    if (control == IDC_ADD_WILDCARDS)
        addWithWildcards();
}

void AddOptionsPanel::takeOptions()
{
    const LRESULT method = ::SendDlgItemMessageA(handle(), IDC_ADD_METHOD, CB_GETCURSEL, 0, 0);
    AddOptions& options = addOptions();
    options.compression = method == CB_ERR ? 0 : static_cast<uint32_t>(method);
    options.keepFolderNames = isChecked(IDC_ADD_SAVE_PATH);
    options.replaceExisting = isChecked(IDC_ADD_REPLACE);
    options.usePassword = isChecked(IDC_ADD_PASSWORD);
    options.addSubfolders = isChecked(IDC_ADD_SUBFOLDERS);
}

void AddOptionsPanel::storeChoices() const
{
    const AddOptions& options = addOptions();
    settings::writeSettingInt(settings::kPrefs, "IncludePath", options.keepFolderNames);
    settings::writeSettingInt(settings::kPrefs, "UsePassword", options.usePassword);
    settings::writeSettingInt(settings::kPrefs, "RecurseFolders", options.addSubfolders);
    settings::writeSettingInt(settings::kPrefs, "ChosenMethod", static_cast<long>(options.compression));
}

// The system's dialog would take a pattern in its name field as a filter,
// so the panel closes it itself; the add command sees the wildcard mode.
void AddOptionsPanel::addWithWildcards()
{
    AddOptions& options = addOptions();
    options.wildcardPattern = typedPattern();
    options.wildcardMode = true;
    takeOptions();
    ::PostMessageA(fileDialog(), WM_COMMAND, IDCANCEL, 0);
    storeChoices();
}

// What is typed in the name field, taken in the dialog's folder unless it
// is a full path of its own.
CString AddOptionsPanel::typedPattern() const
{
    char folder[MAX_PATH] = {};
    char typed[MAX_PATH] = {};
    char pattern[MAX_PATH] = {};
    ::SendMessageA(fileDialog(), CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
    ::SendMessageA(fileDialog(), CDM_GETSPEC, sizeof typed, reinterpret_cast<LPARAM>(typed));
    return ::PathCombineA(pattern, folder, typed) ? CString(pattern) : CString();
}
