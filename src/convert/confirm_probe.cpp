#include "convert/confirm_probe.h"

const WCHAR ConfirmWindowTitle[] = L"ファイル圧縮の確認";

BOOL CALLBACK ConfirmDialogProbe(HWND window, LPARAM flag)
{
    WCHAR title[64] = {};
    GetWindowTextW(window, title, 64);
    // Nine characters and the terminator: the title must be exactly this text.
    for (int i = 0; i < 10; ++i)
        if (title[i] != ConfirmWindowTitle[i])
            return TRUE;
    SendMessageW(window, WM_CLOSE, 0, 0);
    *reinterpret_cast<bool*>(flag) = true;
    return FALSE;
}
