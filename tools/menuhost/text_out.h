// Exact UTF-8 on stdout and stderr: WriteFile of the bytes, never the console
// code page or the C runtime's text mode.
#pragma once
#include <windows.h>

#include <string>

namespace menuhost {

std::string Utf8(const std::wstring& text);
void Out(const std::wstring& line);  // one line, "\n" added
void Err(const std::wstring& line);
std::wstring Hex(unsigned long value, int digits = 8);  // "0x0000000D"

}  // namespace menuhost
