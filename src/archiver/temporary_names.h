// Names in the user's temporary folder, and the short form of paths.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "brxlib/memory.h"

// The longest path Windows' file functions take, in the "\\?\" form.
const size_t LongestExtendedPath = 32767;

// Creates a new empty file "MRVxxxx.tmp" in the user's temporary folder and
// writes its path into name[MAX_PATH + 1]. A temporary folder too long for
// such a name is refused rather than cut.
bool CreateTemporaryName(WCHAR* name);

// Replaces path[MAX_PATH + 1] by its short (8.3) form where the volume
// gives one that fits; leaves it as it is otherwise.
void ShortenInPlace(WCHAR* path);

// GetShortPathNameW of path into shortPath[MAX_PATH + 1]; false when it
// gives nothing that fits.
bool LookUpShortForm(const WCHAR* path, WCHAR* shortPath);

// GetLongPathNameW of path into longForm (LongestExtendedPath + 1 units,
// allocated here); false when memory ran out or no long form is given.
bool LookUpLongForm(const WCHAR* path, brxlib::HeapBuffer<WCHAR>& longForm);

// Writes into record[MAX_PATH + 1] the short form of an absolute path of
// any length (up to LongestExtendedPath units), looked up in its "\\?\"
// form and given back without that prefix. False when the volume gives no
// short form or the short form does not fit 259 characters either.
bool StoreShortForm(const WCHAR* path, size_t length, WCHAR* record);
