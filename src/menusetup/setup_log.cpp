#include "menusetup/setup_log.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/text_builder.h"
#include "menusetup/menu_package.h"

namespace menusetup {
namespace {

// A log that only grows (a failing registration is retried at each sign-in)
// starts over past this size.
const LONGLONG LogLimit = 64 * 1024;
const size_t LineCapacity = PathCapacity + 256;

void AppendDigits(brxlib::TextBuilder& out, unsigned value, int digits)
{
    wchar_t text[8] = {};
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        text[i] = static_cast<wchar_t>(L'0' + value % 10);
    out.Append(text);
}

void AppendHex(brxlib::TextBuilder& out, DWORD value)
{
    out.Append(L"0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        out.Append(L"0123456789ABCDEF"[(value >> shift) & 0xF]);
}

bool LogPath(wchar_t* path)
{
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local)))
        return false;
    brxlib::TextBuilder out(path, PathCapacity);
    out.Append(local).Append(L"\\Morvane");
    CoTaskMemFree(local);
    if (!out.ok())
        return false;
    CreateDirectoryW(path, nullptr);
    out.Append(L"\\MorvaneMenuSetup.log");
    return out.ok();
}

}  // namespace

void WriteLogLine(const wchar_t* mode, DWORD code, const wchar_t* outcome, const wchar_t* detail)
{
    brxlib::HeapBuffer<wchar_t> path(PathCapacity), line(LineCapacity);
    brxlib::HeapBuffer<char> bytes(LineCapacity * 3);
    if (!path || !line || !bytes)
        return;
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    brxlib::TextBuilder out(line.get(), LineCapacity);
    AppendDigits(out, now.wYear, 4);
    out.Append(L'-');
    AppendDigits(out, now.wMonth, 2);
    out.Append(L'-');
    AppendDigits(out, now.wDay, 2);
    out.Append(L' ');
    AppendDigits(out, now.wHour, 2);
    out.Append(L':');
    AppendDigits(out, now.wMinute, 2);
    out.Append(L':');
    AppendDigits(out, now.wSecond, 2);
    out.Append(L"Z ").Append(mode).Append(L' ');
    AppendHex(out, code);
    out.Append(L' ').Append(outcome);
    if (detail)
        out.Append(L": ").Append(detail);
    out.Append(L"\r\n");
    if (!out.ok() || !LogPath(path.get()))
        return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.get(), static_cast<int>(out.length()), bytes.get(),
                                         static_cast<int>(bytes.size()), nullptr, nullptr);
    brxlib::UniqueHandle file(CreateFileW(path.get(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length = {};
    if (!file.valid() || size <= 0)
        return;
    if (GetFileSizeEx(file.get(), &length) && length.QuadPart > LogLimit) {
        file.reset();
        file.reset(CreateFileW(path.get(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    }
    DWORD written = 0;
    if (file.valid())
        WriteFile(file.get(), bytes.get(), static_cast<DWORD>(size), &written, nullptr);
}

}  // namespace menusetup
