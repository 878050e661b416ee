#include "host_menu.h"

#include "exit_codes.h"

namespace menuhost {

namespace {

struct HostItem {
    const wchar_t* label;  // null: separator
    bool beforeHandlers;
};

const HostItem ContextItems[] = {{L"&Open", true}, {L"P&roperties", false}};
const HostItem DropItems[] = {{L"&Copy here", true},
                              {L"&Move here", true},
                              {L"Create &shortcuts here", true},
                              {nullptr, false},
                              {L"Cancel", false}};

template <size_t N>
HostMenu Build(const HostItem (&items)[N])
{
    HostMenu host = {CreatePopupMenu(), 0};
    if (!host.menu)
        throw HostError(kExitSetup, L"CreatePopupMenu failed");
    UINT id = FirstHostId;
    for (const HostItem& item : items) {
        if (item.label)
            AppendMenuW(host.menu, MF_STRING, id++, item.label);
        else
            AppendMenuW(host.menu, MF_SEPARATOR, 0, nullptr);
        if (item.beforeHandlers)
            ++host.indexMenu;
    }
    return host;
}

}  // namespace

HostMenu CreateHostMenu(Mode mode)
{
    return mode == Mode::Drop ? Build(DropItems) : Build(ContextItems);
}

}  // namespace menuhost
