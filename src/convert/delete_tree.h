#pragma once
#include <windows.h>

// "." or "..", which every folder search returns.
bool IsDotEntry(const WCHAR* name);

// Removes a folder with everything below it. A link to a folder (a reparse
// point) is removed as a link and never entered, so nothing outside path is
// touched. With force, read-only files are made writable and deleted.
// True only when every entry and the folder itself were removed.
bool DeleteDirectoryTree(const WCHAR* path, bool force);
