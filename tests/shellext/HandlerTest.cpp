// The context-menu handler created through COM as the Explorer creates it,
// starting the real manager beside it.
#include "MapiStandIn.h"
#include "Quaylink_h.h"
#include "ShellextTestSupport.h"
#include "TestSupport.h"
#include "os/Os.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace shellext_testing;
using testing_support::scratchFolder;

namespace {

// Each inserted item as its identifier and text.
std::vector<std::string> described(const Menu& menu)
{
    std::vector<std::string> result;
    for (const MenuItem& item : menu.items)
        result.push_back(std::to_string(item.id) + " " + item.text);
    return result;
}

// A file of any name, below a folder of any length.
std::string newFile(const std::string& name, const std::string& folder = windowsPath(scratchFolder()))
{
    std::filesystem::create_directories(std::filesystem::u8path(folder));
    std::ofstream(std::filesystem::u8path(folder + name), std::ios::binary) << "content of " + name;
    return folder + name;
}

// The last component of each entry's stored name (the manager stores folder
// names or not as its settings say), its content, and whether it says that
// its name is UTF-8, as Python and every other reader take it.
struct Entry {
    std::string name;
    std::string content;
    bool saysUtf8;
    bool operator==(const Entry& other) const
    {
        return name == other.name && content == other.content && saysUtf8 == other.saysUtf8;
    }
};

std::vector<Entry> entriesOf(const std::string& archivePath)
{
    testing_support::ScriptedCallBack callback;
    CZipFile archive(&callback);
    std::vector<Entry> entries;
    if (!archive.openZipFile(archivePath))
        return entries;
    for (int index = 0; index < archive.getFileCount(); ++index)
        entries.push_back({archive.getFileName(index), testing_support::readEntry(archive, index),
                           (archive.getFileHeader(index)->flags & 0x800) != 0});
    return entries;
}

// The lists of selected files that the extension wrote for the manager.
size_t listFilesLeft()
{
    size_t count = 0;
    for (const auto& item : std::filesystem::directory_iterator(std::filesystem::u8path(os::tempFolder())))
        count += item.path().filename().string().rfind("Prk", 0) == 0;
    return count;
}

std::vector<std::string> entryNames(const std::string& archivePath)
{
    std::vector<std::string> names;
    for (const Entry& entry : entriesOf(archivePath))
        names.push_back(entry.name);
    return names;
}

class HandlerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The host reads names as the extension spells them.
        os::useUtf8Names();
        ::CoInitialize(nullptr);
        ASSERT_EQ(0u, regsvr32("/s", quaylinkPath()));
        quaylink_ = ::LoadLibraryA(quaylinkPath().c_str());
    }
    static void TearDownTestSuite()
    {
        ::FreeLibrary(quaylink_);
        regsvr32("/u /s", quaylinkPath());
        ::CoUninitialize();
    }

    template <typename Function>
    static Function* quaylinkExport(const char* name)
    {
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(quaylink_, name)));
    }

    static HMODULE quaylink_;
};
HMODULE HandlerTest::quaylink_ = nullptr;

// Holds the stand-in mail client loaded, so its record outlives the
// extension's own load and free.
class WithMailClient : public HandlerTest {
protected:
    void SetUp() override
    {
        mapi_ = ::LoadLibraryA("MAPI32.DLL");
        ASSERT_NE(nullptr, mapi_);
        auto record = reinterpret_cast<RecordedMailFunction>(
            reinterpret_cast<void*>(::GetProcAddress(mapi_, "recordedMail")));
        ASSERT_NE(nullptr, record) << "not the stand-in MAPI32.DLL";
        mail_ = record();
    }
    void TearDown() override { ::FreeLibrary(mapi_); }

    HMODULE mapi_ = nullptr;
    const RecordedMail* mail_ = nullptr;
};

using NoMailClient = HandlerTest;

} // namespace

TEST_F(WithMailClient, SingleFileGetsBothAddItemsAndMail)
{
    const Menu menu = queryMenu({"C:\\Docs\\Report.txt"});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 5), menu.result);
    EXPECT_EQ((std::vector<std::string>{"100 Add to Packrook...", "101 Add to \"Report.zip\"",
                                        "104 Zip and Email \"Report.zip\""}),
              described(menu));
    for (const MenuItem& item : menu.items)
        EXPECT_TRUE(item.pictured);
}

TEST_F(WithMailClient, SingleZipIsOfferedForOpening)
{
    const Menu menu = queryMenu({"C:\\Docs\\Old.ZIP"});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 5), menu.result);
    EXPECT_EQ((std::vector<std::string>{"100 Add to Packrook...", "104 Zip and Email \"Old.zip\"",
                                        "102 Open with Packrook"}),
              described(menu));
}

TEST_F(WithMailClient, SeveralFilesAreNeverOpened)
{
    const Menu menu = queryMenu({"C:\\A\\one.zip", "C:\\A\\two.txt"});
    EXPECT_EQ((std::vector<std::string>{"100 Add to Packrook...", "101 Add to \"two.zip\"",
                                        "104 Zip and Email \"two.zip\""}),
              described(menu));
}

TEST_F(WithMailClient, NothingForDefaultOnlyOrIdentifiersOutOfRange)
{
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0), queryMenu({"C:\\a.txt"}, CMF_DEFAULTONLY).result);
    // Identifiers 100 to 103 leave no room for offset 4.
    const Menu menu = queryMenu({"C:\\a.txt"}, CMF_NORMAL, 103);
    EXPECT_EQ(2u, menu.items.size());
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), menu.result);
}

TEST_F(WithMailClient, ExeIsOpenedOnlyWhenItIsAnArchive)
{
    const std::string made = windowsPath(scratchFolder()) + "made.exe";
    const std::string zipped = newFile("inside.txt");
    {
        testing_support::ScriptedCallBack callback;
        CZipFile archive(&callback);
        std::vector<CString> files{zipped};
        ASSERT_TRUE(archive.createNewZip(windowsPath(scratchFolder()) + "made.zip"));
        archive.addNewFiles(files, 0, false, false);
        ASSERT_TRUE(ZipFileTestAccess::writeExe(archive, programFolder() + "Sledstub.dll", made, "C:\\x", ""));
    }
    const Menu exe = queryMenu({made});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 5), exe.result);
    EXPECT_EQ("102 Open with Packrook", described(exe).back());
    const Menu plain = queryMenu({programFolder() + "Packrook.exe"});
    EXPECT_EQ(3u, plain.items.size());
    EXPECT_EQ("104 Zip and Email \"Packrook.zip\"", described(plain).back());
}

TEST_F(WithMailClient, HelpTextOnlyForTheFirstItem)
{
    IContextMenu* handler = newHandler({"C:\\a.txt"});
    char narrow[5] = "....";
    wchar_t wide[40] = {};
    EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, narrow, sizeof narrow));
    EXPECT_STREQ("Pack", narrow);
    EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<LPSTR>(wide), 40));
    EXPECT_STREQ(L"Packrook the file", wide);
    for (UINT_PTR offset : {1, 2, 4})
        EXPECT_EQ(E_INVALIDARG, handler->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, sizeof narrow));
    EXPECT_EQ(E_NOTIMPL, handler->GetCommandString(0, GCS_VERBA, nullptr, narrow, sizeof narrow));
    handler->Release();
}

TEST_F(WithMailClient, ServerEntryPoints)
{
    auto getClassObject = quaylinkExport<HRESULT STDAPICALLTYPE(REFCLSID, REFIID, void**)>("DllGetClassObject");
    IClassFactory* factory = nullptr;
    EXPECT_EQ(E_POINTER, getClassObject(CLSID_ContextHandler, IID_IClassFactory, nullptr));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              getClassObject(CLSID_ShellLink, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, getClassObject(CLSID_ContextHandler, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    factory->Release();

    auto canUnloadNow = quaylinkExport<HRESULT STDAPICALLTYPE()>("DllCanUnloadNow");
    IContextMenu* handler = newHandler({"C:\\a.txt"});
    EXPECT_EQ(S_FALSE, canUnloadNow());
    handler->Release();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(WithMailClient, DispatchDescribesTheDualInterface)
{
    IContextMenu* handler = newHandler({"C:\\a.txt"});
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, handler->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &info));
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    EXPECT_TRUE(::IsEqualIID(IID_IContextHandler, attributes->guid));
    info->ReleaseTypeAttr(attributes);
    info->Release();
    dispatch->Release();
    handler->Release();
}

TEST_F(WithMailClient, AggregatedOnlyThroughIUnknown)
{
    IUnknown* outer = newFileDrop({});
    IUnknown* inner = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, ::CoCreateInstance(CLSID_ContextHandler, outer, CLSCTX_INPROC_SERVER,
                                                        IID_IContextMenu, reinterpret_cast<void**>(&inner)));
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_ContextHandler, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                       reinterpret_cast<void**>(&inner)));
    IContextMenu* menu = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    // Asked through an outer interface, identity is the outer object's.
    IUnknown* identity = nullptr;
    menu->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(outer, identity);
    identity->Release();
    menu->Release();
    inner->Release();
    outer->Release();
}

TEST_F(WithMailClient, AddToNamedArchiveBuildsItBesideTheFiles)
{
    const std::string one = newFile("one.txt");
    const std::string two = newFile("two.txt");
    IContextMenu* handler = newHandler({one, two});
    // A verb by name is not one of ours, whatever its pointer's low bits.
    CMINVOKECOMMANDINFO byName = {};
    byName.cbSize = sizeof byName;
    byName.lpVerb = "delete";
    EXPECT_EQ(E_INVALIDARG, handler->InvokeCommand(&byName));
#ifdef _WIN64
    // Above 4 GiB a name's pointer may have nothing in bits 16 to 31: the
    // first free place of that kind holds one.
    char* high = nullptr;
    for (uintptr_t place = 0x200000000; !high && place < 0x10000000000; place += 0x100000000)
        high = static_cast<char*>(::VirtualAlloc(reinterpret_cast<void*>(place), 4096, MEM_RESERVE | MEM_COMMIT,
                                                 PAGE_READWRITE));
    ASSERT_NE(nullptr, high);
    ASSERT_EQ(0u, HIWORD(reinterpret_cast<ULONG_PTR>(high)));
    std::strcpy(high, "delete");
    byName.lpVerb = high;
    EXPECT_EQ(E_INVALIDARG, handler->InvokeCommand(&byName));
    ::VirtualFree(high, 0, MEM_RELEASE);
#endif
    EXPECT_EQ(S_OK, invoke(handler, 1));
    handler->Release();
    waitForManagers();
    EXPECT_EQ((std::vector<std::string>{"two.txt", "one.txt"}), entryNames(windowsPath(scratchFolder()) + "two.zip"));
}

// Names in Chinese, Greek, Arabic and with an emoji, in an Explorer whose
// code page is 1252: in the menu, and every one of them in the archive.
TEST_F(WithMailClient, AddToTakesNamesOfEveryLanguage)
{
    const std::string folder = windowsPath(scratchFolder()) + "选择 Ωμέγα\\";
    std::vector<std::string> selection;
    std::vector<Entry> expected;
    for (const std::string& stored : testing_support::languageNames()) {
        const std::string name = stored.substr(stored.rfind('/') + 1);
        selection.push_back(newFile(name, folder));
        expected.insert(expected.begin(), {name, "content of " + name, true});
    }
    const std::string lead = expected.front().name;
    const std::string archiveName = lead.substr(0, lead.rfind('.')) + ".zip";
    EXPECT_EQ("101 Add to \"" + archiveName + "\"", described(queryMenu(selection))[1]);
    IContextMenu* handler = newHandler(selection);
    EXPECT_EQ(S_OK, invoke(handler, 1));
    handler->Release();
    waitForManagers();
    EXPECT_EQ(expected, entriesOf(folder + archiveName));
}

// The selection reaches the manager whole, however many paths and however
// long: 5,000 of them past 260 characters each would fill the longest
// command line many times over.
TEST_F(WithMailClient, FiveThousandLongPathsAllReachTheArchive)
{
    const std::string folder = windowsPath(scratchFolder()) + std::string(200, 'f') + "\\";
    ASSERT_TRUE(os::createFolder(folder));
    std::vector<std::string> selection;
    for (int number = 0; number < 5000; ++number) {
        selection.push_back(folder + "selected file number " + std::to_string(number) + ".txt");
        os::closeFile(os::openFile(selection.back(), os::OpenMode::CreateForWriting));
    }
    const size_t listsBefore = listFilesLeft();
    IContextMenu* handler = newHandler(selection);
    EXPECT_EQ(S_OK, invoke(handler, 1));
    handler->Release();
    waitForManagers();
    EXPECT_EQ(5000u, entryNames(folder + "selected file number 4999.zip").size());
    EXPECT_EQ(listsBefore, listFilesLeft()) << "the manager removes the list it was handed";
}

TEST_F(WithMailClient, ZipAndEmailAttachesTheArchiveBuiltInTheTemporaryFolder)
{
    // A name beyond the Explorer's code page takes the wide call.
    const std::string archive = os::tempFolder() + "报告 mailed.zip";
    std::filesystem::remove(std::filesystem::u8path(archive));
    IContextMenu* handler = newHandler({newFile("other.txt"), newFile("报告 mailed.txt")});
    EXPECT_EQ(S_OK, invoke(handler, 4));
    handler->Release();

    ASSERT_EQ(1, mail_->calls);
    EXPECT_TRUE(mail_->wide);
    EXPECT_EQ(archive, mail_->pathName);
    EXPECT_EQ((std::vector<std::string>{"报告 mailed.txt", "other.txt"}), entryNames(archive));
    EXPECT_EQ(0u, mail_->session);
    EXPECT_EQ(0u, mail_->parent);
    EXPECT_EQ(9u, mail_->flags);
    EXPECT_EQ(0u, mail_->recipients);
    EXPECT_FALSE(mail_->subjectGiven || mail_->textGiven || mail_->fileNameGiven);
    EXPECT_EQ(1u, mail_->files);
    EXPECT_EQ(0xFFFFFFFFu, mail_->position);
}

TEST_F(NoMailClient, MenuHasNoMailItem)
{
    ASSERT_EQ(nullptr, ::LoadLibraryA("MAPI32.DLL"));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), queryMenu({"C:\\Docs\\Report.txt"}).result);
    const Menu zip = queryMenu({"C:\\Docs\\Old.zip"});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), zip.result);
    EXPECT_EQ((std::vector<std::string>{"100 Add to Packrook...", "102 Open with Packrook"}), described(zip));
}
