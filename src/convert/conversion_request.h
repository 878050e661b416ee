// The conversion request string that travels through rundll32:
// "<code> <source>" followed, for a drop folder, by U+0001 and the folder.
#pragma once
#include <windows.h>

const WCHAR TargetMark = 0x0001;

struct ConversionRequest {
    int code;
    const WCHAR* source;  // null when the source does not fit a path buffer
    const WCHAR* target;  // null when the request names no folder
    WCHAR sourceBuffer[MAX_PATH + 1];
};

// The parameters rundll32 gets: the module path (quoted when it holds a
// space), ",RunConvertArchive ", the code, a space, the source and, for a
// drop folder, U+0001 and the folder. False when it does not fit.
bool ComposeConversionRequest(const WCHAR* modulePath, int code, const WCHAR* source, const WCHAR* target,
                              WCHAR* buffer, size_t capacity);

// Decodes text as the rundll32 entry receives it. The source is never cut:
// one longer than 260 characters leaves request->source null.
void DecodeConversionRequest(const WCHAR* text, ConversionRequest* request);

extern "C" void CALLBACK RunConvertArchiveW(HWND hwnd, HINSTANCE hinst, LPWSTR lpszCmdLine, int nCmdShow);
