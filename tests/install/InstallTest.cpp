// The product as a user gets it: the setup program installs it, the
// manager's starts complete the installation, "-U" removes it.
#include "DialogDriver.h"
#include "ShellextTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace shellext_testing;
using namespace stub_testing;

namespace {
const std::string kFolder = "C:\\Program Files\\Packrook\\";
const std::string kManager = kFolder + "Packrook.exe";
// In a command line the program's path is quoted: it holds a blank.
const std::string kQuotedManager = "\"" + kManager + "\"";
const std::string kSettingsMapping = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\Packrook.ini";
const std::string kUninstallKey = kUninstallParent + "\\Packrook";
constexpr const char* kInstalledNames[] = {"Packrook.exe", "Quaylink.dll", "Sledstub.dll", "Readme.txt",
                                           "main.htm",     "Add.htm",      "Exe.htm"};

std::string versionText(const std::string& program, const std::string& name)
{
    std::vector<char> info(::GetFileVersionInfoSizeA(program.c_str(), nullptr) + 1);
    char* text = nullptr;
    UINT length = 0;
    ::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data());
    return ::VerQueryValueA(info.data(), ("\\StringFileInfo\\040904b0\\" + name).c_str(),
                            reinterpret_cast<void**>(&text), &length) ? text : "none";
}

// A value of another type, or none, reads as ~0.
DWORD entryNumber(const char* name)
{
    DWORD number = 0;
    DWORD size = sizeof number;
    return ::RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), name, RRF_RT_REG_DWORD, nullptr, &number, &size)
                   == ERROR_SUCCESS ? number : ~0u;
}

void expectUninstallEntry()
{
    expectValues({{HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", kQuotedManager + " -U"},
                  {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", versionText(kManager, "ProductVersion")},
                  {HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", versionText(kManager, "CompanyName")},
                  {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon", kManager + ",0"}});
    std::uintmax_t bytes = 0;
    for (const char* name : kInstalledNames)
        bytes += std::filesystem::file_size(kFolder + name);
    EXPECT_EQ(entryNumber("EstimatedSize"), (bytes + 1023) / 1024);
    EXPECT_EQ(entryNumber("NoModify"), 1u);
    EXPECT_EQ(entryNumber("NoRepair"), 1u);
}

void expectInstalled()
{
    std::vector<RegistryValue> values = registeredValues(kFolder + "Quaylink.dll");
    values.insert(values.end(), {
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\DefaultIcon", nullptr, kManager},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\Shell\\Open\\Command", nullptr, kQuotedManager + " \"%1\""},
        {HKEY_CLASSES_ROOT, ".zip", nullptr, "Quaylink.ContextHandler"},
    });
    expectValues(values);
    expectUninstallEntry();
    EXPECT_TRUE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_TRUE(std::filesystem::exists(shortcut)) << shortcut;
    // Closing the window stored its placement, through the mapping into the user's key.
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, kSettingsMapping));
    std::string width;
    EXPECT_TRUE(readString(HKEY_CURRENT_USER, "Packrook\\USERPREFS", "MainWndW", width));
}

// Source and empty target of each deletion waiting for the restart.
std::string pendingDeletions()
{
    std::string list(16384, '\0');
    DWORD size = static_cast<DWORD>(list.size());
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, list.data(), &size)
        != ERROR_SUCCESS)
        return std::string();
    return list.substr(0, list.find(std::string(3, '\0')) + 2);
}

StubRun startManager(const std::string& arguments, bool confirm = true)
{
    Answers answers;
    answers.confirm = confirm;
    return runAndAnswer(kManager, testing_support::scratchFolder(), answers, arguments);
}

// The setup program starts the manager and ends. The manager's window is
// closed at once: the close is handled only after the start-up's steps.
void installAndCloseTheManager()
{
    const StubRun setup = runAndAnswer(windowsPath(std::getenv("PACKROOK_SETUP_EXE")),
                                       testing_support::scratchFolder(), Answers());
    ASSERT_EQ(setup.windows.size(), 1u);
    EXPECT_EQ(setup.windows[0].text, "The files will now install to C:\\Program Files\\Packrook\r\n\r\n"
                                     "Are you sure you want to continue");
    HWND window = nullptr;
    for (int wait = 0; wait < 1200 && !window; ++wait, ::Sleep(50))
        window = ::FindWindowA("MainWClass", nullptr);
    ASSERT_TRUE(window) << "the manager did not start";
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    waitForManagers();
    waitForPrograms("regsvr32.exe");
    // What the setup packed: stripped copies of the build's programs.
    const std::string shipped = windowsPath(std::getenv("PACKROOK_SHIPPED_DIR")) + "\\";
    for (const char* name : kInstalledNames)
        EXPECT_EQ(testing_support::readBytes(kFolder + name), testing_support::readBytes(shipped + name));
}
} // namespace

TEST(Installation, SetupInstallsStartsCompleteItAndUninstallRemovesIt)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        GTEST_SKIP() << "the programs' windows need a display: run under scripts/with-xvfb.sh";
    ASSERT_NO_FATAL_FAILURE(installAndCloseTheManager());
    expectInstalled();

    // A second start, hidden, takes ".zip" back but does not register again,
    // which would start the class key afresh.
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey.c_str(), "Untouched", REG_SZ, "x", 2);
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, ".zip", nullptr, REG_SZ, "Other.zip", 10);
    EXPECT_TRUE(startManager("-h").windows.empty());
    expectInstalled();
    std::string untouched;
    EXPECT_TRUE(readString(HKEY_CLASSES_ROOT, kClassKey, "Untouched", untouched));

    // In lower case the switch is an archive path like any other.
    const StubRun lower = startManager("-u");
    ASSERT_EQ(lower.windows.size(), 1u);
    EXPECT_EQ(lower.windows[0].title.rfind("Packrook", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(testing_support::scratchFolder() + "-u"));

    const StubRun declined = startManager("-U", false);
    EXPECT_EQ(declined.exitCode, static_cast<DWORD>(-1));
    ASSERT_EQ(declined.windows.size(), 1u);
    EXPECT_EQ(declined.windows[0].text, "Packrook is about to uninstall.\r\n\r\nAre you sure you want to do this?");
    expectInstalled();
    EXPECT_EQ(pendingDeletions(), "");

    const StubRun confirmed = startManager("-U");
    EXPECT_EQ(confirmed.exitCode, 0u);
    ASSERT_EQ(confirmed.windows.size(), 2u);
    EXPECT_EQ(confirmed.windows[1].text, "You must restart your machine to complete the uninstall");
    // The uninstall entry's key among them: every value the manager added goes with it.
    for (const RegistryValue& value : registeredValues(kFolder + "Quaylink.dll"))
        EXPECT_FALSE(keyExists(value.root, value.key)) << value.key;
    EXPECT_FALSE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_FALSE(std::filesystem::exists(shortcut)) << shortcut;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Packrook"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kSettingsMapping));
    // ".zip" goes back to the program that held it before the product took it.
    expectValues({{HKEY_CLASSES_ROOT, ".zip", nullptr, "Other.zip"}});
    std::string deletions;
    for (const char* name : {"Packrook.exe", "Quaylink.dll", "Sledstub.dll", "Readme.txt", "Add.htm", "Exe.htm",
                             "main.htm", ""})
        deletions += "\\??\\" + kFolder + name + std::string(2, '\0');
    EXPECT_EQ(pendingDeletions(), deletions);

    // Installing again before the restart takes the product back, settings included.
    ASSERT_NO_FATAL_FAILURE(installAndCloseTheManager());
    expectInstalled();
}
