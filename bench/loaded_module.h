// The built MorvaneX64.dll, loaded as Explorer loads it.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "testkit/com_ptr.h"

class LoadedModule {
public:
    LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    // Left loaded at the end: objects may still be alive at exit.

    bool loaded() const { return m_module != nullptr; }
    HMODULE handle() const { return m_module; }
    const wchar_t* path() const { return MORVANE_DLL; }

    // A new object through DllGetClassObject and its class factory.
    ComPtr<IShellExtInit> NewObject() const;
    // A new "Morvane" entry of the Windows 11 menu, the same way.
    ComPtr<IExplorerCommand> NewMenuCommand() const;
    HRESULT CanUnloadNow() const;
    // The conversion worker's entry, called in this process as rundll32 would.
    void RunConvertArchive(const wchar_t* request) const;

private:
    // Through DllGetClassObject and the class factory of clsid: the interface asked into *ppv.
    void CreateObject(REFCLSID clsid, REFIID riid, void** ppv) const;

    HMODULE m_module;
};
