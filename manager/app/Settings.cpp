#include "Settings.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>

namespace settings {
namespace {
constexpr const char* kMappingKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\Packrook.ini";
constexpr const char* kUserKey = "Packrook";
constexpr DWORD kLongestValue = 260;

bool createUserKey()
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kUserKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return false;
    // The system caches profile files; flushing makes it look at the mapping again.
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFileName);
    ::RegCloseKey(key);
    return true;
}
} // namespace

void mapSettingsSection(const CString& section)
{
    HKEY mapping = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMappingKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                          &mapping, nullptr) != ERROR_SUCCESS)
        return;
    const CString target = "USR:Packrook\\" + section;
    const LONG set = ::RegSetValueExA(mapping, section.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(target.c_str()),
                                      static_cast<DWORD>(target.size()));
    ::RegCloseKey(mapping);
    if (set != ERROR_SUCCESS) {
        std::fputs("Error in setting Section1 value\n", stdout);
        return;
    }
    if (!createUserKey())
        std::fputs("Error in creating App Name key\n", stdout);
}

// The user's key holds a sub-key per section, and a plain key deletion
// refuses a key with sub-keys on the NT family: the whole tree goes.
void removeSettings()
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMappingKey);
}

CString readSettingString(const CString& section, const CString& key, const CString& fallback)
{
    char value[kLongestValue] = {};
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), value,
                                                    kLongestValue, kFileName);
    return CString(value, length);
}

int readSettingInt(const CString& section, const CString& key, int fallback)
{
    return static_cast<int>(::GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, kFileName));
}

void writeSettingString(const CString& section, const CString& key, const CString& text)
{
    mapSettingsSection(section);
    ::WritePrivateProfileStringA(section.c_str(), key.c_str(), text.c_str(), kFileName);
}

void writeSettingInt(const CString& section, const CString& key, long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    writeSettingString(section, key, text);
}

CString recentFileKey(int slot)
{
    return "LastFile" + std::to_string(slot + 1);
}

CString columnWidthKey(int column)
{
    return "LeftListCol" + std::to_string(column);
}

RecentFilesUpdate planRecentFiles(const std::array<CString, kRecentCount>& slots, const CString& path)
{
    RecentFilesUpdate plan;
    if (path.empty())
        return plan;
    if (path == slots[0]) {
        plan.rebuildMenu = false;
        return plan;
    }
    for (int slot = 1; slot < kRecentCount; ++slot) {
        if (path == slots[slot]) {
            plan.writes = {{slot, slots[0]}, {0, path}};
            return plan;
        }
    }
    // Shifting from the back keeps each value until it has been copied on.
    for (int slot = kRecentCount - 1; slot > 0; --slot)
        if (!slots[slot - 1].empty())
            plan.writes.emplace_back(slot, slots[slot - 1]);
    plan.writes.emplace_back(0, path);
    return plan;
}

bool storeRecentFile(const CString& path)
{
    std::array<CString, kRecentCount> slots;
    if (!path.empty())
        for (int slot = 0; slot < kRecentCount; ++slot)
            slots[slot] = readSettingString(kPrefs, recentFileKey(slot), "");
    const RecentFilesUpdate plan = planRecentFiles(slots, path);
    for (const auto& [slot, value] : plan.writes)
        writeSettingString(kPrefs, recentFileKey(slot), value);
    return plan.rebuildMenu;
}

} // namespace settings
