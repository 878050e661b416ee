// The per-user settings that the module reads, and a way to write them.
#pragma once
#include <windows.h>

#include <string>

// HKCU-relative key paths of the settings.
extern const wchar_t ShellKey[];         // Software\Quodle\Morvane\m_tbsShell: the four menu switches
extern const wchar_t CompressMenuKey[];  // Software\Quodle\Morvane\m_chkCompressMenu: one value per format
extern const wchar_t ExtensionKey[];     // Software\Brantix\Morvane_x64_shell_extension: AdditionalMenu
extern const wchar_t ArchiverKey[];      // Software\Quodle\Morvane: InstallPath

// Writes an HKCU value exactly as given, the key made when missing. False
// only when the key cannot be had: odd types and sizes are written on
// purpose, so the value's own result is not judged here.
bool WriteSetting(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size);
bool WriteDwordSetting(const std::wstring& key, const std::wstring& name, DWORD value);
bool WriteStringSetting(const std::wstring& key, const std::wstring& name, const std::wstring& text);
