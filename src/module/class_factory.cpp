#include "module/class_factory.h"

#include "brxlib/memory.h"
#include "module/module.h"
#include "shellext/shell_ext.h"

CShellExtClassFactory::CShellExtClassFactory(ObjectCreator create) : m_refCount(0), m_create(create)
{
    InterlockedIncrement(&ModuleLockCount);
}

STDMETHODIMP CShellExtClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IClassFactory) && !IsEqualIID(riid, IID_IUnknown))
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// COM may call a factory of the surrogate's from more than one thread.
STDMETHODIMP_(ULONG) CShellExtClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CShellExtClassFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        InterlockedDecrement(&ModuleLockCount);
        this->~CShellExtClassFactory();
        brxlib::Free(this);
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CShellExtClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return m_create(riid, ppv);
}

HRESULT CreateShellExtObject(REFIID riid, void** ppv)
{
    // Born holding one reference: a refused first QueryInterface must not leak it.
    CShellExt* object = CShellExt::Create();
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

STDMETHODIMP CShellExtClassFactory::LockServer(BOOL)
{
    return S_OK;
}
