// CShellExt objects made through the module's own class factory, linked
// into the test, so that tests can look at the selection and the menu list.
#pragma once
#include "shellext/shell_ext.h"
#include "support/com_ptr.h"

// A new object held through IShellExtInit; null when creation failed.
ComPtr<IShellExtInit> NewCoreObject();
inline CShellExt* AsShellExt(IShellExtInit* init) { return static_cast<CShellExt*>(init); }
inline IContextMenu* AsMenu(IShellExtInit* init) { return static_cast<IContextMenu*>(AsShellExt(init)); }
