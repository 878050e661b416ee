// The COM entry points that the platform calls first.
#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"
#include "module/module.h"

namespace {

bool IsModuleClass(REFCLSID rclsid)
{
    // Compared byte for byte, as two 64-bit halves.
    const unsigned long long* a = reinterpret_cast<const unsigned long long*>(&rclsid);
    const unsigned long long* b = reinterpret_cast<const unsigned long long*>(&CLSID_MorvaneShellExt);
    return a[0] == b[0] && a[1] == b[1];
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
    ++ModuleLockCount;
    // Hold a reference over QueryInterface so that a refused interface frees the factory.
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return ModuleLockCount == 0 ? S_OK : S_FALSE;
}
