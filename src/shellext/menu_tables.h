// The fixed tables of the menus: labels, compress formats, conversion targets.
#pragma once
#include <windows.h>

// Menu labels; the text after "&" is the item's access key.
namespace MenuLabel {
extern const WCHAR ExtractHere[];      // drag-and-drop menu, code 0
extern const WCHAR Extract[];          // context-menu popup
extern const WCHAR Compress[];         // context-menu popup
extern const WCHAR CompressHere[];     // drag-and-drop popup
extern const WCHAR Convert[];          // context-menu popup
extern const WCHAR ConvertHere[];      // drag-and-drop popup
}  // namespace MenuLabel

struct MenuCommand {
    const WCHAR* label;
    int code;
};

// The items of the extract popup, codes 1 to 4.
extern const MenuCommand ExtractPopupItems[4];

struct CompressFormat {
    const WCHAR* label;
    const WCHAR* valueName;       // value under m_chkCompressMenu
    const WCHAR* archiverSwitch;
    int code;
};

// The 14 compress formats in the order of the compress popup, codes 5 to 18.
extern const CompressFormat CompressFormatTable[14];
const CompressFormat* FindCompressFormat(int code);

// Conversion popup entries, codes 19 to 25, with what the worker needs.
struct ConversionTarget {
    const WCHAR* label;
    int code;
    const WCHAR* formatSwitch;
    const WCHAR* newExtension;
};

extern const ConversionTarget ConversionTargets[7];
const ConversionTarget* FindConversionTarget(int code);

const int FirstConversionCode = 19;
const int LastConversionCode = 25;
const int LastArchiverCode = 18;
