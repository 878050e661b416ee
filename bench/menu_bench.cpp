// Right-click latency: the full 25-item context menu.
#include <string>

#include "benchmarks.h"
#include "report.h"
#include "shell_item.h"
#include "shellext/menu_tables.h"
#include "testkit/scratch_folder.h"
#include "testkit/settings_keys.h"
#include "timing.h"

namespace {

const wchar_t* const SwitchNames[] = {L"m_chkCMCompress", L"m_chkCMExtract", L"m_chkDDCompress", L"m_chkDDExtract"};
const UINT FirstId = 1;
const UINT LastId = 0x7FFF;
const int FullMenuItems = 25;

void EnableEveryMenu()
{
    for (const wchar_t* name : SwitchNames)
        WriteDwordSetting(ShellKey, name, 1);
    for (const CompressFormat& format : CompressFormatTable)
        WriteDwordSetting(CompressMenuKey, format.valueName, 1);
    WriteDwordSetting(ExtensionKey, L"AdditionalMenu", 1);
}

HKEY CreateKey(const wchar_t* path)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return key;
}

DWORD ReadDword(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return type == REG_DWORD ? value : 0;
}

// What any handler must do for this menu, done bare: the three key opens,
// the 19 value reads, three popups, 25 items and two separators.
void FloorMenu(HMENU menu)
{
    HKEY extension = CreateKey(L"Software\\Brantix\\Morvane_x64_shell_extension");
    const bool conversion = ReadDword(extension, L"AdditionalMenu") != 0;
    RegCloseKey(extension);
    HKEY shell = CreateKey(L"Software\\Quodle\\Morvane\\m_tbsShell");
    bool on[4];
    for (int i = 0; i < 4; ++i)
        on[i] = ReadDword(shell, SwitchNames[i]) != 0;
    RegCloseKey(shell);
    const bool compress = on[0];
    const bool extract = on[1];

    UINT id = FirstId;
    UINT position = 0;
    if (compress || extract)
        InsertMenuW(menu, position++, MF_SEPARATOR | MF_BYPOSITION, 0, nullptr);
    if (extract) {
        HMENU popup = CreatePopupMenu();
        InsertMenuW(menu, position++, MF_POPUP | MF_BYPOSITION, reinterpret_cast<UINT_PTR>(popup), MenuLabel::Extract);
        UINT i = 0;
        for (const MenuCommand& item : ExtractPopupItems)
            InsertMenuW(popup, i++, MF_STRING | MF_BYPOSITION, id++, item.label);
    }
    if (compress) {
        HMENU popup = CreatePopupMenu();
        InsertMenuW(menu, position++, MF_POPUP | MF_BYPOSITION, reinterpret_cast<UINT_PTR>(popup), MenuLabel::Compress);
        HKEY formats = CreateKey(L"Software\\Quodle\\Morvane\\m_chkCompressMenu");
        UINT i = 0;
        for (const CompressFormat& format : CompressFormatTable)
            if (ReadDword(formats, format.valueName))
                InsertMenuW(popup, i++, MF_STRING | MF_BYPOSITION, id++, format.label);
        RegCloseKey(formats);
    }
    if (compress && conversion) {
        HMENU popup = CreatePopupMenu();
        InsertMenuW(menu, position++, MF_POPUP | MF_BYPOSITION, reinterpret_cast<UINT_PTR>(popup), MenuLabel::Convert);
        UINT i = 0;
        for (const ConversionTarget& target : ConversionTargets)
            InsertMenuW(popup, i++, MF_STRING | MF_BYPOSITION, id++, target.label);
    }
    if (compress || extract)
        InsertMenuW(menu, position, MF_SEPARATOR | MF_BYPOSITION, 0, nullptr);
}

// "5 [0 4 14 7 0]": the top-level entries and each one's popup size.
std::string MenuShape(HMENU menu)
{
    const int count = GetMenuItemCount(menu);
    std::string shape = Format("%d [", count);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(menu, i);
        shape += Format(i ? " %d" : "%d", popup ? GetMenuItemCount(popup) : 0);
    }
    return shape + "]";
}

}  // namespace

void MeasureRightClick(const LoadedModule& module)
{
    EnableEveryMenu();
    ScratchFolder folder(L"menu");
    const std::wstring selected = folder / L"Quarterly report.tar";
    TryWriteBytes(selected, std::string(1024, '\0'));
    ComPtr<IDataObject> data = ShellDataObject(selected);
    ComPtr<IShellExtInit> init = module.NewObject();
    ComPtr<IContextMenu> menu;
    if (!data || !init || FAILED(init->Initialize(nullptr, data.get(), nullptr)) ||
        FAILED(init->QueryInterface(IID_IContextMenu, menu.put_void()))) {
        AddRow("right-click menu, 25 items", "error", "-", "-", "<= 1.5x", Verdict::Missed);
        AddNote("right-click: the object could not be created or initialized with a shell data object");
        return;
    }

    HRESULT result = S_OK;
    std::string moduleShape, floorShape;
    auto measured = [&] {
        HMENU host = CreatePopupMenu();
        const double start = NowMs();
        result = menu->QueryContextMenu(host, 0, FirstId, LastId, CMF_NORMAL);
        const double elapsed = NowMs() - start;
        moduleShape = MenuShape(host);
        DestroyMenu(host);
        return elapsed;
    };
    auto floor = [&] {
        HMENU host = CreatePopupMenu();
        const double start = NowMs();
        FloorMenu(host);
        const double elapsed = NowMs() - start;
        floorShape = MenuShape(host);
        DestroyMenu(host);
        return elapsed;
    };
    const PairedMedians t = MedianPair(20, 201, measured, floor);
    AddRatioRow("right-click menu, 25 items", t.value, t.floor, 1.5);
    AddNote("right-click: QueryContextMenu returned %d items (want %d); menu %s, floor menu %s; "
            "median of 201 alternating runs, a fresh HMENU each, made and destroyed outside the timing",
            HRESULT_CODE(result), FullMenuItems, moduleShape.c_str(), floorShape.c_str());
}
