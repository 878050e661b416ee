// The file-system path of a folder's ID list, of any length, in a file of
// its own: Wine's shell makes no ID list for a path of 260 characters or
// more, so tests link a version that answers for such a folder.
#pragma once
#include <windows.h>
#include <shlobj.h>

// SHGetNameFromIDList(folder, SIGDN_FILESYSPATH, path).
HRESULT GetFileSystemPath(PCIDLIST_ABSOLUTE folder, PWSTR* path);
