#include "archiver/ansi_line.h"

#include "brxlib/memory.h"

AnsiCodePageCalls AnsiCalls = {GetACP, WideCharToMultiByte};

namespace {

const WCHAR CodePageKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage";

// The decimal number of text, or 0 when text is no number that fits a code page.
UINT ParseCodePage(const WCHAR* text)
{
    UINT value = 0;
    if (!*text)
        return 0;
    for (; *text; ++text) {
        if (*text < L'0' || *text > L'9' || value > 6553)
            return 0;
        value = value * 10 + static_cast<UINT>(*text - L'0');
    }
    return value <= 65535 ? value : 0;
}

// One conversion. Under a UTF-8 ANSI code page Windows refuses best-fit
// flags and default characters alike; UTF-8 holds every character, and an
// unpaired surrogate is refused by WC_ERR_INVALID_CHARS instead.
int Convert(UINT codePage, const WCHAR* path, char* out, int size, BOOL* lossy)
{
    *lossy = FALSE;
    if (codePage == CP_UTF8)
        return AnsiCalls.wideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, out, size, nullptr, nullptr);
    return AnsiCalls.wideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, path, -1, out, size, nullptr, lossy);
}

}  // namespace

UINT ListCodePage()
{
    // A program can declare UTF-8 as its own ANSI code page in its manifest,
    // and this module runs in any program that shows a file dialog; the
    // archiver declares nothing and reads the list in the system's code
    // page. The locale's default would ignore the system-wide UTF-8 option.
    WCHAR text[16] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, CodePageKey, L"ACP", RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS) {
        const UINT codePage = ParseCodePage(text);
        if (codePage)
            return codePage;
    }
    return AnsiCalls.getAcp();
}

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
