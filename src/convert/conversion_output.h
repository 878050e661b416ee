// Where a conversion writes its new archive, and the check that it never
// writes over the archive it converts.
#pragma once
#include <windows.h>

// The file name of path: the text after its last "\" (the whole path when
// it has none), found by walking with CharNextW.
const WCHAR* FileNamePart(const WCHAR* path);

// Forms into output[MAX_PATH + 1] the path of the new archive: beside the
// source, or in target under the source's file name (a "\" between them
// unless target ends in one, as a drive's root does); the text from the
// last "." of the file name on is replaced by newExtension (appended when
// the file name has no "."). False when the path does not fit: it is never
// cut.
bool FormOutputPath(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output);

// FormOutputPath without its bound, into output[capacity] with capacity
// from OutputPathCapacity: for telling the user which path does not fit.
size_t OutputPathCapacity(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension);
bool FormLongOutputPath(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output,
                        size_t capacity);

// As FormOutputPath, but named after the source's long file name (from
// GetLongPathNameW) where that differs from the name the source carries
// and the output path then fits: the user chose "Quarterly figures.tar",
// not "QUARTE~1.TAR".
bool FormConversionOutput(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output);

// True when both paths name one existing file, however each is spelled:
// short or long, any case, doubled separators, another drive letter or a
// share for the same files. Also true when memory runs out before it can
// tell: the source is never risked.
bool NamesSameFile(const WCHAR* a, const WCHAR* b);
