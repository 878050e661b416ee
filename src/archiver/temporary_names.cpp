#include "archiver/temporary_names.h"

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
