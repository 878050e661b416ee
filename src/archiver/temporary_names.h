// Names in the user's temporary folder.
#pragma once
#include <windows.h>

// Creates a new empty file "MRVxxxx.tmp" in the user's temporary folder and
// writes its path into name[MAX_PATH + 1]. A temporary folder too long for
// such a name is refused rather than cut.
bool CreateTemporaryName(WCHAR* name);
