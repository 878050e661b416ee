// A CShellExt of the module's sources linked into the benchmark, for what
// the DLL does not show: its selection and WriteListFile.
#pragma once
#include "shellext/shell_ext.h"
#include "support/com_ptr.h"

// Made through the module's class factory; null when creation failed.
ComPtr<IShellExtInit> NewCoreObject();
inline CShellExt* AsShellExt(IShellExtInit* init) { return static_cast<CShellExt*>(init); }
