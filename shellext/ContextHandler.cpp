#include "ContextHandler.h"

#include "ArchiveProbe.h"
#include "ManagerLauncher.h"
#include "Module.h"
#include "SimpleMail.h"
#include "os/Os.h"
#include "resource.h"

#include <algorithm>
#include <cstddef>
#include <new>

using namespace commandtext;

namespace {

const char helpText[] = "Packrook the file";
const wchar_t helpTextWide[] = L"Packrook the file";
const DWORD managerTimeoutMs = 100000;

// The menu-item structure without its trailing item-bitmap field: the form
// every version of the system accepts.
const UINT shortMenuItemSize = offsetof(MENUITEMINFOW, hbmpItem);
#ifndef _WIN64
static_assert(offsetof(MENUITEMINFOW, hbmpItem) == 44, "the short menu-item form is 44 bytes on 32-bit");
#endif

// No exception may cross into the Explorer.
template <typename Body>
HRESULT guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void reportUnwrittenList(HWND owner)
{
    ::MessageBoxW(owner,
                  L"The selected files could not be handed to Packrook: the temporary folder takes no list of "
                  L"them.",
                  L"Packrook", MB_ICONWARNING | MB_OK);
}

struct MenuPicture {
    int size;
    int resource;
};
constexpr MenuPicture kMenuPictures[] = {
    {15, IDB_MENUITEM}, {19, IDB_MENUITEM19}, {23, IDB_MENUITEM23}, {30, IDB_MENUITEM30}};

// The picture drawn for the Explorer's DPI, else the next larger one (the
// largest beyond them) shrunk to it pixel by pixel, which stays crisp.
HBITMAP menuBitmapForSystemDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const int size = ::MulDiv(kMenuPictures[0].size, dpi > 0 ? dpi : 96, 96);
    const MenuPicture* picture = &kMenuPictures[0];
    for (const MenuPicture& candidate : kMenuPictures) {
        picture = &candidate;
        if (candidate.size >= size)
            break;
    }
    return static_cast<HBITMAP>(
        ::LoadImageA(module::instance(), MAKEINTRESOURCEA(picture->resource), IMAGE_BITMAP, size, size, 0));
}
} // namespace

HRESULT ContextHandler::create(IUnknown* outer, REFIID iid, void** object)
{
    *object = nullptr;
    if (outer && !::IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    auto* handler = new (std::nothrow) ContextHandler(outer);
    if (!handler)
        return E_OUTOFMEMORY;
    // Held across the query so a failed one destroys the object.
    handler->inner_.AddRef();
    const HRESULT result = handler->inner_.QueryInterface(iid, object);
    handler->inner_.Release();
    return result;
}

ContextHandler::ContextHandler(IUnknown* outer)
    : inner_(*this), outer_(outer ? outer : &inner_), dispatch_(IID_IContextHandler)
{
    module::lock();
}

ContextHandler::~ContextHandler()
{
    if (bitmap_)
        ::DeleteObject(bitmap_);
    module::unlock();
}

STDMETHODIMP ContextHandler::InnerUnknown::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown))
        *object = static_cast<IUnknown*>(this);
    else if (::IsEqualIID(iid, IID_IContextHandler) || ::IsEqualIID(iid, IID_IDispatch))
        *object = static_cast<IContextHandler*>(&owner_);
    else if (::IsEqualIID(iid, IID_IShellExtInit))
        *object = static_cast<IShellExtInit*>(&owner_);
    else if (::IsEqualIID(iid, IID_IContextMenu))
        *object = static_cast<IContextMenu*>(&owner_);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ContextHandler::InnerUnknown::AddRef()
{
    return ::InterlockedIncrement(&owner_.references_);
}

STDMETHODIMP_(ULONG) ContextHandler::InnerUnknown::Release()
{
    const LONG left = ::InterlockedDecrement(&owner_.references_);
    if (left == 0)
        delete &owner_;
    return left;
}

STDMETHODIMP ContextHandler::QueryInterface(REFIID iid, void** object)
{
    return outer_->QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) ContextHandler::AddRef()
{
    return outer_->AddRef();
}

STDMETHODIMP_(ULONG) ContextHandler::Release()
{
    return outer_->Release();
}

STDMETHODIMP ContextHandler::GetTypeInfoCount(UINT* count)
{
    return dispatch_.getTypeInfoCount(count);
}

STDMETHODIMP ContextHandler::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    return dispatch_.getTypeInfo(index, info);
}

STDMETHODIMP ContextHandler::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    return dispatch_.getIDsOfNames(names, count, ids);
}

STDMETHODIMP ContextHandler::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    return dispatch_.invoke(static_cast<IContextHandler*>(this), member, flags, parameters, result, exception,
                            argumentError);
}

STDMETHODIMP ContextHandler::Initialize(LPCITEMIDLIST, IDataObject* data, HKEY)
{
    if (!data)
        return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return E_INVALIDARG;
    const HRESULT result = guarded([&] {
        readDropList(static_cast<HDROP>(medium.hGlobal));
        return S_OK;
    });
    ::ReleaseStgMedium(&medium);
    return result;
}

// Whole paths, however long, in every language.
void ContextHandler::readDropList(HDROP drop)
{
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = count; index-- > 0;) {
        std::wstring path(::DragQueryFileW(drop, index, nullptr, 0), L'\0');
        ::DragQueryFileW(drop, index, &path[0], static_cast<UINT>(path.size() + 1));
        std::string utf8;
        os::fromWide(path, utf8);
        selection_.push_back(utf8);
    }
}

HBITMAP ContextHandler::menuBitmap()
{
    // One picture per object, freed with it: a fresh one for every item each
    // time the menu opens would leak the Explorer's drawing objects, as the
    // menu does not own check-mark bitmaps.
    if (!bitmap_)
        bitmap_ = menuBitmapForSystemDpi();
    return bitmap_;
}

bool ContextHandler::insertItem(HMENU menu, UINT& position, UINT firstId, UINT lastId, Offset offset)
{
    // Identifiers past the last one belong to other extensions.
    if (firstId + offset > lastId)
        return false;
    std::wstring text = os::toWide(itemText(offset, selection_.front()));
    MENUITEMINFOW item = {};
    item.cbSize = shortMenuItemSize;
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.fState = 0;
    item.wID = firstId + offset;
    item.hbmpUnchecked = menuBitmap();
    item.dwTypeData = &text[0];
    ::InsertMenuItemW(menu, position++, TRUE, &item);
    return true;
}

bool ContextHandler::offersOpening() const
{
    if (selection_.size() != 1)
        return false;
    const std::string extension = extensionOf(selection_.front());
    return extension == ".zip" || (extension == ".exe" && opensAsArchive(selection_.front()));
}

STDMETHODIMP ContextHandler::QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags)
{
    if ((flags & CMF_DEFAULTONLY) || selection_.empty())
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    return guarded([&] {
        unsigned taken = 0;
        auto insert = [&](Offset offset) {
            if (insertItem(menu, position, firstId, lastId, offset))
                taken = std::max(taken, offset + 1u);
        };
        insert(addToPickedArchive);
        const bool singleZip = selection_.size() == 1 && extensionOf(selection_.front()) == ".zip";
        if (!singleZip)
            insert(addToNamedArchive);
        if (mailClientPresent())
            insert(zipAndEmail);
        if (offersOpening())
            insert(openArchive);
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, taken);
    });
}

STDMETHODIMP ContextHandler::InvokeCommand(LPCMINVOKECOMMANDINFO information)
{
    if (selection_.empty())
        return S_OK;
    // A verb given by name (the Explorer offers "delete", "properties" and
    // the like to every extension) is none of ours: no bit of its pointer,
    // which may lie anywhere in a 64-bit space, is taken for one of our
    // commands.
    if (!information || !IS_INTRESOURCE(information->lpVerb))
        return E_INVALIDARG;
    const unsigned offset = LOWORD(reinterpret_cast<ULONG_PTR>(information->lpVerb));
    return guarded([&] {
        if (managerPath().empty())
            return S_OK;
        const std::string listFile = offset == openArchive ? std::string() : writeListFile(selection_);
        if (offset != openArchive && listFile.empty()) {
            reportUnwrittenList(information->hwnd);
            return S_OK;
        }
        if (!startCommand(information->hwnd, offset, listFile) && !listFile.empty())
            os::removeFile(listFile);
        return S_OK;
    });
}

// False when the manager could not be started.
bool ContextHandler::startCommand(HWND owner, unsigned offset, const std::string& listFile)
{
    if (offset != zipAndEmail)
        return startManager(owner, parameters(offset, selection_, std::string(), listFile));
    const std::string archive = mailArchivePath(os::tempFolder(), selection_.front());
    const ManagerRun run = runManager(parameters(offset, selection_, archive, listFile), managerTimeoutMs);
    if (run == ManagerRun::ended)
        composeWithAttachment(archive);
    return run != ManagerRun::notStarted;
}

STDMETHODIMP ContextHandler::GetCommandString(UINT_PTR offset, UINT type, UINT*, LPSTR buffer, UINT size)
{
    if (offset != addToPickedArchive)
        return E_INVALIDARG;
    switch (type) {
    case GCS_HELPTEXTA:
        if (buffer && size > 0)
            ::lstrcpynA(buffer, helpText, static_cast<int>(size));
        return S_OK;
    case GCS_HELPTEXTW:
        if (buffer && size > 0)
            ::lstrcpynW(reinterpret_cast<LPWSTR>(buffer), helpTextWide, static_cast<int>(size));
        return S_OK;
    case GCS_VERBA:
    case GCS_VERBW:
        // There is no verb name; a success would have the caller read
        // whatever its buffer held as one.
        return E_NOTIMPL;
    default:
        return S_OK;
    }
}
