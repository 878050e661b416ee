// The menu's package, found beside this program, and what can be told of it
// before Windows is asked.
#pragma once
#include <windows.h>

namespace menusetup {

const size_t PathCapacity = 32768;

// This program's folder, without a trailing backslash (a drive's root keeps
// it: "C:" alone names the drive's current folder), and the package in it.
// False when the path does not fit.
bool LocatePackage(wchar_t* folder, wchar_t* package);

// S_OK when the package carries a signature (an AppxSignature.p7x entry in
// its ZIP directory); TRUST_E_NOSIGNATURE when it does not, a Win32 error
// as HRESULT when it cannot be read. Windows checks the signature itself;
// this only tells an unsigned package from a signed one.
HRESULT CheckPackageSigned(const wchar_t* package);

// The build number Windows keeps (CurrentBuildNumber); 0 when unreadable.
DWORD WindowsBuild();

}  // namespace menusetup
