// IContextMenu::QueryContextMenu: the extract, compress and convert entries.
#include "shellext/menu_settings.h"
#include "shellext/menu_tables.h"
#include "shellext/shell_ext.h"

namespace {

// Inserts command items with consecutive ids from idCmdFirst, never above
// idCmdLast (the rest of the range belongs to other handlers), and records
// each one in the object's menu item list.
class MenuBuilder {
public:
    MenuBuilder(CShellExt& ext, UINT idCmdFirst, UINT idCmdLast)
        : m_ext(ext), m_idCmdFirst(idCmdFirst), m_idCmdLast(idCmdLast), m_outOfMemory(false) {}

    // InsertCommandItem: the item at position with the id of its list entry.
    // Returns false when the item was not recorded.
    bool InsertCommandItem(HMENU menu, UINT position, int code, const WCHAR* label)
    {
        const unsigned long long id = static_cast<unsigned long long>(m_idCmdFirst) + m_ext.MenuItems.count;
        if (m_outOfMemory || id > m_idCmdLast)
            return false;
        // Inserted before it is recorded; a failed insertion still takes its id, so ids and entries stay aligned.
        InsertMenuW(menu, position, MF_STRING | MF_BYPOSITION, static_cast<UINT_PTR>(id), label);
        const CShellExt::MENU_ITEM_INFO item = {label, code};
        if (!m_ext.MenuItems.append(item)) {
            m_outOfMemory = true;
            return false;
        }
        return true;
    }

    HMENU InsertPopup(HMENU menu, UINT position, const WCHAR* label)
    {
        HMENU popup = CreatePopupMenu();
        // A popup that is not in the menu has no owner to destroy it; its
        // items then go nowhere, as they would have in the lost popup.
        if (popup &&
            !InsertMenuW(menu, position, MF_POPUP | MF_BYPOSITION, reinterpret_cast<UINT_PTR>(popup), label)) {
            DestroyMenu(popup);
            popup = nullptr;
        }
        return popup;
    }

    bool outOfMemory() const { return m_outOfMemory; }

private:
    CShellExt& m_ext;
    UINT m_idCmdFirst;
    UINT m_idCmdLast;
    bool m_outOfMemory;
};

void InsertSeparator(HMENU menu, UINT position)
{
    InsertMenuW(menu, position, MF_SEPARATOR | MF_BYPOSITION, 0, nullptr);
}

// A failed QueryContextMenu must leave the menu as it was: the shell keeps
// what a failing handler inserted and hands its ids to the next handler.
// Items went in at indexMenu, or at the end when indexMenu lay past it.
void RemoveInsertedItems(HMENU menu, UINT indexMenu, int countBefore)
{
    if (countBefore < 0)
        return;
    const UINT start = indexMenu < static_cast<UINT>(countBefore) ? indexMenu : static_cast<UINT>(countBefore);
    for (int n = GetMenuItemCount(menu) - countBefore; n > 0; --n)
        DeleteMenu(menu, start, MF_BYPOSITION);
}

void InsertCompressFormats(MenuBuilder& builder, HMENU popup)
{
    const CompressFormat* enabled[14];
    const int count = ReadEnabledFormats(enabled);
    UINT position = 0;
    for (int i = 0; i < count; ++i) {
        if (builder.InsertCommandItem(popup, position, enabled[i]->code, enabled[i]->label))
            ++position;
    }
}

}  // namespace

STDMETHODIMP CShellExt::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                         UINT uFlags)
{
    MenuItems.clear();
    // CMF_DEFAULTONLY, CMF_VERBSONLY and CMF_NOVERBS refuse unless Explorer asks with CMF_EXPLORE.
    if ((uFlags & 0xF) != 0 && !(uFlags & CMF_EXPLORE))
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    if (Selection.count == 0)
        return E_INVALIDARG;

    const bool dragDrop = TargetFolder[0] != 0;
    const int countBefore = GetMenuItemCount(hmenu);
    RegistryKey settings;
    const EffectiveSwitches on = ReadEffectiveSwitches(settings, dragDrop, Selection.count);
    MenuBuilder builder(*this, idCmdFirst, idCmdLast);
    UINT position = indexMenu;

    if (on.cmCompress || on.cmExtract)
        InsertSeparator(hmenu, position++);
    if (on.ddExtract)
        builder.InsertCommandItem(hmenu, position++, 0, MenuLabel::ExtractHere);
    if (on.cmExtract) {
        HMENU popup = builder.InsertPopup(hmenu, position++, MenuLabel::Extract);
        UINT i = 0;
        for (const MenuCommand& item : ExtractPopupItems)
            builder.InsertCommandItem(popup, i++, item.code, item.label);
    }
    if (on.cmCompress || on.ddCompress) {
        HMENU popup = builder.InsertPopup(hmenu, position++, dragDrop ? MenuLabel::CompressHere : MenuLabel::Compress);
        InsertCompressFormats(builder, popup);
    }
    if (on.conversion && (on.cmCompress || on.ddCompress)) {
        HMENU popup = builder.InsertPopup(hmenu, position++, dragDrop ? MenuLabel::ConvertHere : MenuLabel::Convert);
        UINT i = 0;
        for (const ConversionTarget& target : ConversionTargets)
            builder.InsertCommandItem(popup, i++, target.code, target.label);
    }
    if (on.cmCompress || on.cmExtract || on.ddCompress || on.ddExtract)
        InsertSeparator(hmenu, position);

    if (builder.outOfMemory()) {
        MenuItems.clear();
        RemoveInsertedItems(hmenu, indexMenu, countBefore);
        return E_OUTOFMEMORY;
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, MenuItems.count);
}
