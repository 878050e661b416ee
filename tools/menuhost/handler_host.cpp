#include "handler_host.h"

#include "text_out.h"

namespace menuhost {

bool HandlerHost::Check(const wchar_t* step, HRESULT hr)
{
    if (FAILED(hr)) {
        failed_ = true;
        Out(std::wstring(L"  ") + step + L" = " + Hex(static_cast<unsigned long>(hr)));
        return false;
    }
    return true;
}

void HandlerHost::Add(const HandlerEntry& entry, const InitArgs& args)
{
    Out(L"handler " + entry.clsidText + L" " + entry.source);
    ComPtr<IShellExtInit> init;
    HRESULT hr = CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.PutVoid());
    if (!Check(L"CoCreateInstance(CLSCTX_INPROC_SERVER, IID_IShellExtInit)", hr))
        return;

    hr = init->Initialize(args.folder, args.data, args.progId);
    Out(L"  Initialize(pidlFolder " + args.folderName + L", data object, hkeyProgID " + args.progIdName +
        L") = " + Hex(static_cast<unsigned long>(hr)));
    if (FAILED(hr)) {
        failed_ = true;
        return;
    }
    LoadedHandler handler;
    handler.entry = entry;
    hr = init.As(IID_IContextMenu, handler.menu);
    if (!Check(L"QueryInterface(IID_IContextMenu)", hr))
        return;
    Query(handler);
}

void HandlerHost::Query(LoadedHandler& handler)
{
    const int before = GetMenuItemCount(menu_);
    const HRESULT hr = handler.menu->QueryContextMenu(menu_, indexMenu_, nextId_, LastId, flags_);
    Out(L"  QueryContextMenu(indexMenu " + std::to_wstring(indexMenu_) + L", idCmdFirst " +
        std::to_wstring(nextId_) + L", idCmdLast " + Hex(LastId, 4) + L", uFlags " + Hex(flags_) +
        L") = " + Hex(static_cast<unsigned long>(hr)));
    if (FAILED(hr)) {
        failed_ = true;
        return;
    }
    handler.idCmdFirst = nextId_;
    handler.count = HRESULT_CODE(hr);
    nextId_ += handler.count;
    // The next handler's items follow this one's.
    const int added = GetMenuItemCount(menu_) - before;
    if (added > 0)
        indexMenu_ += static_cast<UINT>(added);
    handlers_.push_back(handler);
}

const LoadedHandler* HandlerHost::Owner(UINT id) const
{
    for (const LoadedHandler& handler : handlers_)
        if (id >= handler.idCmdFirst && id - handler.idCmdFirst < handler.count)
            return &handler;
    return nullptr;
}

}  // namespace menuhost
