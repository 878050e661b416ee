// Loads each handler as Explorer does and lets it add its items to the menu:
// CoCreateInstance, IShellExtInit::Initialize, IContextMenu::QueryContextMenu.
#pragma once
#include <string>
#include <vector>

#include "handler_registry.h"
#include "owners.h"

namespace menuhost {

// What every handler's Initialize gets.
struct InitArgs {
    PCIDLIST_ABSOLUTE folder = nullptr;  // drop target, null for a context menu
    std::wstring folderName;             // for the report
    IDataObject* data = nullptr;
    HKEY progId = nullptr;
    std::wstring progIdName;
};

struct LoadedHandler {
    HandlerEntry entry;
    ComPtr<IContextMenu> menu;
    UINT idCmdFirst = 0;
    UINT count = 0;  // ids idCmdFirst .. idCmdFirst + count - 1 are its commands
};

class HandlerHost {
public:
    static const UINT FirstId = 1;
    static const UINT LastId = 0x7FFF;

    HandlerHost(HMENU menu, UINT indexMenu, UINT flags) : menu_(menu), indexMenu_(indexMenu), flags_(flags) {}

    // Loads one handler and queries it, printing each step's HRESULT.
    void Add(const HandlerEntry& entry, const InitArgs& args);

    // The handler whose range holds the id, or null (host items).
    const LoadedHandler* Owner(UINT id) const;
    bool anyFailed() const { return failed_; }

private:
    bool Check(const wchar_t* step, HRESULT hr);
    void Query(LoadedHandler& handler);

    HMENU menu_;
    UINT indexMenu_;
    UINT flags_;
    UINT nextId_ = FirstId;
    bool failed_ = false;
    std::vector<LoadedHandler> handlers_;
};

}  // namespace menuhost
