#include "text_out.h"

namespace menuhost {

namespace {

void WriteLine(DWORD which, const std::wstring& line)
{
    const std::string bytes = Utf8(line) + "\n";
    HANDLE h = GetStdHandle(which);
    DWORD done = 0;
    if (h && h != INVALID_HANDLE_VALUE)
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

}  // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], n, nullptr, nullptr);
    return out;
}

void Out(const std::wstring& line) { WriteLine(STD_OUTPUT_HANDLE, line); }
void Err(const std::wstring& line) { WriteLine(STD_ERROR_HANDLE, line); }

std::wstring Hex(unsigned long value, int digits)
{
    static const wchar_t digitsOf[] = L"0123456789ABCDEF";
    std::wstring text;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        text += digitsOf[(value >> shift) & 0xF];
    return L"0x" + text;
}

}  // namespace menuhost
