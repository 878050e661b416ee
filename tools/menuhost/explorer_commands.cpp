#include "explorer_commands.h"

#include <shobjidl.h>

#include "exit_codes.h"
#include "owners.h"
#include "shell_selection.h"
#include "text_out.h"

namespace menuhost {

namespace {

// The verbs of the package, in its order: extract, compress, convert.
const CLSID CommandClasses[3] = {
    {0xE36ED9A2, 0x33D2, 0x4554, {0x9A, 0xF8, 0xC9, 0x69, 0x29, 0xDA, 0xF0, 0x71}},
    {0xA9C48BF5, 0xFB2D, 0x4A1D, {0xA7, 0x49, 0xBA, 0x10, 0x34, 0x40, 0x1A, 0x06}},
    {0xF2DD079B, 0xAFA4, 0x49FE, {0x8E, 0x53, 0x7D, 0xDF, 0xAF, 0x16, 0x30, 0xF9}},
};

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// A string the command gave (CoTaskMemAlloc), or "!<HRESULT>".
std::wstring Taken(HRESULT hr, LPWSTR text)
{
    std::wstring result = SUCCEEDED(hr) && text ? std::wstring(text) : L"!" + Hex(static_cast<unsigned long>(hr));
    CoTaskMemFree(text);
    return result;
}

std::wstring TitleOf(IExplorerCommand* command, IShellItemArray* items)
{
    LPWSTR title = nullptr;
    const HRESULT hr = command->GetTitle(items, &title);
    return Taken(hr, title);
}

ComPtr<IExplorerCommand> CreateCommand(GetClassObjectFunction getClassObject, const CLSID& clsid)
{
    ComPtr<IClassFactory> factory;
    ComPtr<IExplorerCommand> command;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
    if (SUCCEEDED(hr))
        hr = factory->CreateInstance(nullptr, IID_IExplorerCommand, command.PutVoid());
    if (FAILED(hr)) {
        wchar_t text[64] = {};
        StringFromGUID2(clsid, text, 64);
        throw HostError(kExitHandlerFailed, std::wstring(L"no command object for ") + text + L": " +
                                                Hex(static_cast<unsigned long>(hr)));
    }
    return command;
}

std::vector<ComPtr<IExplorerCommand>> SubCommands(IExplorerCommand* root)
{
    std::vector<ComPtr<IExplorerCommand>> list;
    ComPtr<IEnumExplorerCommand> commands;
    if (FAILED(root->EnumSubCommands(commands.Put())))
        return list;
    IExplorerCommand* next = nullptr;
    ULONG fetched = 0;
    while (commands->Next(1, &next, &fetched) == S_OK && fetched == 1) {
        ComPtr<IExplorerCommand> owned;
        *owned.Put() = next;
        list.push_back(owned);
    }
    return list;
}

// "title  [shown, sub-commands, icon X]" or "title  [hidden]".
std::wstring Describe(IExplorerCommand* root, IShellItemArray* items, bool* shown)
{
    EXPCMDSTATE state = ECS_HIDDEN;
    const HRESULT hr = root->GetState(items, TRUE, &state);
    *shown = SUCCEEDED(hr) && state == ECS_ENABLED;
    std::wstring text = TitleOf(root, items) + L"  [";
    if (FAILED(hr))
        return text + L"GetState " + Hex(static_cast<unsigned long>(hr)) + L"]";
    if (!*shown)
        return text + (state == ECS_HIDDEN ? L"hidden]" : L"state " + Hex(state) + L"]");
    EXPCMDFLAGS flags = 0;
    root->GetFlags(&flags);
    text += (flags & ECF_HASSUBCOMMANDS) ? L"shown, sub-commands" : L"shown";
    LPWSTR icon = nullptr;
    const HRESULT iconResult = root->GetIcon(items, &icon);
    text += iconResult == E_NOTIMPL ? L", no icon" : L", icon " + Taken(iconResult, icon);
    return text + L"]";
}

}  // namespace

void ListExplorerCommands(const std::wstring& dll, const std::vector<std::wstring>& fullPaths,
                          const std::wstring& invoke)
{
    Out(L"new menu (IExplorerCommand) of " + std::to_wstring(fullPaths.size()) + L" item(s)");
    std::vector<Pidl> ids;
    std::vector<PCIDLIST_ABSOLUTE> raw;
    for (const std::wstring& path : fullPaths) {
        Out(L"item " + path);
        ids.push_back(ParseAbsolute(path));
        raw.push_back(ids.back().get());
    }
    ComPtr<IShellItemArray> items;
    HRESULT hr = SHCreateShellItemArrayFromIDLists(static_cast<UINT>(raw.size()), raw.data(), items.Put());
    if (FAILED(hr))
        throw HostError(kExitSetup, L"SHCreateShellItemArrayFromIDLists failed: " + Hex(static_cast<unsigned long>(hr)));

    // Kept loaded to the end: the host exits with its objects released.
    const HMODULE module = LoadLibraryW(dll.c_str());
    const auto getClassObject = module ? reinterpret_cast<GetClassObjectFunction>(
                                             reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
                                       : nullptr;
    if (!getClassObject)
        throw HostError(kExitNoHandler, L"cannot load DllGetClassObject of " + dll);
    Out(L"classes of " + dll);
    Out(L"entries:");
    const std::wstring entryTitle = invoke.substr(0, invoke.find(L'/'));
    const std::wstring subTitle = invoke.find(L'/') == std::wstring::npos ? L"" : invoke.substr(invoke.find(L'/') + 1);
    ComPtr<IExplorerCommand> picked;
    for (const CLSID& clsid : CommandClasses) {
        ComPtr<IExplorerCommand> root = CreateCommand(getClassObject, clsid);
        bool shown = false;
        Out(Describe(root.get(), items.get(), &shown));
        if (!shown)
            continue;
        const bool pickedEntry = TitleOf(root.get(), items.get()) == entryTitle;
        for (const ComPtr<IExplorerCommand>& sub : SubCommands(root.get())) {
            const std::wstring title = TitleOf(sub.get(), items.get());
            Out(L"  " + title);
            if (pickedEntry && title == subTitle)
                picked = sub;
        }
    }
    if (invoke.empty())
        return;
    if (!picked)
        throw HostError(kExitNoSuchItem, L"no shown sub-command at \"" + invoke + L"\"");
    Out(L"invoke " + invoke);
    hr = picked->Invoke(items.get(), nullptr);
    Out(L"  Invoke = " + Hex(static_cast<unsigned long>(hr)));
    if (FAILED(hr))
        throw HostError(kExitInvokeFailed, L"Invoke failed: " + Hex(static_cast<unsigned long>(hr)));
}

}  // namespace menuhost
