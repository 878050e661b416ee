#include "brxlib/path_forms.h"

#include "brxlib/text_builder.h"

namespace {

const WCHAR ExtendedPrefix[] = L"\\\\?\\";
const WCHAR ExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool SameUnits(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// GetFullPathNameW of path[length] into full[length + 1]: room for the path
// itself, since any other length is another path already.
bool FullPathDiffers(const WCHAR* path, size_t length, WCHAR* full)
{
    const DWORD units = GetFullPathNameW(path, static_cast<DWORD>(length + 1), full, nullptr);
    return units != length || !SameUnits(full, path, length);
}

bool StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix)
            return false;
    return true;
}

}  // namespace

WCHAR* ExtendedForm(const WCHAR* path, size_t length, const WCHAR* name)
{
    const WCHAR* prefix = L"";
    const WCHAR* rest = path;
    if (length >= 3 && path[1] == L':' && path[2] == L'\\') {
        prefix = ExtendedPrefix;
    } else if (StartsWith(path, ExtendedPrefix)) {
        prefix = L"";
    } else if (length >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.') {
        prefix = ExtendedUncPrefix;
        rest = path + 2;
    } else {
        SetLastError(ERROR_BAD_PATHNAME);
        return nullptr;
    }
    const size_t restLength = length - static_cast<size_t>(rest - path);
    // A drive's root ends in "\" already; in this form a second one would be an empty name.
    const bool separator = name && path[length - 1] != L'\\';
    const size_t nameLength = name ? brxlib::TextLength(name) : 0;
    const size_t capacity = brxlib::TextLength(prefix) + restLength + (separator ? 1 : 0) + nameLength + 1;
    WCHAR* extended = brxlib::AllocateZeroed<WCHAR>(capacity);
    if (!extended) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    brxlib::TextBuilder text(extended, capacity);
    text.Append(prefix).Append(rest, restLength);
    if (separator)
        text.Append(L'\\');
    if (name)
        text.Append(name, nameLength);
    return extended;
}

void ShortenInPlace(WCHAR* path)
{
    WCHAR shortPath[MAX_PATH + 1];
    if (LookUpShortForm(path, shortPath))
        brxlib::CopyText(path, MAX_PATH + 1, shortPath);
}

bool ReadsAsAnotherFile(const WCHAR* path)
{
    const size_t length = brxlib::TextLength(path);
    WCHAR local[MAX_PATH + 1];
    if (length < ARRAYSIZE(local))
        return FullPathDiffers(path, length, local);
    brxlib::HeapBuffer<WCHAR> full(length + 1);
    // Without memory to tell, the path is not trusted.
    return !full || FullPathDiffers(path, length, full.get());
}

namespace {

// The short form of a path Win32 reads as another file, looked up in the
// "\\?\" form (the plain look-up finds the other file), into path[MAX_PATH + 1];
// false, path unchanged, when there is none the archiver can read.
bool ReplaceByOwnShortForm(WCHAR* path)
{
    WCHAR shortPath[MAX_PATH + 1];
    if (!StoreShortForm(path, brxlib::TextLength(path), shortPath))
        return false;
    if (ReadsAsAnotherFile(shortPath)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return brxlib::CopyText(path, MAX_PATH + 1, shortPath);
}

}  // namespace

bool ToReadableForm(WCHAR* path)
{
    return !ReadsAsAnotherFile(path) || ReplaceByOwnShortForm(path);
}

bool ToArchiverForm(WCHAR* path)
{
    if (ReadsAsAnotherFile(path))
        return ReplaceByOwnShortForm(path);
    ShortenInPlace(path);
    return true;
}

bool LookUpShortForm(const WCHAR* path, WCHAR* shortPath)
{
    const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
    if (length >= MAX_PATH)
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return length > 0 && length < MAX_PATH;
}

bool LookUpLongForm(const WCHAR* path, brxlib::HeapBuffer<WCHAR>& longForm)
{
    if (!longForm)
        return false;
    const DWORD length = GetLongPathNameW(path, longForm.get(), static_cast<DWORD>(longForm.size()));
    return length > 0 && length < longForm.size();
}

bool StoreShortForm(const WCHAR* path, size_t length, WCHAR* record)
{
    if (length > LongestExtendedPath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    WCHAR* extended = ExtendedForm(path, length);
    if (!extended)
        return false;
    // Room for a record's 259 units and the longest prefix: a short form
    // that needs more cannot be stored, and GetShortPathNameW then only
    // tells the size it would need.
    WCHAR shortForm[MAX_PATH + 8];
    const DWORD units = GetShortPathNameW(extended, shortForm, ARRAYSIZE(shortForm));
    brxlib::Free(extended);
    if (units == 0 || units >= ARRAYSIZE(shortForm)) {
        if (units)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // The prefix goes again: the archiver and the shell get plain paths.
    WCHAR* text = shortForm;
    if (StartsWith(text, ExtendedUncPrefix)) {
        // "\\?\UNC\server" becomes "\\server": two units of the prefix stay as the backslashes.
        text += brxlib::TextLength(ExtendedUncPrefix) - 2;
        text[0] = L'\\';
        text[1] = L'\\';
    } else if (StartsWith(text, ExtendedPrefix)) {
        text += brxlib::TextLength(ExtendedPrefix);
    }
    if (brxlib::TextLength(text) > MAX_PATH - 1) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return brxlib::CopyText(record, MAX_PATH + 1, text);
}
