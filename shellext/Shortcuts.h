#pragma once
// The product's Start-menu shortcuts: one in the Start menu itself and four
// in a "Packrook" program group. All-users folders first, the user's own when
// those cannot be located. Failures are skipped silently. Paths and texts
// are UTF-8.
#include <shlobj.h>

#include <string>

void createShortcut(IShellLinkW* link, const std::string& target, const std::string& description,
                    const std::string& shortcutPath, const std::string& arguments);
void createStartMenuShortcuts();
void removeStartMenuShortcuts();
