// The package the process runs in. Tests link a version of their own
// (support/platform_seams.h): Wine has no packaged process.
#pragma once
#include <windows.h>

// GetCurrentPackageFullName where kernel32 has it (Windows 8 on), looked up
// at run time so that the module loads where it is missing;
// APPMODEL_ERROR_NO_PACKAGE for a process without a package, and where the
// call is missing.
LONG CurrentPackageFullName(UINT32* length, PWSTR name);
