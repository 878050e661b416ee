// Module-wide state. One instance each. Objects live on the apartment thread
// that owns them, but Explorer runs many apartments (one thread per folder
// window) in one process: ModuleLockCount changes only through
// InterlockedIncrement / InterlockedDecrement. ModuleInstance is written once,
// in DllMain, before any other call.
#pragma once
#include <windows.h>

extern HINSTANCE ModuleInstance;
// Live factories and objects of this module plus transient users; changed
// only with interlocked operations, from any thread.
extern LONG ModuleLockCount;
// The classic handler's class; registration writes the same value. The
// Windows 11 menu's class is in newmenu/explorer_command.h.
extern const CLSID CLSID_MorvaneShellExt;
