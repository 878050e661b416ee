// menuhost.exe: an Explorer-like host of the registered context-menu and
// drag-and-drop handlers, for tests and demos. See UsageText in options.cpp.
#include <windows.h>

#include "exit_codes.h"
#include "explorer_commands.h"
#include "handler_host.h"
#include "handler_registry.h"
#include "host_menu.h"
#include "menu_commands.h"
#include "menu_picture.h"
#include "menu_tree.h"
#include "options.h"
#include "owners.h"
#include "shell_selection.h"
#include "text_out.h"

namespace menuhost {

namespace {

std::wstring Joined(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (const std::wstring& name : names)
        text += (text.empty() ? L"" : L", ") + name;
    return text;
}

void PrintRequest(const Options& options, const std::vector<std::wstring>& items,
                  const std::vector<std::wstring>& classKeys)
{
    if (options.mode == Mode::Drop)
        Out(L"drag menu onto " + options.target);
    else
        Out(L"context menu of " + std::to_wstring(items.size()) + L" item(s)");
    for (const std::wstring& item : items)
        Out(L"item " + item);
    Out(L"class keys: " + Joined(classKeys));
}

int Run(const Options& given)
{
    // Declared first: released last, after every handler.
    Apartment apartment;
    if (FAILED(apartment.status()))
        throw HostError(kExitSetup, L"CoInitializeEx failed: " + Hex(static_cast<unsigned long>(apartment.status())));

    Options options = given;
    if (options.mode == Mode::Commands) {
        std::vector<std::wstring> items;
        for (const std::wstring& item : options.items)
            items.push_back(FullPath(item));
        ListExplorerCommands(FullPath(options.dll), items, options.invoke);
        return kExitOk;
    }
    const bool drop = options.mode == Mode::Drop;
    std::vector<std::wstring> items;
    for (const std::wstring& item : options.items)
        items.push_back(FullPath(item));
    if (drop)
        options.target = FullPath(options.target);
    const std::vector<std::wstring> classKeys = drop ? DropTargetClassKeys(options.target) : ItemClassKeys(items[0]);
    PrintRequest(options, items, classKeys);

    const ShellSelection selection = SelectItems(items);
    Pidl targetPidl;
    if (drop)
        targetPidl = ParseAbsolute(options.target);
    const std::vector<HandlerEntry> handlers =
        FindHandlers(classKeys, drop ? L"DragDropHandlers" : L"ContextMenuHandlers");

    InitArgs args;
    args.folder = targetPidl.get();
    args.folderName = drop ? options.target : L"null";
    args.data = selection.data.get();
    const RegKey progId = OpenProgIdKey(classKeys, args.progIdName);
    args.progId = progId.get();

    const HostMenu hostMenu = CreateHostMenu(options.mode);
    const MenuOwner menu(hostMenu.menu);
    Out(L"host items: " + std::to_wstring(GetMenuItemCount(menu.get())) + L", handlers insert at indexMenu " +
        std::to_wstring(hostMenu.indexMenu));
    HandlerHost host(menu.get(), hostMenu.indexMenu, options.flags);
    for (const HandlerEntry& entry : handlers)
        host.Add(entry, args);

    const std::vector<MenuNode> tree = ReadMenu(menu.get());
    Out(L"menu:");
    PrintMenu(tree, [&](const MenuNode& node) { return options.verbs ? CommandStrings(host, node) : L""; });

    int code = kExitOk;
    if (handlers.empty()) {
        Err(L"menuhost: no handler is registered for these items");
        code = kExitNoHandler;
    } else if (host.anyFailed()) {
        Err(L"menuhost: a handler failed (see the HRESULTs above)");
        code = kExitHandlerFailed;
    }
    if (!options.invoke.empty())
        InvokeByLabelPath(host, tree, options.invoke);
    if (!options.png.empty())
        PictureMenu(menu.get(), tree, FullPath(options.png), options.open);
    return code;
}

}  // namespace

}  // namespace menuhost

int wmain(int argc, wchar_t** argv)
{
    using namespace menuhost;
    try {
        return Run(ParseOptions(argc, argv));
    } catch (const HostError& error) {
        Err(L"menuhost: " + error.message());
        return error.code();
    } catch (const std::exception& error) {
        Err(L"menuhost: " + std::wstring(error.what(), error.what() + strlen(error.what())));
        return kExitSetup;
    }
}
