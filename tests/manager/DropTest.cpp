// Files brought in by dropping and pasting; what rows dragged out hand the
// drop target; the folder chooser's own commands.
#include "AddOptions.h"
#include "DialogScript.h"
#include "EntryDropSource.h"
#include "FileListDataObject.h"
#include "ManagerTestSupport.h"
#include "Settings.h"
#include "TestSupport.h"
#include "Wildcard.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace manager_testing;
using Names = std::vector<std::string>;

namespace {
HGLOBAL fileList(const Names& paths)
{
    return FileListDataObject::makeFileList(std::vector<CString>(paths.begin(), paths.end()));
}

std::string blockBytes(HGLOBAL block)
{
    const char* bytes = static_cast<const char*>(::GlobalLock(block));
    std::string copy(bytes, ::GlobalSize(block));
    ::GlobalUnlock(block);
    return copy;
}

// Each entry's name and whether its bytes are that name, as Python reads them.
std::string readByPython(const std::string& archive)
{
    return runOnHost("python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                     "[print(n, z.read(n) == n.encode()) for n in z.namelist()]' '" +
                     hostPath(archive) + "'");
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class Bringing : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        addOptions() = AddOptions();
        resetSettings();
    }

    std::string makeFile(const std::string& name)
    {
        std::filesystem::create_directories(std::filesystem::path(folder + name).parent_path());
        testing_support::writeBytes(folder + name, name);
        return folder + name;
    }

    void openArchive()
    {
        testing_support::writeBytes(archive, testing_support::buildZip({{"old.txt", "old"}}));
        window.open(archive);
    }

    // Drops the files onto the list and picks the item of the menu that
    // comes up (-1 dismisses it).
    void drop(const Names& files, int menuItem)
    {
        bool menuShown = false;
        const DWORD windowThread = ::GetCurrentThreadId();
        std::thread user([&] { menuShown = chooseMenuItem(windowThread, menuItem); });
        ::SendMessageA(window.list(), WM_DROPFILES, reinterpret_cast<WPARAM>(fileList(files)), 0);
        user.join();
        EXPECT_TRUE(menuShown);
    }

    Names closedNames()
    {
        window.main().archive().close();
        return storedNames(archive);
    }

    const std::string folder = dotlessScratchFolder();
    const std::string archive = folder + "bring.zip";
    TestWindow window;
};

TEST_F(Bringing, DroppedFilesAreAddedWithoutOrWithTheirPathsAndNotWhenTheMenuIsDismissed)
{
    openArchive();
    const Names files = {makeFile("in\\a.txt"), makeFile("in\\b.txt")};
    addOptions().keepFolderNames = true;
    drop(files, 1);
    EXPECT_TRUE(addOptions().keepFolderNames) << "the choice holds for one drop";
    drop({makeFile("in\\c.txt")}, -1);
    addOptions().keepFolderNames = false;
    drop(files, 0);
    const Names names = closedNames();
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(Names(names.begin(), names.begin() + 3), Names({"old.txt", "a.txt", "b.txt"}));
    EXPECT_TRUE(endsWith(names[3], "\\in\\a.txt") && endsWith(names[4], "\\in\\b.txt")) << names[3] << names[4];
}

TEST_F(Bringing, ADroppedFolderBringsItsSubfoldersFilesFirst)
{
    openArchive();
    makeFile("tree\\top.txt");
    makeFile("tree\\sub\\deep.txt");
    drop({folder + "tree"}, 0);
    const Names names = closedNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_TRUE(endsWith(names[1], "\\tree\\sub\\deep.txt")) << names[1];
    EXPECT_TRUE(endsWith(names[2], "\\tree\\top.txt")) << names[2];
}

// With no archive open, the pasted list waits for a new archive.
TEST_F(Bringing, PastingAFileListAddsItAndPastingTextDoesNothing)
{
    const std::string file = makeFile("in\\a.txt");
    ASSERT_TRUE(::OpenClipboard(window.handle()) && ::EmptyClipboard());
    ::SetClipboardData(CF_HDROP, fileList({file}));
    ::CloseClipboard();
    const Names titles = runCommand(window.handle(), ID_PASTE_WITHOUT_PATH, {choosing(archive)});
    EXPECT_EQ(titles, Names{"New Zip File"});
    EXPECT_EQ(window.column(0), Names{"a.txt"});

    const std::string text = "not a file list";
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    std::memcpy(::GlobalLock(block), text.c_str(), text.size());
    ::GlobalUnlock(block);
    ASSERT_TRUE(::OpenClipboard(window.handle()) && ::EmptyClipboard());
    ::SetClipboardData(CF_TEXT, block);
    ::CloseClipboard();
    const ShowRecorder shown;
    ::SendMessageA(window.handle(), WM_COMMAND, ID_PASTE_WITH_PATH, 0);
    EXPECT_TRUE(shown.shownClasses().empty());
    EXPECT_EQ(closedNames(), Names{"a.txt"});
}

// Names in Chinese, Greek, Arabic and with an emoji, on a system whose code
// page is 1252; each file holds its own name.
TEST_F(Bringing, NamesOfEveryLanguageFromTheFileDialogAndPastedAreStoredAsPythonReadsThem)
{
    openArchive();
    Names files;
    std::string expected = "old.txt False\n";
    for (const std::string& name : testing_support::languageNames()) {
        files.push_back(name.substr(name.rfind('/') + 1));
        makeFile(files.back());
        expected += files.back() + " True\n";
    }
    settings::writeSettingString(settings::kPrefs, "LastFileAdded", folder + files[0]);
    runCommand(window.handle(), ID_ACTIONS_ADD, {choosing("\"" + files[0] + "\" \"" + files[1] + "\"")});
    Names pasted;
    for (size_t i = 2; i < files.size(); ++i)
        pasted.push_back(folder + files[i]);
    ASSERT_TRUE(::OpenClipboard(window.handle()) && ::EmptyClipboard());
    ::SetClipboardData(CF_HDROP, fileList(pasted));
    ::CloseClipboard();
    ::SendMessageA(window.handle(), WM_COMMAND, ID_PASTE_WITHOUT_PATH, 0);
    closedNames();
    EXPECT_EQ(readByPython(archive), expected + "exit 0\n");
}

TEST(DragOut, TheDataObjectOffersOneFileListAndRefusesTheRest)
{
    // The drop target reads names of every language whole, whatever its code page.
    IDataObject* data = new FileListDataObject({"C:\\w\\报告.txt", "C:\\w\\notes-🎵.txt"});
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    const std::string header = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    const std::wstring list = std::wstring(L"C:\\w\\报告.txt") + L'\0' + L"C:\\w\\notes-🎵.txt" + L'\0' + L'\0';
    const std::string expected =
        header + std::string(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
    EXPECT_EQ(blockBytes(medium.hGlobal).substr(0, expected.size()), expected);
    ::ReleaseStgMedium(&medium);
    EXPECT_EQ(data->QueryGetData(&format), S_OK);

    FORMATETC stream = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->GetData(&stream, &medium), E_NOTIMPL);
    EXPECT_EQ(data->QueryGetData(&text), E_NOTIMPL);
    EXPECT_EQ(data->SetData(&format, &medium, FALSE), E_NOTIMPL);
    IEnumFORMATETC* formats = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &formats), E_NOTIMPL);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[2] = {};
    ULONG count = 0;
    EXPECT_EQ(formats->Next(2, listed, &count), S_FALSE);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(listed[0].cfFormat, CF_HDROP);
    EXPECT_EQ(listed[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    formats->Release();
    IUnknown* other = nullptr;
    EXPECT_EQ(data->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&other)), E_NOINTERFACE);
    EXPECT_EQ(data->Release(), 0u);
}

TEST(DragOut, TheDropSourceExtractsOnlyWhenTheLeftButtonIsLetGo)
{
    int releases = 0;
    bool extracted = true;
    IDropSource* source = new EntryDropSource([&] {
        ++releases;
        return extracted;
    });
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(releases, 0);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    extracted = false;
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_CANCEL);
    EXPECT_EQ(releases, 2);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    source->Release();
}
} // namespace
