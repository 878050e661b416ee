// Identity and lifetime of the command objects of the Windows 11 menu.
#include "shellext/explorer_command.h"

#include "brxlib/text_builder.h"
#include "module/module.h"

CExplorerCommandBase::CExplorerCommandBase() : m_refCount(1)
{
    InterlockedIncrement(&ModuleLockCount);
}

CExplorerCommandBase::~CExplorerCommandBase()
{
    InterlockedDecrement(&ModuleLockCount);
}

STDMETHODIMP CExplorerCommandBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IExplorerCommand) && !IsEqualIID(riid, IID_IUnknown))
        return E_NOINTERFACE;
    *ppv = static_cast<IExplorerCommand*>(this);
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
