// Identity and lifetime of CShellExt.
#include "shellext/shell_ext.h"

#include <new>

#include "brxlib/memory.h"
#include "module/module.h"

CShellExt* CShellExt::Create()
{
    void* memory = brxlib::Allocate(sizeof(CShellExt));
    if (!memory)
        return nullptr;
    CShellExt* object = new (memory) CShellExt();
    InterlockedIncrement(&ModuleLockCount);
    object->AddRef();
    return object;
}

CShellExt::CShellExt() : TargetFolder(), m_refCount(0), m_dataObject(nullptr)
{
}

CShellExt::~CShellExt()
{
    if (m_dataObject)
        m_dataObject->Release();
    InterlockedDecrement(&ModuleLockCount);
    MenuItems.clear();
    Selection.clear();
}

STDMETHODIMP CShellExt::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IShellExtInit) || IsEqualIID(riid, IID_IUnknown))
        *ppv = static_cast<IShellExtInit*>(this);
    else if (IsEqualIID(riid, IID_IContextMenu))
        *ppv = static_cast<IContextMenu*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CShellExt::AddRef()
{
    return static_cast<ULONG>(++m_refCount);
}

STDMETHODIMP_(ULONG) CShellExt::Release()
{
    const LONG count = --m_refCount;
    if (count == 0) {
        // A call back into this object while its data object is released
        // (an AddRef and Release) must not destroy it a second time.
        m_refCount = 1;
        this->~CShellExt();
        brxlib::Free(this);
    }
    return static_cast<ULONG>(count);
}
