// The user's menu switches, read anew for every menu.
#pragma once
#include <windows.h>

#include "registry/registry_key.h"
#include "shellext/menu_tables.h"

namespace MenuSettingsKey {
extern const WCHAR Extension[];     // AdditionalMenu
extern const WCHAR Shell[];         // m_chkCM*, m_chkDD*
extern const WCHAR CompressMenu[];  // one value per compress format
}  // namespace MenuSettingsKey

// A switch is on when the first 32-bit word of its value is non-zero,
// whatever its type; a missing value is off.
bool ReadSwitch(HKEY key, const WCHAR* name);
// A format is shown only for a REG_DWORD or REG_DWORD_BIG_ENDIAN that is non-zero.
bool ReadFormatEnabled(HKEY key, const WCHAR* name);

// The switches as they apply to one menu: the context-menu ones for a plain
// right-click, the drag-and-drop ones for a drop, conversion for one item.
struct EffectiveSwitches {
    bool cmCompress;
    bool cmExtract;
    bool ddCompress;
    bool ddExtract;
    bool conversion;
};

// Reads the switches through one wrapper, which ends holding m_tbsShell (or,
// when that cannot be opened, still the extension's key, where the four
// switches are normally absent).
EffectiveSwitches ReadEffectiveSwitches(RegistryKey& settings, bool dragDrop, int selected);
// The enabled compress formats in table order; returns their count.
int ReadEnabledFormats(const CompressFormat* (&enabled)[14]);
