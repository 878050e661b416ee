// The forms a path takes: the "\\?\" form that reaches every entry, and the
// short (8.3) and long forms the volume gives.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "brxlib/memory.h"

// The longest path Windows' file functions take, in the "\\?\" form.
const size_t LongestExtendedPath = 32767;

// The "\\?\" form of path[0..length), followed by "\" and name when name is
// given, in a block of its own size from brxlib::Allocate (the caller frees
// it). In that form the file functions take paths of any length and every
// name as it is: "aux.c" or "name." is an entry, not a device or "name". A
// path already in that form keeps it; null for one that has none (relative,
// or a device path: last error ERROR_BAD_PATHNAME) or when memory ran out
// (ERROR_NOT_ENOUGH_MEMORY).
WCHAR* ExtendedForm(const WCHAR* path, size_t length, const WCHAR* name = nullptr);

// Replaces path[MAX_PATH + 1] by its short (8.3) form where the volume
// gives one that fits; leaves it as it is otherwise.
void ShortenInPlace(WCHAR* path);

// True when Win32 reads the full path as another file than the entry it
// names: GetFullPathNameW changes it (a trailing dot or space dropped, and
// on Windows 10 and earlier a device-like name such as "aux.c" taken for
// the device). Such an entry is reached only in the "\\?\" form, and the
// archiver gets plain paths.
bool ReadsAsAnotherFile(const WCHAR* path);

// Leaves path[MAX_PATH + 1] as it is when Win32 reads it as the entry it
// names; otherwise replaces it by its short form, looked up in the "\\?\"
// form. False, path unchanged, when no plain path names the entry (no
// short form, as on volumes without 8.3 names); last error
// ERROR_NOT_ENOUGH_MEMORY when memory ran out before that could be told.
bool ToReadableForm(WCHAR* path);

// Replaces path[MAX_PATH + 1] by the form the archiver is to read: its short
// form where the volume gives one that fits (ShortenInPlace), as
// ToReadableForm for a path Win32 would read as another file. False, path
// unchanged, when no plain path names the entry (last error as for
// ToReadableForm).
bool ToArchiverForm(WCHAR* path);

// GetShortPathNameW of path into shortPath[MAX_PATH + 1]; false when it
// gives nothing that fits.
bool LookUpShortForm(const WCHAR* path, WCHAR* shortPath);

// GetLongPathNameW of path into longForm (LongestExtendedPath + 1 units,
// allocated here); false when memory ran out or no long form is given.
bool LookUpLongForm(const WCHAR* path, brxlib::HeapBuffer<WCHAR>& longForm);

// Writes into record[MAX_PATH + 1] the short form of an absolute path of
// any length (up to LongestExtendedPath units), looked up in its "\\?\"
// form and given back without that prefix. False when the volume gives no
// short form or the short form does not fit 259 characters either; last
// error ERROR_NOT_ENOUGH_MEMORY when memory ran out first, which a caller
// must not take for a path without a short form.
bool StoreShortForm(const WCHAR* path, size_t length, WCHAR* record);
