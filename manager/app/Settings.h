#pragma once
// The manager's preferences live in "Packrook.ini", which the system keeps in
// the current user's registry once the section is mapped there.
#include "ZipString.h"

#include <array>
#include <utility>
#include <vector>

namespace settings {

constexpr const char* kFileName = "Packrook.ini";
constexpr const char* kPrefs = "USERPREFS";
constexpr const char* kStartSection = "Section1";
// Stands in for a recent-file slot that was never written.
constexpr const char* kRecentPlaceholder = "??\\\\??dummy";
constexpr int kRecentCount = 4;

void mapSettingsSection(const CString& section);
// Uninstalling: the user's settings go, and the mapping that sent them to
// the registry; the next start maps the file again.
void removeSettings();
CString readSettingString(const CString& section, const CString& key, const CString& fallback);
int readSettingInt(const CString& section, const CString& key, int fallback);
void writeSettingString(const CString& section, const CString& key, const CString& text);
void writeSettingInt(const CString& section, const CString& key, long value);

CString recentFileKey(int slot); // slot 0 is "LastFile1"
CString columnWidthKey(int column);

// What opening an archive does to the four recent-file slots.
struct RecentFilesUpdate {
    bool rebuildMenu = true;
    std::vector<std::pair<int, CString>> writes; // slot, new value, in writing order
};
RecentFilesUpdate planRecentFiles(const std::array<CString, kRecentCount>& slots, const CString& path);

// Applies the plan to the stored slots; returns whether the menu needs rebuilding.
bool storeRecentFile(const CString& path);

} // namespace settings
