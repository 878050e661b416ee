#include "archiver/temporary_names.h"

bool CreateTemporaryName(WCHAR* name)
{
    WCHAR tempFolder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, tempFolder);
    // The name needs 14 more characters: past MAX_PATH - 14 Windows'
    // GetTempFileNameW fails, and Wine's cuts the name, leaves it
    // unterminated or writes past name[MAX_PATH + 1].
    if (length == 0 || length > MAX_PATH - 14)
        return false;
    return GetTempFileNameW(tempFolder, L"MRV", 0, name) != 0;
}

void ShortenInPlace(WCHAR* path)
{
    WCHAR shortPath[MAX_PATH + 1];
    const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        CopyMemory(path, shortPath, (length + 1) * sizeof(WCHAR));
}
