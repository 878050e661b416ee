// Reading the paths of a drop handle (a DROPFILES block) in one pass.
// DragQueryFileW walks the list from its start on every call, so a loop over
// the indexes is quadratic: 50,000 selected files would hang Explorer.
#pragma once
#include <windows.h>

#include "shellext/shell_ext.h"

// Appends every path of the block to selection (reserved to the count first),
// each as a zero-filled PATH_INFO with the text DragQueryFileW would give.
// A path too long for a PATH_INFO is refused (the selection is emptied), never cut.
HRESULT ReadDropFiles(const void* block, SIZE_T blockSize,
                      brxlib::simple_array<CShellExt::PATH_INFO>& selection);
