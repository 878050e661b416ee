// CShellExt objects of the module's sources, linked into the tests and the
// benchmarks, for what the DLL does not show: the selection, the menu list,
// WriteListFile.
#pragma once
#include "shellext/shell_ext.h"
#include "testkit/com_ptr.h"

// Made through the module's class factory; null when creation failed.
ComPtr<IShellExtInit> NewCoreObject();
inline CShellExt* AsShellExt(IShellExtInit* init) { return static_cast<CShellExt*>(init); }
inline IContextMenu* AsMenu(IShellExtInit* init) { return static_cast<IContextMenu*>(AsShellExt(init)); }
