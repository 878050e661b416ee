#include "explorer_commands.h"

#include <shobjidl.h>

#include "exit_codes.h"
#include "owners.h"
#include "shell_selection.h"
#include "text_out.h"

namespace menuhost {

namespace {

// The package's one verb: "Morvane".
const CLSID CommandClass = {0x8480CFB9, 0xF16F, 0x414E, {0x87, 0xAE, 0xA4, 0x84, 0x5A, 0xA7, 0x28, 0x4C}};

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(WINAPI*)();

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

// "title  [shown, sub-commands, icon X]" or "title  [hidden]"; a plain
// command shown is its title alone.
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
    if (!(flags & ECF_HASSUBCOMMANDS))
        return TitleOf(root, items);
    text += L"shown, sub-commands";
    LPWSTR icon = nullptr;
    const HRESULT iconResult = root->GetIcon(items, &icon);
    text += iconResult == E_NOTIMPL ? L", no icon" : L", icon " + Taken(iconResult, icon);
    return text + L"]";
}

// Prints command and, when shown, what it opens, each level indented by two
// more; picked becomes the command at the titles of invoke ("a/b").
void ListCommand(IExplorerCommand* command, IShellItemArray* items, const std::wstring& indent,
                 const std::wstring& path, const std::wstring& invoke, ComPtr<IExplorerCommand>& picked)
{
    bool shown = false;
    Out(indent + Describe(command, items, &shown));
    if (shown && !invoke.empty() && path == invoke) {
        command->AddRef();
        *picked.Put() = command;
    }
    if (!shown)
        return;
    for (const ComPtr<IExplorerCommand>& sub : SubCommands(command)) {
        const std::wstring title = TitleOf(sub.get(), items);
        ListCommand(sub.get(), items, indent + L"  ", path.empty() ? title : path + L"/" + title, invoke, picked);
    }
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
    ComPtr<IExplorerCommand> picked;
    {
        ComPtr<IExplorerCommand> root = CreateCommand(getClassObject, CommandClass);
        ListCommand(root.get(), items.get(), L"", L"", invoke, picked);
    }
    if (invoke.empty())
        return;
    if (!picked)
        throw HostError(kExitNoSuchItem, L"no shown sub-command at \"" + invoke + L"\"");
    Out(L"invoke " + invoke);
    hr = picked->Invoke(items.get(), nullptr);
    Out(L"  Invoke = " + Hex(static_cast<unsigned long>(hr)));
    // A refusal's box runs on a thread of the DLL, which holds the module
    // until it is answered: exiting before would take the box away.
    picked.Reset();
    const auto canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    const DWORD start = GetTickCount();
    while (canUnloadNow && canUnloadNow() != S_OK && GetTickCount() - start < 60000)
        Sleep(20);
    if (FAILED(hr))
        throw HostError(kExitInvokeFailed, L"Invoke failed: " + Hex(static_cast<unsigned long>(hr)));
}

}  // namespace menuhost
