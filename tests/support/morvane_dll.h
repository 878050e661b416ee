// The built DLL, loaded as Explorer loads it, with its five exports.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "testkit/com_ptr.h"

extern const CLSID TestClsid;  // the module's class

class MorvaneDll {
public:
    MorvaneDll();
    ~MorvaneDll();
    HMODULE module() const { return m_module; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    void RunConvertArchive(const wchar_t* commandLine) const;

    // A new CShellExt through the class factory, as its IShellExtInit / IContextMenu.
    ComPtr<IShellExtInit> CreateInit() const;
    ComPtr<IContextMenu> CreateMenu() const;

    // The names in the DLL's export table, read from its PE image.
    std::vector<std::string> ExportNames() const;

private:
    HMODULE m_module;
};

// The single instance that a test executable keeps loaded.
const MorvaneDll& Dll();
