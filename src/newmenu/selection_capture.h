// From an item array to a selection, by the rules Initialize follows.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "shellext/shell_ext.h"

// The file-system paths of items into ext's selection: in one call through
// the array's data object and its drop list where it gives one for every
// item, else item by item. The selection is emptied on failure, and a path
// that fits no form is named in ext's Refusal (PathTooLongResult).
HRESULT CaptureItems(IShellItemArray* items, CShellExt& ext);
