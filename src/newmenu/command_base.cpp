// Identity, lifetime and site of the objects of the Windows 11 menu.
#include "newmenu/command_base.h"

#include <urlmon.h>

#include <new>

#include "brxlib/text_builder.h"
#include "module/module.h"

CExplorerCommandBase::CExplorerCommandBase() : m_refCount(1), m_site(nullptr)
{
    InterlockedIncrement(&ModuleLockCount);
}

CExplorerCommandBase::~CExplorerCommandBase()
{
    if (m_site)
        m_site->Release();
    InterlockedDecrement(&ModuleLockCount);
}

STDMETHODIMP CExplorerCommandBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IExplorerCommand) || IsEqualIID(riid, IID_IUnknown))
        *ppv = static_cast<IExplorerCommand*>(this);
    else if (IsEqualIID(riid, IID_IObjectWithSite))
        *ppv = static_cast<IObjectWithSite*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The surrogate may call from several threads of its apartment pool.
STDMETHODIMP_(ULONG) CExplorerCommandBase::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CExplorerCommandBase::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CExplorerCommandBase::GetToolTip(IShellItemArray*, LPWSTR* ppszInfotip)
{
    if (ppszInfotip)
        *ppszInfotip = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CExplorerCommandBase::SetSite(IUnknown* site)
{
    if (site)
        site->AddRef();
    if (m_site)
        m_site->Release();
    m_site = site;
    return S_OK;
}

STDMETHODIMP CExplorerCommandBase::GetSite(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return m_site ? m_site->QueryInterface(riid, ppv) : E_FAIL;
}

// What IUnknown_GetWindow does, without importing SHLWAPI for it: the
// window of a site that is an IOleWindow (a shell view is one) or an
// IInternetSecurityMgrSite.
HWND SiteWindow(IUnknown* site)
{
    if (!site)
        return nullptr;
    HWND hwnd = nullptr;
    IOleWindow* window = nullptr;
    IInternetSecurityMgrSite* securitySite = nullptr;
    if (SUCCEEDED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window))) && window) {
        if (FAILED(window->GetWindow(&hwnd)))
            hwnd = nullptr;
        window->Release();
    } else if (SUCCEEDED(site->QueryInterface(IID_IInternetSecurityMgrSite, reinterpret_cast<void**>(&securitySite))) &&
               securitySite) {
        if (FAILED(securitySite->GetWindow(&hwnd)))
            hwnd = nullptr;
        securitySite->Release();
    }
    return hwnd;
}

HRESULT DuplicateTitle(const WCHAR* label, LPWSTR* title)
{
    if (!title)
        return E_POINTER;
    *title = nullptr;
    size_t length = brxlib::TextLength(label);
    if (length >= 4 && label[length - 4] == L'(' && label[length - 3] == L'&' && label[length - 1] == L')')
        length -= 4;
    WCHAR* copy = static_cast<WCHAR*>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (!copy)
        return E_OUTOFMEMORY;
    CopyMemory(copy, label, length * sizeof(WCHAR));
    copy[length] = 0;
    *title = copy;
    return S_OK;
}
