// Selections as a drop handle built by hand: a DROPFILES block behind a data
// object of our own, for what the shell cannot make (paths of 260 characters
// or more, ANSI paths, tens of thousands of files).
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "testkit/com_ptr.h"

// GlobalAlloc'd DROPFILES with wide or ANSI paths and a final empty string;
// null when the memory cannot be had.
HGLOBAL BuildDropHandle(const std::vector<std::wstring>& paths, bool wide = true);

// What GetData gives for CF_HDROP.
enum class DropHandout {
    Copy,   // a copy of the block that the caller frees, as most data objects do
    Block,  // the block itself, with the data object as pUnkForRelease: no copy to time
};

// Takes over dropHandle and offers it as CF_HDROP in global memory; with a
// null handle, offers no CF_HDROP at all.
ComPtr<IDataObject> DropHandleDataObject(HGLOBAL dropHandle, DropHandout handout);
