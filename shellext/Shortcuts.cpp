#include "Shortcuts.h"

#include "Module.h"
#include "os/Os.h"

namespace {

struct GroupShortcut {
    const char* file;
    const char* target;
    const char* description;
    const char* arguments;
};

const GroupShortcut groupShortcuts[] = {
    {"\\Packrook.lnk", "Packrook.exe", "Packrook", ""},
    {"\\Readme.lnk", "Readme.txt", "Readme", ""},
    {"\\help.lnk", "main.htm", "Help", ""},
    {"\\UninstallMe.lnk", "Packrook.exe", "UninstallMe", "-U"},
};

IShellLinkW* newShellLink()
{
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return nullptr;
    return link;
}

// The all-users folder, else the user's own; its path stays empty when
// neither can be located. The item list is kept until the end, as the
// allocator that frees it.
class SpecialFolder {
public:
    SpecialFolder(IMalloc* allocator, int common, int personal) : allocator_(allocator)
    {
        if (FAILED(::SHGetSpecialFolderLocation(nullptr, common, &items_)))
            ::SHGetSpecialFolderLocation(nullptr, personal, &items_);
        wchar_t buffer[MAX_PATH] = {};
        if (items_ && ::SHGetPathFromIDListW(items_, buffer))
            os::fromWide(buffer, path_);
    }
    ~SpecialFolder()
    {
        if (items_ && allocator_)
            allocator_->Free(items_);
    }
    SpecialFolder(const SpecialFolder&) = delete;
    SpecialFolder& operator=(const SpecialFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    IMalloc* allocator_;
    LPITEMIDLIST items_ = nullptr;
    std::string path_;
};

class ShellAllocator {
public:
    ShellAllocator() { ::SHGetMalloc(&allocator_); }
    ~ShellAllocator()
    {
        if (allocator_)
            allocator_->Release();
    }
    ShellAllocator(const ShellAllocator&) = delete;
    ShellAllocator& operator=(const ShellAllocator&) = delete;

    IMalloc* get() const { return allocator_; }

private:
    IMalloc* allocator_ = nullptr;
};

std::string programGroup(IMalloc* allocator)
{
    SpecialFolder programs(allocator, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS);
    return programs.path().empty() ? std::string() : programs.path() + "\\Packrook";
}

void createProgramGroup(IMalloc* allocator, const std::string& programDirectory)
{
    IShellLinkW* link = newShellLink();
    if (!link)
        return;
    const std::string group = programGroup(allocator);
    if (!group.empty()) {
        ::CreateDirectoryW(os::toWide(group).c_str(), nullptr);
        for (const GroupShortcut& shortcut : groupShortcuts)
            createShortcut(link, programDirectory + shortcut.target, shortcut.description, group + shortcut.file,
                           shortcut.arguments);
    }
    link->Release();
}

// Nothing is done without a shell-link object, removal included.
template <typename Step>
void withStartMenu(Step step)
{
    IShellLinkW* link = newShellLink();
    if (!link)
        return;
    ShellAllocator allocator;
    SpecialFolder startMenu(allocator.get(), CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU);
    step(link, allocator.get(), startMenu.path());
    link->Release();
}

} // namespace

void createShortcut(IShellLinkW* link, const std::string& target, const std::string& description,
                    const std::string& shortcutPath, const std::string& arguments)
{
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return;
    link->SetPath(os::toWide(target).c_str());
    link->SetDescription(os::toWide(description).c_str());
    if (!arguments.empty())
        link->SetArguments(os::toWide(arguments).c_str());
    file->Save(os::toWide(shortcutPath).c_str(), TRUE);
    file->Release();
}

void createStartMenuShortcuts()
{
    withStartMenu([](IShellLinkW* link, IMalloc* allocator, const std::string& startMenu) {
        const std::string programDirectory = module::folder();
        if (!startMenu.empty())
            createShortcut(link, programDirectory + "Packrook.exe", "Packrook", startMenu + "\\Packrook.lnk", "");
        createProgramGroup(allocator, programDirectory);
    });
}

void removeStartMenuShortcuts()
{
    withStartMenu([](IShellLinkW*, IMalloc* allocator, const std::string& startMenu) {
        if (!startMenu.empty())
            ::DeleteFileW(os::toWide(startMenu + "\\Packrook.lnk").c_str());
        const std::string group = programGroup(allocator);
        if (group.empty())
            return;
        for (const GroupShortcut& shortcut : groupShortcuts)
            ::DeleteFileW(os::toWide(group + shortcut.file).c_str());
        ::RemoveDirectoryW(os::toWide(group).c_str());
    });
}
