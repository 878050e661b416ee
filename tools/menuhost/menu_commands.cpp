#include "menu_commands.h"

#include <shellapi.h>

#include "exit_codes.h"
#include "text_out.h"

namespace menuhost {

namespace {

std::wstring CommandString(IContextMenu* menu, UINT offset, UINT type)
{
    wchar_t text[512] = {};
    const HRESULT hr = menu->GetCommandString(offset, type, nullptr, reinterpret_cast<CHAR*>(text), 512);
    if (FAILED(hr))
        return L"!" + Hex(static_cast<unsigned long>(hr));
    text[511] = 0;
    return L"\"" + std::wstring(text) + L"\"";
}

}  // namespace

std::wstring CommandStrings(const HandlerHost& host, const MenuNode& node)
{
    const LoadedHandler* owner = host.Owner(node.id);
    if (!owner)
        return {};
    const UINT offset = node.id - owner->idCmdFirst;
    return L" verb " + CommandString(owner->menu.get(), offset, GCS_VERBW) + L" help " +
           CommandString(owner->menu.get(), offset, GCS_HELPTEXTW);
}

void InvokeByLabelPath(const HandlerHost& host, const std::vector<MenuNode>& menu, const std::wstring& path)
{
    const MenuNode* node = FindByLabelPath(menu, path);
    if (!node || node->kind != MenuNode::Command)
        throw HostError(kExitNoSuchItem, L"no command item at \"" + path + L"\"");
    const LoadedHandler* owner = host.Owner(node->id);
    if (!owner)
        throw HostError(kExitNoSuchItem, L"\"" + path + L"\" is the host's own item, not a handler's");

    const UINT offset = node->id - owner->idCmdFirst;
    // Explorer passes the window the menu was picked from: a handler owns
    // its messages by it.
    struct PickingWindow {
        HWND window = CreateWindowExW(0, L"STATIC", L"menuhost", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ~PickingWindow() { DestroyWindow(window); }
    } picking;
    CMINVOKECOMMANDINFOEX info = {};
    info.cbSize = sizeof(info);
    info.fMask = CMIC_MASK_UNICODE;
    info.hwnd = picking.window;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.lpVerbW = MAKEINTRESOURCEW(offset);
    info.nShow = SW_SHOWNORMAL;
    Out(L"invoke " + path + L" [id " + std::to_wstring(node->id) + L"] handler " + owner->entry.clsidText +
        L" verb " + std::to_wstring(offset));
    const HRESULT hr = owner->menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
    Out(L"  InvokeCommand = " + Hex(static_cast<unsigned long>(hr)));
    if (FAILED(hr))
        throw HostError(kExitInvokeFailed, L"InvokeCommand failed: " + Hex(static_cast<unsigned long>(hr)));
}

}  // namespace menuhost
