// Removal at restart in the Windows 95 family's form, for an installation in
// a folder whose path is its own short form.
#include "Installation.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
const std::string kFolder = "C:\\W95TEST\\";
const char* const kFiles[] = {"Packrook.exe", "Quaylink.dll", "Sledstub.dll", "Readme.txt",
                              "main.htm",     "Add.htm",      "Exe.htm"};

class Windows95System : public InstallSystem {
public:
    CString managerPath() const override { return kFolder + "Packrook.exe"; }
    bool isWindows95Family() const override { return true; }
    CString systemFolder() const override { return kFolder + "SYSTEM"; }
};
} // namespace

// A second uninstallation finds the section, after a line of another
// program's that lacks its line break.
TEST(RestartRemoval, Windows95FamilyListsTheFilesInWininit)
{
    std::filesystem::remove_all(kFolder);
    std::filesystem::create_directories(kFolder);
    // main.htm first of the help pages (the short forms spell the names as
    // they lie on disk), the folder last without its backslash.
    std::string entries;
    for (const char* name : kFiles) {
        testing_support::writeBytes(kFolder + name, name);
        entries += "NUL=" + kFolder + name + "\r\n";
    }
    entries += "NUL=C:\\W95TEST\r\n";
    const std::string wininit = kFolder + "Wininit.ini";

    scheduleRemovalOnReboot(Windows95System());
    EXPECT_EQ(testing_support::readBytes(wininit), "[rename]\r\n" + entries);

    const std::string earlier = "[rename]\r\n" + entries + "NUL=C:\\OTHER.EXE";
    testing_support::writeBytes(wininit, earlier);
    scheduleRemovalOnReboot(Windows95System());
    EXPECT_EQ(testing_support::readBytes(wininit), earlier + "\r\n" + entries);
}
