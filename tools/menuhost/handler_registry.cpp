#include "handler_registry.h"

#include "exit_codes.h"
#include "shell_selection.h"
#include "text_out.h"

namespace menuhost {

namespace {

std::wstring DefaultValue(HKEY root, const std::wstring& path)
{
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return {};
    return buffer;
}

bool KeyExists(const std::wstring& path)
{
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, path.c_str());
}

std::wstring ExtensionOf(const std::wstring& fullPath)
{
    const size_t dot = fullPath.find_last_of(L".\\");
    if (dot == std::wstring::npos || fullPath[dot] != L'.')
        return {};
    return fullPath.substr(dot);
}

std::wstring ProgIdOf(const std::wstring& fullPath)
{
    const std::wstring extension = ExtensionOf(fullPath);
    if (extension.empty())
        return {};
    std::wstring progId = DefaultValue(HKEY_CLASSES_ROOT, extension);
    if (progId.empty() && CompareStringOrdinal(extension.c_str(), -1, L".lnk", -1, TRUE) == CSTR_EQUAL)
        progId = L"lnkfile";
    return progId.empty() || !KeyExists(progId) ? std::wstring() : progId;
}

// A subkey names its handler by its default value, or else by its own name.
bool ReadHandler(const std::wstring& listPath, const std::wstring& subkey, HandlerEntry& entry)
{
    std::wstring text = DefaultValue(HKEY_CLASSES_ROOT, listPath + L"\\" + subkey);
    if (FAILED(CLSIDFromString(text.c_str(), &entry.clsid))) {
        text = subkey;
        if (FAILED(CLSIDFromString(text.c_str(), &entry.clsid)))
            return false;
    }
    wchar_t canonical[40] = {};
    StringFromGUID2(entry.clsid, canonical, 40);
    entry.clsidText = canonical;
    entry.source = L"HKCR\\" + listPath + L"\\" + subkey;
    return true;
}

std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            names.push_back(name);
    }
    return names;
}

bool Known(const std::vector<HandlerEntry>& handlers, const CLSID& clsid)
{
    for (const HandlerEntry& h : handlers)
        if (IsEqualCLSID(h.clsid, clsid))
            return true;
    return false;
}

}  // namespace

std::vector<std::wstring> ItemClassKeys(const std::wstring& fullPath)
{
    if (IsDriveRoot(fullPath))
        return {L"Drive", L"Folder"};
    const DWORD attributes = GetFileAttributesW(fullPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw HostError(kExitSetup, L"no such item: " + fullPath);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {L"Directory", L"Folder", L"AllFilesystemObjects"};
    std::vector<std::wstring> keys;
    const std::wstring progId = ProgIdOf(fullPath);
    if (!progId.empty())
        keys.push_back(progId);
    keys.push_back(L"*");
    keys.push_back(L"AllFilesystemObjects");
    return keys;
}

std::vector<std::wstring> DropTargetClassKeys(const std::wstring& fullPath)
{
    if (IsDriveRoot(fullPath))
        return {L"Drive", L"Folder"};
    const DWORD attributes = GetFileAttributesW(fullPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw HostError(kExitSetup, L"the drop target is not a folder: " + fullPath);
    return {L"Directory", L"Folder"};
}

std::vector<HandlerEntry> FindHandlers(const std::vector<std::wstring>& classKeys, const wchar_t* listName)
{
    std::vector<HandlerEntry> handlers;
    for (const std::wstring& classKey : classKeys) {
        const std::wstring listPath = classKey + L"\\shellex\\" + listName;
        RegKey list;
        if (!list.Open(HKEY_CLASSES_ROOT, listPath.c_str()))
            continue;
        for (const std::wstring& subkey : SubkeyNames(list.get())) {
            HandlerEntry entry;
            if (ReadHandler(listPath, subkey, entry) && !Known(handlers, entry.clsid))
                handlers.push_back(entry);
        }
    }
    return handlers;
}

RegKey OpenProgIdKey(const std::vector<std::wstring>& classKeys, std::wstring& name)
{
    RegKey key;
    for (const std::wstring& classKey : classKeys) {
        if (key.Open(HKEY_CLASSES_ROOT, classKey.c_str())) {
            name = L"HKCR\\" + classKey;
            return key;
        }
    }
    name = L"null";
    return key;
}

}  // namespace menuhost
