// The calls of the module that Wine cannot make behave as Windows may, as
// tests link them: each does the real call unless a test asks otherwise.
// - Key deletion: Wine grants DELETE on every key whatever its access list
//   says; here a key can refuse with ERROR_ACCESS_DENIED, as on Windows.
// - A folder's file-system path: Wine makes no ID list for a path of 260
//   characters or more; here an ID list can stand for such a path.
// - The process's package: Wine runs nothing in a package; here the process
//   can have a package's full name, as the Windows 11 menu's surrogate has.
#pragma once
#include <windows.h>
#include <shlobj.h>

namespace test_seams {

// Keys named `name` (compared exactly) refuse deletion until the next call; null ends it.
void RefuseDeletionOf(const wchar_t* name);

// Until the next call, the ID list `folder` (compared with ILIsEqual) has the
// file-system path `path`; null ends it.
void AnswerFolderPath(PCIDLIST_ABSOLUTE folder, const wchar_t* path);

// Until the next call, the process runs in the package of that full name; null ends it.
void AnswerPackageFullName(const wchar_t* name);

}  // namespace test_seams
