// The fixed tables of the extension as the tests hold them: written out here
// from their definitions, row by row in their defined order, never taken
// from the module's own tables, so that a wrong row in either shows.
// Plain arrays of constants: usable while other files' statics are made.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace seed {

// The 14 compress formats, in the order of the compress popup.
struct CompressFormat {
    const wchar_t* label;       // menu label, ".zip (pass)"
    const wchar_t* valueName;   // value under m_chkCompressMenu, "zip (pass)"
    const wchar_t* switches;    // the archiver's switch, "/c:zip /p"
    int code;                   // 5 to 18
};
extern const CompressFormat CompressFormats[14];
// Every value name of CompressFormats, for SettingsScope::EnableMenus.
std::vector<std::wstring> EveryFormat();

// The 7 conversion targets, in the order of the convert popup.
struct ConversionTarget {
    const wchar_t* label;      // ".tar.bz2"
    const wchar_t* switches;   // "/c:tbz"
    const wchar_t* extension;  // ".tbz": what the new archive's name ends in
    int code;                  // 19 to 25
};
extern const ConversionTarget ConversionTargets[7];

// Menu labels.
extern const wchar_t ExtractHere[];        // drag-and-drop command, code 0
extern const wchar_t ExtractPopup[];       // context menu popup
extern const wchar_t ExtractCommands[4][16];  // its items, codes 1 to 4
extern const wchar_t CompressPopup[];
extern const wchar_t CompressHerePopup[];
extern const wchar_t ConvertPopup[];
extern const wchar_t ConvertHerePopup[];

// The 11 handler lists that registration adds the extension to, below HKCR.
extern const wchar_t* const HandlerLists[11];

// The 18 root names, short and long, with the root each stands for, in the
// order they are searched.
struct RootName {
    const wchar_t* name;
    LONG value;  // the predefined handle's value, 0x80000000 for HKEY_CLASSES_ROOT
    HKEY root() const { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(value)); }
};
extern const RootName RootNames[18];

}  // namespace seed
