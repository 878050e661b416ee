// A path in the system's ANSI code page, exactly or not at all: a line in
// which "_" stood for a character the code page lacks would name another
// file, or none.
#pragma once
#include <windows.h>

// The two system calls behind the conversion. Tests replace them to meet a
// program whose own ANSI code page is UTF-8 (65001), which Wine never runs under.
struct AnsiCodePageCalls {
    UINT(WINAPI* getAcp)();
    int(WINAPI* wideCharToMultiByte)(UINT codePage, DWORD flags, LPCWCH text, int units, LPSTR bytes, int size,
                                     LPCCH defaultChar, LPBOOL usedDefaultChar);
};
extern AnsiCodePageCalls AnsiCalls;

// The code page the archiver reads its list in: the system's ANSI code page
// (the value "ACP" under HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage),
// or the host's GetACP() when that value cannot be read or is no number.
UINT ListCodePage();

// Converts path (NUL-terminated) into codePage, terminator included. Returns
// ERROR_SUCCESS with *bytes the length without the terminator, written into
// line[lineSize] or, when it does not fit there, into *longLine (allocated
// with brxlib::Allocate; the caller frees it). ERROR_NO_UNICODE_TRANSLATION
// when the code page cannot hold the path exactly, ERROR_OUTOFMEMORY.
DWORD ToAnsiLine(UINT codePage, const WCHAR* path, char* line, int lineSize, char** longLine, int* bytes);
