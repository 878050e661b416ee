#pragma once
#include <windows.h>

// "." or "..", which every folder search returns.
bool IsDotEntry(const WCHAR* name);

// Removes a folder with everything below it, at any depth, every entry by
// its real name (also "aux.c", or a name that ends in a dot or a space). A
// link to a folder (a reparse point) is removed as a link and never entered,
// so nothing outside path is touched. With force, read-only files and
// folders are made writable and removed. True only when every entry and the
// folder itself were removed; false, never a crash, when memory runs out.
bool DeleteDirectoryTree(const WCHAR* path, bool force);
