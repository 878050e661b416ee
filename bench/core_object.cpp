#include "core_object.h"

#include <new>

#include "brxlib/memory.h"
#include "module/class_factory.h"

// Not DllGetClassObject: in an executable that name binds to ole32's export.
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
