#include "support/core_objects.h"

#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"

// Through the module's class factory; DllGetClassObject itself would bind
// to ole32's export of the same name in a test executable.
ComPtr<IShellExtInit> NewCoreObject()
{
    void* memory = brxlib::Allocate(sizeof(CShellExtClassFactory));
    ComPtr<IShellExtInit> init;
    if (!memory)
        return init;
    CShellExtClassFactory* factory = new (memory) CShellExtClassFactory();
    factory->AddRef();
    factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void());
    factory->Release();
    return init;
}
