// The window shown when a conversion is handed something that is not an archive.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

enum class ConfirmEnd { kClosed, kTimedOut, kFailed };

// Creates and shows the window on the calling thread before any message wait
// (a parent's WaitForInputIdle then finds it), and runs the message loop until
// the window is closed or limit_ms passes. Call on the main thread.
ConfirmEnd RunConfirmWindow(const std::wstring& source, UINT limit_ms);

}  // namespace standin
