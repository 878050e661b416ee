// Registration: the class, its place in eleven handler lists, and approval.
#include "register/register_server.h"

#include "brxlib/text_builder.h"
#include "module/module.h"
#include "registry/registry_key.h"

const WCHAR* const HandlerKeyTable[11] = {
    L"HKCR\\*\\shellex\\ContextMenuHandlers",
    L"HKCR\\*\\shellex\\DragDropHandlers",
    L"HKCR\\Folder\\shellex\\ContextMenuHandlers",
    L"HKCR\\Folder\\shellex\\DragDropHandlers",
    L"HKCR\\Directory\\shellex\\ContextMenuHandlers",
    L"HKCR\\Directory\\Background\\shellex\\ContextMenuHandlers",
    L"HKCR\\Directory\\shellex\\DragDropHandlers",
    L"HKCR\\Drive\\shellex\\ContextMenuHandlers",
    L"HKCR\\Drive\\shellex\\DragDropHandlers",
    L"HKCR\\InternetShortcut\\shellex\\ContextMenuHandlers",
    L"HKCR\\lnkfile\\shellex\\ContextMenuHandlers",
};

const WCHAR ServerDescription[] = L"Morvane shell extension for x64 platform.";
const WCHAR ApprovedKey[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

namespace {

const WCHAR ClassesKey[] = L"HKCR\\CLSID";
const WCHAR HandlerName[] = L"MorvaneX64";

HRESULT FromStatus(LONG status)
{
    return static_cast<HRESULT>(0x80070000u | static_cast<ULONG>(status));
}

// Writes a REG_SZ into the held key; a value that exists with another type
// is left alone and the step fails with status 0.
bool WriteString(RegistryKey& key, const WCHAR* name, const WCHAR* text)
{
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.key(), name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS && type != REG_SZ) {
        key.set_status(ERROR_SUCCESS);
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((brxlib::TextLength(text) + 1) * sizeof(WCHAR));
    key.set_status(RegSetValueExW(key.key(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes));
    return key.status() == ERROR_SUCCESS;
}

bool RegisterEntries(RegistryKey& key, const WCHAR* clsid, const WCHAR* modulePath)
{
    if (!key.Create(ClassesKey) || !key.Create(clsid) || !WriteString(key, nullptr, ServerDescription))
        return false;
    if (!key.Create(L"InProcServer32") || !WriteString(key, nullptr, modulePath) ||
        !WriteString(key, L"ThreadingModel", L"Apartment"))
        return false;
    for (const WCHAR* handlerList : HandlerKeyTable)
        if (!key.Create(handlerList) || !key.Create(HandlerName) || !WriteString(key, nullptr, clsid))
            return false;
    return key.Create(ApprovedKey) && WriteString(key, clsid, ServerDescription);
}

bool UnregisterEntries(RegistryKey& key, const WCHAR* clsid)
{
    if (!key.Create(ClassesKey) || !key.DeleteKeyTree(clsid))
        return false;
    for (const WCHAR* handlerList : HandlerKeyTable)
        if (!key.Create(handlerList) || !key.DeleteKeyTree(HandlerName))
            return false;
    if (!key.Create(ApprovedKey))
        return false;
    key.set_status(RegDeleteValueW(key.key(), clsid));
    return key.status() == ERROR_SUCCESS;
}

}  // namespace

void FormatClsidString(const CLSID& clsid, WCHAR* buffer, int capacity)
{
    // "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}" without the C runtime's printf.
    static const WCHAR Hex[] = L"0123456789ABCDEF";
    WCHAR text[39];
    int n = 0;
    auto put = [&](unsigned long long value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            text[n++] = Hex[(value >> shift) & 0xF];
    };
    text[n++] = L'{';
    put(clsid.Data1, 8);
    text[n++] = L'-';
    put(clsid.Data2, 4);
    text[n++] = L'-';
    put(clsid.Data3, 4);
    text[n++] = L'-';
    put(clsid.Data4[0], 2);
    put(clsid.Data4[1], 2);
    text[n++] = L'-';
    for (int i = 2; i < 8; ++i)
        put(clsid.Data4[i], 2);
    text[n++] = L'}';
    text[n] = 0;
    brxlib::CopyText(buffer, static_cast<size_t>(capacity), text);
}

STDAPI DllRegisterServer()
{
    WCHAR clsid[128];
    FormatClsidString(CLSID_MorvaneShellExt, clsid, 128);
    WCHAR modulePath[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(ModuleInstance, modulePath, MAX_PATH);
    // A module path that does not fit would register a different file.
    if (length == 0 || length >= MAX_PATH)
        return FromStatus(ERROR_FILENAME_EXCED_RANGE);

    RegistryKey key;
    if (RegisterEntries(key, clsid, modulePath)) {
        key.Close();
        return S_OK;
    }
    const LONG status = key.status();
    DllUnregisterServer();
    key.Close();
    return FromStatus(status);
}

STDAPI DllUnregisterServer()
{
    WCHAR clsid[128];
    FormatClsidString(CLSID_MorvaneShellExt, clsid, 128);
    RegistryKey key;
    const bool removed = UnregisterEntries(key, clsid);
    const LONG status = key.status();
    key.Close();
    return removed ? S_OK : FromStatus(status);
}
