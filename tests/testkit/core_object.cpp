#include "testkit/core_object.h"

#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"

// Through the module's class factory; DllGetClassObject itself would bind
// to ole32's export of the same name in an executable.
ComPtr<IShellExtInit> NewCoreObject()
{
    ComPtr<IShellExtInit> init;
    void* memory = brxlib::Allocate(sizeof(CShellExtClassFactory));
    if (!memory)
        return init;
    CShellExtClassFactory* factory = new (memory) CShellExtClassFactory();
    factory->AddRef();
    factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void());
    factory->Release();
    return init;
}
