// The COM entry points that the platform calls first.
#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"
#include "module/module.h"
#include "newmenu/explorer_command.h"

namespace {

struct ModuleClass {
    const CLSID* clsid;
    ObjectCreator create;
};

// The classic handler, which registration declares, and the entry of the
// Windows 11 menu, which the app package declares.
const ModuleClass ModuleClasses[] = {
    {&CLSID_MorvaneShellExt, CreateShellExtObject},
    {&CLSID_MorvaneCommand, CreateMorvaneCommand},
};

ObjectCreator FindModuleClass(REFCLSID rclsid)
{
    for (const ModuleClass& entry : ModuleClasses)
        if (IsEqualCLSID(rclsid, *entry.clsid))
            return entry.create;
    return nullptr;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const ObjectCreator create = FindModuleClass(rclsid);
    if (!create)
        return CLASS_E_CLASSNOTAVAILABLE;
    void* memory = brxlib::Allocate(sizeof(CShellExtClassFactory));
    if (!memory)
        return E_OUTOFMEMORY;
    CShellExtClassFactory* factory = new (memory) CShellExtClassFactory(create);
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
