// Large selections as a drop handle: a DROPFILES block of wide paths behind
// a data object of the benchmark's own.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/com_ptr.h"

// count paths of one folder, numbered; the files need not exist.
std::vector<std::wstring> NumberedPaths(const std::wstring& folder, int count);

// GlobalAlloc'd DROPFILES (fWide TRUE), the paths, a final empty string.
HGLOBAL BuildDropHandle(const std::vector<std::wstring>& paths);

// Offers the handle as CF_HDROP. GetData hands out the block itself, with
// the data object as pUnkForRelease, so that timing an Initialize measures
// the handler's work and not a copy made by the data object.
ComPtr<IDataObject> DropDataObject(HGLOBAL dropHandle);
