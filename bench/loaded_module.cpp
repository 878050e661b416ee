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

void LoadedModule::CreateObject(REFCLSID clsid, REFIID riid, void** ppv) const
{
    auto getClassObject = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(m_module, "DllGetClassObject");
    ComPtr<IClassFactory> factory;
    if (getClassObject && SUCCEEDED(getClassObject(clsid, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, riid, ppv);
}

ComPtr<IShellExtInit> LoadedModule::NewObject() const
{
    ComPtr<IShellExtInit> init;
    CreateObject(CLSID_MorvaneShellExt, IID_IShellExtInit, init.put_void());
    return init;
}

ComPtr<IExplorerCommand> LoadedModule::NewMenuCommand() const
{
    // The class the menu's package declares.
    static const CLSID MenuCommandClsid = {0x8480CFB9, 0xF16F, 0x414E, {0x87, 0xAE, 0xA4, 0x84, 0x5A, 0xA7, 0x28, 0x4C}};
    ComPtr<IExplorerCommand> command;
    CreateObject(MenuCommandClsid, IID_IExplorerCommand, command.put_void());
    return command;
}

HRESULT LoadedModule::CanUnloadNow() const
{
    auto canUnloadNow = Export<HRESULT(WINAPI*)()>(m_module, "DllCanUnloadNow");
    return canUnloadNow ? canUnloadNow() : E_FAIL;
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
