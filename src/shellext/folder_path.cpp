#include "shellext/folder_path.h"

HRESULT GetFileSystemPath(PCIDLIST_ABSOLUTE folder, PWSTR* path)
{
    return SHGetNameFromIDList(folder, SIGDN_FILESYSPATH, path);
}
