// A rectangle of the screen, read through GDI.
#pragma once
#include <windows.h>

#include "png_writer.h"

namespace menuhost {

// GetDC(NULL) and BitBlt into a 32-bit DIB section. Throws HostError(kExitPictureFailed).
Image CaptureScreen(const RECT& area);

// The whole screen.
RECT ScreenRect();

}  // namespace menuhost
