#pragma once
// The Explorer's context-menu extension: adds the Packrook items for the
// selected files and starts the manager for the one picked. Apartment-
// threaded; may be aggregated, in which case every interface but the inner
// IUnknown hands identity and lifetime to the outer object.
#include "CommandText.h"
#include "Quaylink_h.h"
#include "TypeInfoDispatch.h"

#include <shlobj.h>

class ContextHandler final : public IContextHandler, public IShellExtInit, public IContextMenu {
public:
    // outer may be null; an aggregated instance only hands out IUnknown.
    static HRESULT create(IUnknown* outer, REFIID iid, void** object);

    // IUnknown, delegated to the controlling unknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

    // IShellExtInit
    STDMETHODIMP Initialize(LPCITEMIDLIST folder, IDataObject* data, HKEY programKey) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags) override;
    STDMETHODIMP InvokeCommand(LPCMINVOKECOMMANDINFO information) override;
    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, LPSTR buffer, UINT size) override;

private:
    // The identity of a (possibly aggregated) instance, owning its lifetime.
    class InnerUnknown : public IUnknown {
    public:
        explicit InnerUnknown(ContextHandler& owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        ContextHandler& owner_;
    };

    explicit ContextHandler(IUnknown* outer);
    ~ContextHandler();
    ContextHandler(const ContextHandler&) = delete;
    ContextHandler& operator=(const ContextHandler&) = delete;

    void readDropList(HDROP drop);
    HBITMAP menuBitmap();
    bool insertItem(HMENU menu, UINT& position, UINT firstId, UINT lastId, commandtext::Offset offset);
    bool offersOpening() const;
    bool startCommand(HWND owner, unsigned offset, const std::string& listFile);

    InnerUnknown inner_;
    IUnknown* outer_;
    LONG references_ = 0;
    TypeInfoDispatch dispatch_;
    commandtext::Selection selection_;
    HBITMAP bitmap_ = nullptr;
};
