#include "loaded_module.h"

#include <string>

#include "module/module.h"

namespace {

template <class F>
F Export(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

LoadedModule::LoadedModule() : m_module(LoadLibraryW(MORVANE_DLL)) {}

ComPtr<IShellExtInit> LoadedModule::NewObject() const
{
    ComPtr<IShellExtInit> init;
    auto getClassObject = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(m_module, "DllGetClassObject");
    ComPtr<IClassFactory> factory;
    if (getClassObject && SUCCEEDED(getClassObject(CLSID_MorvaneShellExt, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void());
    return init;
}

void LoadedModule::RunConvertArchive(const wchar_t* request) const
{
    auto entry = Export<void(CALLBACK*)(HWND, HINSTANCE, LPWSTR, int)>(m_module, "RunConvertArchiveW");
    if (!entry)
        return;
    // The worker may write into its command line, as it may into rundll32's.
    std::wstring line = request;
    entry(nullptr, m_module, &line[0], SW_HIDE);
}
