// The COM entry points that the platform calls first.
#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"
#include "module/module.h"

namespace {

bool IsModuleClass(REFCLSID rclsid)
{
    return IsEqualCLSID(rclsid, CLSID_MorvaneShellExt) != FALSE;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsModuleClass(rclsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    void* memory = brxlib::Allocate(sizeof(CShellExtClassFactory));
    if (!memory)
        return E_OUTOFMEMORY;
    CShellExtClassFactory* factory = new (memory) CShellExtClassFactory();
    InterlockedIncrement(&ModuleLockCount);
    // Hold a reference over QueryInterface so that a refused interface frees the factory.
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    // One read: other apartments may change the count meanwhile.
    const LONG count = InterlockedCompareExchange(&ModuleLockCount, 0, 0);
    return count == 0 ? S_OK : S_FALSE;
}
