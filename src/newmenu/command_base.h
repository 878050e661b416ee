// What every object of the Windows 11 menu shares: lifetime, identity, the
// host's site.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "brxlib/memory.h"

// Counted in ModuleLockCount from birth to death.
class CExplorerCommandBase : public IExplorerCommand, public IObjectWithSite {
public:
    CExplorerCommandBase();
    virtual ~CExplorerCommandBase();
    CExplorerCommandBase(const CExplorerCommandBase&) = delete;
    CExplorerCommandBase& operator=(const CExplorerCommandBase&) = delete;
    // Objects are made in brxlib's memory; the deleting destructor gives it back.
    static void operator delete(void* block) { brxlib::Free(block); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetToolTip(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;

    // IObjectWithSite: the host's site gives the window a refusal's box is owned by.
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppv) override;

protected:
    IUnknown* Site() const { return m_site; }

private:
    LONG m_refCount;
    IUnknown* m_site;
};

// The title of a menu label as the new menu shows it: without its
// access-key suffix ("解凍(&E)" -> "解凍"), in memory from CoTaskMemAlloc.
HRESULT DuplicateTitle(const WCHAR* label, LPWSTR* title);

// The window of the host's site (IOleWindow), or null without one.
HWND SiteWindow(IUnknown* site);
