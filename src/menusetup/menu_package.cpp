#include "menusetup/menu_package.h"

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/text_builder.h"

#include <string.h>

namespace menusetup {
namespace {

const wchar_t PackageFile[] = L"MorvaneX64-menu.msix";
const char SignatureEntry[] = "AppxSignature.p7x";
// The ZIP directory closes the file; a package with no payload keeps it in
// its last few KiB, a large one in far less than this.
const DWORD DirectoryWindow = 1 << 20;

// A central directory entry's signature, and where its name's length and name are.
const BYTE EntrySignature[4] = {'P', 'K', 1, 2};
const size_t NameLengthAt = 28;
const size_t NameAt = 46;

bool NamesSignature(const BYTE* entry, size_t available)
{
    const size_t nameLength = entry[NameLengthAt] | (entry[NameLengthAt + 1] << 8);
    if (nameLength != sizeof(SignatureEntry) - 1 || NameAt + nameLength > available)
        return false;
    return memcmp(entry + NameAt, SignatureEntry, nameLength) == 0;
}

}  // namespace

bool LocatePackage(wchar_t* folder, wchar_t* package)
{
    const DWORD length = GetModuleFileNameW(nullptr, folder, PathCapacity);
    if (length == 0 || length >= PathCapacity)
        return false;
    wchar_t* slash = nullptr;
    for (wchar_t* p = folder; *p; ++p)
        if (*p == L'\\')
            slash = p;
    if (!slash)
        return false;
    const bool root = slash > folder && slash[-1] == L':';
    slash[root ? 1 : 0] = 0;
    brxlib::TextBuilder out(package, PathCapacity);
    out.Append(folder);
    if (!root)
        out.Append(L'\\');
    out.Append(PackageFile);
    return out.ok();
}

HRESULT CheckPackageSigned(const wchar_t* package)
{
    brxlib::UniqueHandle file(CreateFileW(package, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size))
        return HRESULT_FROM_WIN32(GetLastError());
    const DWORD window = size.QuadPart < DirectoryWindow ? static_cast<DWORD>(size.QuadPart) : DirectoryWindow;
    brxlib::HeapBuffer<BYTE> tail(window + 1);
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart - window;
    DWORD read = 0;
    if (!tail)
        return E_OUTOFMEMORY;
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !ReadFile(file.get(), tail.get(), window, &read, nullptr))
        return HRESULT_FROM_WIN32(GetLastError());
    for (size_t at = 0; at + NameAt <= read; ++at)
        if (memcmp(tail.get() + at, EntrySignature, sizeof(EntrySignature)) == 0 && NamesSignature(tail.get() + at, read - at))
            return S_OK;
    return TRUST_E_NOSIGNATURE;
}

DWORD WindowsBuild()
{
    wchar_t text[16] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);  // room for a terminator RegGetValueW may not find
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                     RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return 0;
    DWORD build = 0;
    for (const wchar_t* p = text; *p >= L'0' && *p <= L'9' && build < 10000000; ++p)
        build = build * 10 + (*p - L'0');
    return build;
}

}  // namespace menusetup
