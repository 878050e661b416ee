// Module-wide state. One instance each, no lock: every call comes on the
// apartment thread that owns the objects.
#pragma once
#include <windows.h>

extern HINSTANCE ModuleInstance;
// Live factories and objects of this module plus transient users.
extern LONG ModuleLockCount;
// The one class this module serves; registration writes the same value.
extern const CLSID CLSID_MorvaneShellExt;
