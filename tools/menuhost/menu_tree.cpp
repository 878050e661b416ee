#include "menu_tree.h"

#include "text_out.h"

namespace menuhost {

namespace {

// Deeper menus than this are not read (a handler could make a cycle).
const int MaxDepth = 16;

std::wstring ItemText(HMENU menu, int position)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) || info.cch == 0)
        return {};
    std::wstring text(info.cch + 1, L'\0');
    info.dwTypeData = &text[0];
    info.cch = static_cast<UINT>(text.size());
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info))
        return {};
    text.resize(info.cch);
    return text;
}

std::vector<MenuNode> ReadLevel(HMENU menu, int depth)
{
    std::vector<MenuNode> nodes;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
        MenuNode node;
        node.position = i;
        if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
            node.id = info.wID;
            if (info.fType & MFT_SEPARATOR)
                node.kind = MenuNode::Separator;
            else if (info.hSubMenu)
                node.kind = MenuNode::Popup;
        }
        if (node.kind != MenuNode::Separator)
            node.label = ItemText(menu, i);
        if (node.kind == MenuNode::Popup && depth < MaxDepth)
            node.children = ReadLevel(info.hSubMenu, depth + 1);
        nodes.push_back(node);
    }
    return nodes;
}

void PrintLevel(const std::vector<MenuNode>& nodes, const std::wstring& indent,
                const std::function<std::wstring(const MenuNode&)>& extra)
{
    for (const MenuNode& node : nodes) {
        std::wstring line = indent + std::to_wstring(node.position) + L" ";
        if (node.kind == MenuNode::Separator) {
            Out(line + L"----");
            continue;
        }
        line += node.label;
        if (node.kind == MenuNode::Command)
            Out(line + L" [id " + std::to_wstring(node.id) + L"]" + (extra ? extra(node) : std::wstring()));
        else
            Out(line);
        PrintLevel(node.children, indent + L"  ", extra);
    }
}

std::vector<std::wstring> SplitLabels(const std::wstring& path)
{
    std::vector<std::wstring> labels;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find(L'/', start);
        labels.push_back(path.substr(start, slash - start));
        if (slash == std::wstring::npos)
            return labels;
        start = slash + 1;
    }
}

}  // namespace

std::vector<MenuNode> ReadMenu(HMENU menu) { return ReadLevel(menu, 0); }

void PrintMenu(const std::vector<MenuNode>& nodes, const std::function<std::wstring(const MenuNode&)>& extra)
{
    PrintLevel(nodes, L"", extra);
}

const MenuNode* FindByLabelPath(const std::vector<MenuNode>& nodes, const std::wstring& path)
{
    const std::vector<MenuNode>* level = &nodes;
    const MenuNode* found = nullptr;
    for (const std::wstring& label : SplitLabels(path)) {
        found = nullptr;
        for (const MenuNode& node : *level) {
            if (node.kind != MenuNode::Separator && node.label == label) {
                found = &node;
                break;
            }
        }
        if (!found)
            return nullptr;
        level = &found->children;
    }
    return found;
}

}  // namespace menuhost
