// Removal at restart in the Windows 95 family's form, on an installation in
// a folder of its own whose names are their own short forms.
#include "Installation.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
const char* const kFiles[] = {"Packrook.exe", "Quaylink.dll", "Sledstub.dll", "Readme.txt",
                              "main.htm",     "Add.htm",      "Exe.htm"};

class Windows95Installation : public InstallSystem {
public:
    explicit Windows95Installation(std::string folder) : folder_(std::move(folder))
    {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ + "SYSTEM");
        for (const char* name : kFiles)
            testing_support::writeBytes(folder_ + name, name);
    }
    CString managerPath() const override { return folder_ + "Packrook.exe"; }
    bool isWindows95Family() const override { return true; }
    CString systemFolder() const override { return folder_ + "SYSTEM"; }

    std::string wininit() const { return testing_support::readBytes(folder_ + "Wininit.ini"); }
    void writeWininit(const std::string& text) const { testing_support::writeBytes(folder_ + "Wininit.ini", text); }
    // main.htm first of the help pages, the folder without its backslash.
    // The short forms spell the names as they lie on disk.
    std::string entries() const
    {
        std::string lines;
        for (const char* name : kFiles)
            lines += "NUL=" + folder_ + name + "\r\n";
        return lines + "NUL=" + folder_.substr(0, folder_.size() - 1) + "\r\n";
    }

private:
    std::string folder_;
};
} // namespace

TEST(RestartRemoval, Windows95FamilyStartsWininitWithTheSection)
{
    const Windows95Installation installation("C:\\W95NEW\\");
    scheduleRemovalOnReboot(installation);
    EXPECT_EQ(installation.wininit(), "[rename]\r\n" + installation.entries());
}

// The old list's last line lacks its line break: the new lines start their own.
TEST(RestartRemoval, Windows95FamilyAppendsToAnExistingSection)
{
    const Windows95Installation installation("C:\\W95OLD\\");
    const std::string earlier = "[rename]\r\nNUL=C:\\OLDAPP\\OLD.EXE";
    installation.writeWininit(earlier);
    scheduleRemovalOnReboot(installation);
    EXPECT_EQ(installation.wininit(), earlier + "\r\n" + installation.entries());
}
