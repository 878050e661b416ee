#include "convert/delete_tree.h"

#include "brxlib/owners.h"
#include "brxlib/text_builder.h"

namespace {

bool IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool DeleteFileEntry(const WCHAR* path, bool force)
{
    if (DeleteFileW(path))
        return true;
    if (!force)
        return false;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path) != FALSE;
}

bool DeleteEntry(const WCHAR* path, const WIN32_FIND_DATAW& entry, bool force)
{
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // RemoveDirectoryW on a directory link or junction removes the link only.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return RemoveDirectoryW(path) != FALSE;
        return DeleteDirectoryTree(path, force);
    }
    return DeleteFileEntry(path, force);
}

}  // namespace

bool DeleteDirectoryTree(const WCHAR* path, bool force)
{
    if (!path || !path[0])
        return false;
    bool allRemoved = true;
    WCHAR pattern[MAX_PATH + 1];
    brxlib::TextBuilder patternText(pattern, MAX_PATH + 1);
    patternText.Append(path).Append(L"\\*.*");
    if (patternText.ok()) {
        WIN32_FIND_DATAW entry;
        brxlib::UniqueFind search(FindFirstFileW(pattern, &entry));
        if (search.valid()) {
            do {
                if (IsDotEntry(entry.cFileName))
                    continue;
                WCHAR entryPath[MAX_PATH + 1];
                brxlib::TextBuilder entryText(entryPath, MAX_PATH + 1);
                entryText.Append(path).Append(L'\\').Append(entry.cFileName);
                // An entry whose path does not fit is left alone, never cut into another path.
                if (!entryText.ok() || !DeleteEntry(entryPath, entry, force))
                    allRemoved = false;
            } while (FindNextFileW(search.get(), &entry));
        }
    } else {
        allRemoved = false;
    }
    return RemoveDirectoryW(path) && allRemoved;
}
