#include "archiver/temporary_names.h"

#include "brxlib/memory.h"
#include "brxlib/text_builder.h"

namespace {

const WCHAR ExtendedPrefix[] = L"\\\\?\\";
const WCHAR ExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix)
            return false;
    return true;
}

// The "\\?\" form of an absolute path into a buffer of its own size; null
// for a path that has no such form (relative, or a device path).
WCHAR* ExtendedForm(const WCHAR* path, size_t length)
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
        return nullptr;
    }
    const size_t restLength = length - static_cast<size_t>(rest - path);
    const size_t capacity = brxlib::TextLength(prefix) + restLength + 1;
    WCHAR* extended = brxlib::AllocateZeroed<WCHAR>(capacity);
    if (!extended)
        return nullptr;
    brxlib::TextBuilder text(extended, capacity);
    text.Append(prefix).Append(rest, restLength);
    return extended;
}

}  // namespace

bool CreateTemporaryName(WCHAR* name)
{
    WCHAR tempFolder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, tempFolder);
    // The name needs 14 more characters: past MAX_PATH - 14 Windows'
    // GetTempFileNameW fails, and Wine's cuts the name, leaves it
    // unterminated or writes past name[MAX_PATH + 1].
    if (length == 0 || length > MAX_PATH - 14) {
        // Said as such: an earlier call's last error would tell the caller something else.
        SetLastError(length == 0 ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return GetTempFileNameW(tempFolder, L"MRV", 0, name) != 0;
}

void ShortenInPlace(WCHAR* path)
{
    WCHAR shortPath[MAX_PATH + 1];
    if (LookUpShortForm(path, shortPath))
        brxlib::CopyText(path, MAX_PATH + 1, shortPath);
}

bool LookUpShortForm(const WCHAR* path, WCHAR* shortPath)
{
    const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
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
    if (length > LongestExtendedPath)
        return false;
    WCHAR* extended = ExtendedForm(path, length);
    if (!extended)
        return false;
    brxlib::HeapBuffer<WCHAR> shortForm(LongestExtendedPath + 1);
    DWORD units = 0;
    if (shortForm)
        units = GetShortPathNameW(extended, shortForm.get(), static_cast<DWORD>(shortForm.size()));
    brxlib::Free(extended);
    if (units == 0 || units >= shortForm.size())
        return false;
    // The prefix goes again: the archiver and the shell get plain paths.
    WCHAR* text = shortForm.get();
    if (StartsWith(text, ExtendedUncPrefix)) {
        // "\\?\UNC\server" becomes "\\server": two units of the prefix stay as the backslashes.
        text += brxlib::TextLength(ExtendedUncPrefix) - 2;
        text[0] = L'\\';
        text[1] = L'\\';
    } else if (StartsWith(text, ExtendedPrefix)) {
        text += brxlib::TextLength(ExtendedPrefix);
    }
    if (brxlib::TextLength(text) > MAX_PATH - 1)
        return false;
    return brxlib::CopyText(record, MAX_PATH + 1, text);
}
