#include "FileListDataObject.h"

#include "os/Os.h"

#include <shlobj.h>

#include <cstring>

namespace {
const FORMATETC kFileListFormat = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

bool isFileListFormat(const FORMATETC* format)
{
    return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL);
}
} // namespace

// The drop target reads the list in its own code page unless it is wide.
HGLOBAL FileListDataObject::makeFileList(const std::vector<CString>& paths)
{
    std::wstring list;
    for (const CString& path : paths)
        list += os::toWide(path) + L'\0';
    list += L'\0';
    const size_t listSize = list.size() * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + listSize);
    if (!block)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(::GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), listSize);
    ::GlobalUnlock(block);
    return block;
}

HRESULT FileListDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!isFileListFormat(format))
        return E_NOTIMPL;
    if (!medium)
        return E_POINTER;
    medium->hGlobal = makeFileList(paths_);
    if (!medium->hGlobal)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT FileListDataObject::QueryGetData(FORMATETC* format)
{
    return isFileListFormat(format) ? S_OK : E_NOTIMPL;
}

HRESULT FileListDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    FORMATETC offered = kFileListFormat;
    return ::SHCreateStdEnumFmtEtc(1, &offered, formats);
}
