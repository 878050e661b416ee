#include "archiver/ansi_line.h"

#include "brxlib/memory.h"

AnsiCodePageCalls AnsiCalls = {GetACP, WideCharToMultiByte};

namespace {

// One conversion. Under a UTF-8 ANSI code page Windows refuses best-fit
// flags and default characters alike; UTF-8 holds every character, and an
// unpaired surrogate is refused by WC_ERR_INVALID_CHARS instead.
int Convert(UINT codePage, const WCHAR* path, char* out, int size, BOOL* lossy)
{
    *lossy = FALSE;
    if (codePage == CP_UTF8)
        return AnsiCalls.wideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, path, -1, out, size, nullptr, nullptr);
    return AnsiCalls.wideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, out, size, nullptr, lossy);
}

}  // namespace

DWORD ToAnsiLine(UINT codePage, const WCHAR* path, char* line, int lineSize, char** longLine, int* bytes)
{
    *longLine = nullptr;
    BOOL lossy = FALSE;
    int converted = Convert(codePage, path, line, lineSize, &lossy);
    if (converted <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        // A double-byte code page can need more than 260 bytes: written whole, never cut.
        const int needed = Convert(codePage, path, nullptr, 0, &lossy);
        if (needed <= 0)
            return ERROR_NO_UNICODE_TRANSLATION;
        *longLine = brxlib::AllocateZeroed<char>(static_cast<size_t>(needed));
        if (!*longLine)
            return ERROR_OUTOFMEMORY;
        converted = Convert(codePage, path, *longLine, needed, &lossy);
        if (converted != needed)
            converted = 0;
    }
    if (converted <= 0 || lossy) {
        brxlib::Free(*longLine);
        *longLine = nullptr;
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    *bytes = converted - 1;
    return ERROR_SUCCESS;
}
