// Text conversions between UTF-16, UTF-8 and the ANSI code page.
#pragma once

#include <string>

namespace standin {

std::string ToUtf8(const std::wstring& text);
// Strict: returns false (and leaves out empty) on invalid UTF-8.
bool FromUtf8(const std::string& bytes, std::wstring& out);
std::wstring FromAnsi(const std::string& bytes);
// Archive names from other tools may be in the ANSI code page, ours are UTF-8.
std::wstring FromUtf8OrAnsi(const std::string& bytes);
std::string HexLower(const std::string& bytes);
std::wstring ToLower(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool EndsWith(const std::wstring& text, const std::wstring& tail);

}  // namespace standin
