#pragma once
// What rows dragged out of the entry list carry: the full paths of the files
// they become, as one file list on global memory, and nothing else.
#include "ComObject.h"
#include "ZipString.h"

#include <vector>

class FileListDataObject : public ComObject<IDataObject> {
public:
    explicit FileListDataObject(std::vector<CString> paths) : paths_(std::move(paths)) {}

    // The list as drops and the clipboard carry it: a 20-byte header that
    // says the list is wide, then each path in UTF-16 with its zero
    // character, then one more zero character.
    static HGLOBAL makeFileList(const std::vector<CString>& paths);

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<CString> paths_;
};
