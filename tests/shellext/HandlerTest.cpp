// The context-menu handler created through COM as the Explorer creates it,
// starting the real manager beside it.
#include "MapiStandIn.h"
#include "Quaylink_h.h"
#include "ShellextTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

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

std::string newFile(const std::string& name)
{
    const std::string path = windowsPath(scratchFolder()) + name;
    testing_support::writeBytes(path, "content of " + name);
    return path;
}

// The last component of each entry's stored name: the manager stores folder
// names or not as its settings say.
std::vector<std::string> entryNames(const std::string& archivePath)
{
    testing_support::ScriptedCallBack callback;
    CZipFile archive(&callback);
    std::vector<std::string> names;
    if (!archive.openZipFile(archivePath))
        return names;
    for (long index = 0; index < archive.getFileCount(); ++index)
        names.push_back(archive.getFileName(index));
    return names;
}

class HandlerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
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
    EXPECT_EQ(S_OK, invoke(handler, 1));
    handler->Release();
    waitForManagers();
    EXPECT_EQ((std::vector<std::string>{"two.txt", "one.txt"}), entryNames(windowsPath(scratchFolder()) + "two.zip"));
}

TEST_F(WithMailClient, ZipAndEmailAttachesTheArchiveBuiltInTheTemporaryFolder)
{
    char temporary[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temporary);
    const std::string archive = std::string(temporary) + "mailed.zip";
    std::filesystem::remove(archive);
    IContextMenu* handler = newHandler({newFile("other.txt"), newFile("mailed.txt")});
    EXPECT_EQ(S_OK, invoke(handler, 4));
    handler->Release();

    ASSERT_EQ(1, mail_->calls);
    EXPECT_EQ(archive, mail_->pathName);
    EXPECT_EQ((std::vector<std::string>{"mailed.txt", "other.txt"}), entryNames(archive));
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
