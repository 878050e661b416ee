// A data object for one existing file, as Explorer hands it to Initialize.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "testkit/com_ptr.h"

// Through the file's parent folder (GetUIObjectOf); null on failure.
ComPtr<IDataObject> ShellDataObject(const std::wstring& path);
