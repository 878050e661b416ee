// Where a conversion writes its new archive, and the checks that it never
// writes over a file the user did not choose: the archive it converts, or
// another file whose short name the new one happens to spell.
#pragma once
#include <windows.h>

#include "shellext/refusal.h"

// The file name of path: the text after its last "\" (the whole path when
// it has none), found by walking with CharNextW.
const WCHAR* FileNamePart(const WCHAR* path);

// The paths of one conversion, as the archiver is to get them.
struct ConversionPaths {
    WCHAR source[MAX_PATH + 1];      // the source, in its short form where Win32 would read it as another file
    WCHAR output[MAX_PATH + 1];      // the new archive
    WCHAR outputName[MAX_PATH + 1];  // the file name the new archive is meant to have
};

// Names the new archive: the source's long file name (from the file system,
// never an 8.3 alias) with newExtension in place of the text from its last
// "." on (appended when it has none), in target or, without one, in the
// source's own folder; in that folder's short form when the whole path does
// not fit 260 units. S_OK, or a failure with refusal set (and the path it
// concerns): the source not found, no form that fits, or a path Win32 would
// read as another file.
HRESULT FormConversionPaths(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension,
                            ConversionPaths* paths, CommandRefusal& refusal);

// When paths.output names an existing file, that file must carry the
// intended name: "QUAR~0KW.zip" may be the short name of another archive.
// HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) with refusal set otherwise.
HRESULT CheckOutputIsNoAlias(const ConversionPaths& paths, CommandRefusal& refusal);

// S_OK when both paths name one existing file, however each is spelled:
// short or long, any case, doubled separators, another drive letter or a
// share for the same files; S_FALSE when they do not. E_OUTOFMEMORY when
// memory runs out before it can tell: the caller must not go on, so the
// source is never risked. Each path is opened as it stands: pass the forms
// that will be used, never a path Win32 reads as another file.
HRESULT NamesSameFile(const WCHAR* a, const WCHAR* b);
