// Where a conversion writes its new archive.
#pragma once
#include <windows.h>

// The file name of path: the text after its last "\" (the whole path when
// it has none), found by walking with CharNextW.
const WCHAR* FileNamePart(const WCHAR* path);

// Forms into output[MAX_PATH + 1] the path of the new archive: beside the
// source, or target + "\" + the source's file name; the text from the last
// "." of the file name on is replaced by newExtension (appended when the
// file name has no "."). False when the path does not fit: it is never cut.
bool FormOutputPath(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output);

// True when both paths name one existing file, whatever form each path has
// (short or long, any case).
bool NamesSameFile(const WCHAR* a, const WCHAR* b);
