// The product as a user gets it: Packrook-setup.exe installs it, the
// manager's starts complete the installation, "-U" removes it. The test
// program runs in a wine prefix of its own, made afresh for every run.
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
const char* const kInstalledFiles[] = {"Packrook.exe", "Quaylink.dll", "Sledstub.dll", "Readme.txt",
                                       "main.htm",     "Add.htm",      "Exe.htm"};

// What the DLL's registration and the manager's every start leave behind.
std::vector<RegistryValue> installedValues()
{
    std::vector<RegistryValue> values = registeredValues(kFolder + "Quaylink.dll");
    values.insert(values.end(), {
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\DefaultIcon", nullptr, kManager},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\Shell\\Open\\Command", nullptr, kManager + " \"%1\""},
        {HKEY_LOCAL_MACHINE, kUninstallParent + "\\Packrook", "UninstallString", kManager + " -U"},
        {HKEY_CLASSES_ROOT, ".zip", nullptr, "Quaylink.ContextHandler"},
    });
    return values;
}

void expectInstalled()
{
    expectValues(installedValues());
    EXPECT_TRUE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_TRUE(std::filesystem::exists(shortcut)) << shortcut;
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Packrook"));
}

// Sources of the deletions waiting for the restart; each has an empty target.
std::vector<std::string> pendingDeletions()
{
    std::string data(16384, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size)
        != ERROR_SUCCESS)
        return {};
    std::vector<std::string> strings;
    for (size_t at = 0; at < size; at += strings.back().size() + 1)
        strings.push_back(data.c_str() + at);
    std::vector<std::string> sources;
    for (size_t source = 0; source + 1 < strings.size() && !strings[source].empty(); source += 2) {
        sources.push_back(strings[source]);
        EXPECT_EQ(strings[source + 1], "") << "a rename instead of a deletion: " << sources.back();
    }
    return sources;
}

StubRun startManager(const std::string& arguments, bool confirm = true)
{
    Answers answers;
    answers.confirm = confirm;
    return runAndAnswer(kManager, testing_support::scratchFolder(), answers, arguments);
}

// The setup program starts the manager and ends. Its window is closed at
// once: the close is handled only after the start-up's registration.
void closeManagerStartedBySetup()
{
    HWND window = nullptr;
    for (int wait = 0; wait < 1200 && !window; ++wait, ::Sleep(50))
        window = ::FindWindowA("MainWClass", nullptr);
    ASSERT_TRUE(window) << "the manager did not start";
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    waitForManagers();
    waitForPrograms("regsvr32.exe");
}

void install()
{
    const char* setup = std::getenv("PACKROOK_SETUP_EXE");
    ASSERT_TRUE(setup);
    const StubRun run = runAndAnswer(windowsPath(setup), testing_support::scratchFolder(), Answers());
    ASSERT_EQ(run.windows.size(), 1u);
    EXPECT_EQ(run.windows[0].text,
              "The files will now install to " + kFolder.substr(0, kFolder.size() - 1)
                  + "\r\n\r\nAre you sure you want to continue");
    closeManagerStartedBySetup();
    for (const char* name : kInstalledFiles)
        EXPECT_EQ(testing_support::readBytes(kFolder + name), testing_support::readBytes(programFolder() + name))
            << name;
}

// Registering again would start the class key afresh, taking this value.
void startAgainAfterAnotherProgramTookZip()
{
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey.c_str(), "Untouched", REG_SZ, "x", 2);
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, ".zip", nullptr, REG_SZ, "OtherArchiver.zip", 18);
    const StubRun hidden = startManager("-h");
    EXPECT_EQ(hidden.exitCode, 0u);
    EXPECT_TRUE(hidden.windows.empty());
    expectInstalled();
    std::string untouched;
    EXPECT_TRUE(readString(HKEY_CLASSES_ROOT, kClassKey, "Untouched", untouched));
}

void expectUninstalled()
{
    for (const RegistryValue& value : registeredValues(kFolder + "Quaylink.dll"))
        EXPECT_FALSE(keyExists(value.root, value.key)) << value.key;
    EXPECT_FALSE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_FALSE(std::filesystem::exists(shortcut)) << shortcut;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Packrook"));
    expectValues({{HKEY_CLASSES_ROOT, ".zip", nullptr, " "}});
    const std::vector<std::string> deletions = {
        "\\??\\" + kManager,          "\\??\\" + kFolder + "Quaylink.dll", "\\??\\" + kFolder + "Sledstub.dll",
        "\\??\\" + kFolder + "Readme.txt", "\\??\\" + kFolder + "Add.htm", "\\??\\" + kFolder + "Exe.htm",
        "\\??\\" + kFolder + "main.htm",   "\\??\\" + kFolder};
    EXPECT_EQ(pendingDeletions(), deletions);
}
} // namespace

TEST(Installation, SetupInstallsStartsCompleteItAndUninstallRemovesIt)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        GTEST_SKIP() << "the programs' windows need a display: run under scripts/with-xvfb.sh";
    ASSERT_NO_FATAL_FAILURE(install());
    expectInstalled();
    startAgainAfterAnotherProgramTookZip();

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
    EXPECT_TRUE(pendingDeletions().empty());

    const StubRun confirmed = startManager("-U");
    EXPECT_EQ(confirmed.exitCode, 0u);
    ASSERT_EQ(confirmed.windows.size(), 2u);
    EXPECT_EQ(confirmed.windows[1].title, "Packrook");
    EXPECT_EQ(confirmed.windows[1].text, "You must restart your machine to complete the uninstall");
    expectUninstalled();
}
