// The user's menu switches, read anew for every menu.
#pragma once
#include <windows.h>

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
