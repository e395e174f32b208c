#pragma once
// The manager completes the product's installation when it starts and removes
// the product when started with "-U". All installed files lie together in the
// manager's own folder, the program directory.
#include "ZipString.h"

// What installing and removing ask of the running system. The real answers
// come from Windows; tests give their own, so that removal at restart can be
// tried on a scratch folder and in the form of the other system family.
class InstallSystem {
public:
    virtual ~InstallSystem() = default;
    virtual CString managerPath() const;
    // Windows 95, 98 and Me list files to delete at restart in "Wininit.ini".
    virtual bool isWindows95Family() const;
    // Empty when the system does not tell.
    virtual CString systemFolder() const;
};

// The manager's full path up to and including its last backslash; empty
// when it has none.
CString programDirectory(const CString& managerPath);

// True on the first start after an installation: this folder holds
// Quaylink.dll, but the class is registered elsewhere or not at all.
bool shellExtensionNeedsRegistration();
void registerShellExtension();
// The uninstall entry (what the system's list of programs shows), the ".zip" document type's icon and open command, and
// ".zip" itself bound to that type; written at every start.
void writeShellAssociation();

// The size of the installed files in the manager's folder, rounded up.
unsigned long installedKibibytes(const CString& managerPath);

// Asks first; returns the manager's exit code: 0 once uninstalled, -1 when
// the user said No.
int uninstallProduct();
void clearUserRegistration();
void scheduleRemovalOnReboot(const InstallSystem& system = InstallSystem());
