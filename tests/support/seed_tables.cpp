#include "support/seed_tables.h"

namespace seed {

const CompressFormat CompressFormats[14] = {
    {L".lzh", L"lzh", L"/c:lzh", 5},
    {L".zip", L"zip", L"/c:zip", 6},
    {L".zip (pass)", L"zip (pass)", L"/c:zip /p", 7},
    {L".bh", L"bh", L"/c:bh", 8},
    {L".bz2", L"bz2", L"/c:bz2", 9},
    {L".cab", L"cab", L"/c:cab", 10},
    {L".gz", L"gz", L"/c:gz", 11},
    {L".tar", L"tar", L"/c:tar", 12},
    {L".tar.bz2", L"tar.bz2", L"/c:tbz", 13},
    {L".tar.gz", L"tar.gz", L"/c:tgz", 14},
    {L".exe", L"exe", L"/x /c:zip", 15},
    {L".uue", L"uue", L"/c:uue", 16},
    {L".xxe", L"xxe", L"/c:xxe", 17},
    {L".b64", L"b64", L"/c:b64", 18},
};

std::vector<std::wstring> EveryFormat()
{
    std::vector<std::wstring> names;
    for (const CompressFormat& format : CompressFormats)
        names.push_back(format.valueName);
    return names;
}

const ConversionTarget ConversionTargets[7] = {
    {L".lzh", L"/c:lzh", L".lzh", 19},
    {L".zip", L"/c:zip", L".zip", 20},
    {L".cab", L"/c:cab", L".cab", 21},
    {L".tar", L"/c:tar", L".tar", 22},
    {L".tar.bz2", L"/c:tbz", L".tbz", 23},
    {L".tar.gz", L"/c:tgz", L".tgz", 24},
    {L".exe", L"/x /c:zip", L".exe", 25},
};

const wchar_t ExtractHere[] = L"ここに解凍(&E)";
const wchar_t ExtractPopup[] = L"解凍(&E)";
const wchar_t ExtractCommands[4][16] = {
    L"デスクトップに解凍(&D)",
    L"ここに解凍(&H)",
    L"出力先を指定して解凍(&S)",
    L"テンポラリモードで解凍(&T)",
};
const wchar_t CompressPopup[] = L"圧縮(&C)";
const wchar_t CompressHerePopup[] = L"ここに圧縮(&C)";
const wchar_t ConvertPopup[] = L"変換(&T)";
const wchar_t ConvertHerePopup[] = L"ここに変換(&T)";

const wchar_t* const HandlerLists[11] = {
    L"*\\shellex\\ContextMenuHandlers",
    L"*\\shellex\\DragDropHandlers",
    L"Folder\\shellex\\ContextMenuHandlers",
    L"Folder\\shellex\\DragDropHandlers",
    L"Directory\\shellex\\ContextMenuHandlers",
    L"Directory\\Background\\shellex\\ContextMenuHandlers",
    L"Directory\\shellex\\DragDropHandlers",
    L"Drive\\shellex\\ContextMenuHandlers",
    L"Drive\\shellex\\DragDropHandlers",
    L"InternetShortcut\\shellex\\ContextMenuHandlers",
    L"lnkfile\\shellex\\ContextMenuHandlers",
};

const RootName RootNames[18] = {
    {L"HKCR", static_cast<LONG>(0x80000000)},
    {L"HKEY_CLASSES_ROOT", static_cast<LONG>(0x80000000)},
    {L"HKCU", static_cast<LONG>(0x80000001)},
    {L"HKEY_CURRENT_USER", static_cast<LONG>(0x80000001)},
    {L"HKLM", static_cast<LONG>(0x80000002)},
    {L"HKEY_LOCAL_MACHINE", static_cast<LONG>(0x80000002)},
    {L"HKU", static_cast<LONG>(0x80000003)},
    {L"HKEY_USERS", static_cast<LONG>(0x80000003)},
    {L"HKPD", static_cast<LONG>(0x80000004)},
    {L"HKEY_PERFORMANCE_DATA", static_cast<LONG>(0x80000004)},
    {L"HKPT", static_cast<LONG>(0x80000050)},
    {L"HKEY_PERFORMANCE_TEXT", static_cast<LONG>(0x80000050)},
    {L"HKPN", static_cast<LONG>(0x80000060)},
    {L"HKEY_PERFORMANCE_NLSTEXT", static_cast<LONG>(0x80000060)},
    {L"HKCC", static_cast<LONG>(0x80000005)},
    {L"HKEY_CURRENT_CONFIG", static_cast<LONG>(0x80000005)},
    {L"HKDD", static_cast<LONG>(0x80000006)},
    {L"HKEY_DYN_DATA", static_cast<LONG>(0x80000006)},
};

}  // namespace seed
