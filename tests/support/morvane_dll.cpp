#include "support/morvane_dll.h"

#include <gtest/gtest.h>

// {6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}
const CLSID TestClsid = {0x6C2B7E41, 0x3F9A, 0x4D85, {0xB1, 0xE2, 0x9A, 0x7C, 0x4F, 0x0D, 0x5E, 0x38}};

namespace {

template <class F>
F Export(HMODULE module, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

MorvaneDll::MorvaneDll() : m_module(LoadLibraryW(MORVANE_DLL))
{
    if (!m_module)
        ADD_FAILURE() << "cannot load the DLL, error " << GetLastError();
}

MorvaneDll::~MorvaneDll()
{
    // Left loaded: objects of a failed test may still live.
}

HRESULT MorvaneDll::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const
{
    auto f = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(m_module, "DllGetClassObject");
    return f ? f(clsid, iid, ppv) : E_FAIL;
}

HRESULT MorvaneDll::CanUnloadNow() const
{
    auto f = Export<HRESULT(WINAPI*)()>(m_module, "DllCanUnloadNow");
    return f ? f() : E_FAIL;
}

HRESULT MorvaneDll::RegisterServer() const
{
    auto f = Export<HRESULT(WINAPI*)()>(m_module, "DllRegisterServer");
    return f ? f() : E_FAIL;
}

HRESULT MorvaneDll::UnregisterServer() const
{
    auto f = Export<HRESULT(WINAPI*)()>(m_module, "DllUnregisterServer");
    return f ? f() : E_FAIL;
}

void MorvaneDll::RunConvertArchive(const wchar_t* commandLine) const
{
    auto f = Export<void(CALLBACK*)(HWND, HINSTANCE, LPWSTR, int)>(m_module, "RunConvertArchiveW");
    if (f)
        f(nullptr, m_module, const_cast<LPWSTR>(commandLine), SW_HIDE);
}

ComPtr<IShellExtInit> MorvaneDll::CreateInit() const
{
    ComPtr<IClassFactory> factory;
    ComPtr<IShellExtInit> init;
    if (SUCCEEDED(GetClassObject(TestClsid, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void());
    return init;
}

ComPtr<IContextMenu> MorvaneDll::CreateMenu() const
{
    ComPtr<IShellExtInit> init = CreateInit();
    ComPtr<IContextMenu> menu;
    if (init)
        init->QueryInterface(IID_IContextMenu, menu.put_void());
    return menu;
}

std::vector<std::string> MorvaneDll::ExportNames() const
{
    std::vector<std::string> names;
    const BYTE* base = reinterpret_cast<const BYTE*>(m_module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.push_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

const MorvaneDll& Dll()
{
    static MorvaneDll dll;
    return dll;
}
