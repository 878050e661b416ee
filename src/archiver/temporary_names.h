// Names in the user's temporary folder, and the short form of paths.
#pragma once
#include <windows.h>

// Creates a new empty file "MRVxxxx.tmp" in the user's temporary folder and
// writes its path into name[MAX_PATH + 1]. A temporary folder too long for
// such a name is refused rather than cut.
bool CreateTemporaryName(WCHAR* name);

// Replaces path[MAX_PATH + 1] by its short (8.3) form where the volume
// gives one that fits; leaves it as it is otherwise.
void ShortenInPlace(WCHAR* path);
