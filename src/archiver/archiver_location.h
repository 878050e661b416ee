// Where the archiver lives: its install folder from its own settings.
#pragma once
#include <windows.h>

#include "registry/registry_key.h"

extern const WCHAR ArchiverSettingsKey[];  // HKCU\Software\Quodle\Morvane

struct ArchiverLocation {
    WCHAR InstallPath[MAX_PATH + 1];   // as stored, or empty
    WCHAR ArchiverPath[MAX_PATH + 1];  // InstallPath + "\Morvane.exe"
    RegistryKey settings;              // left open for the caller's command
};

// Fills location. S_OK only for a usable install folder: an InstallPath
// that is missing, does not fit its buffer with a terminator, is stored
// without one, or is not a fully qualified path ("X:\..." or
// "\\server\share\...") gives HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND); one
// whose ArchiverPath does not fit gives ERROR_FILENAME_EXCED_RANGE (never
// cut). Both paths are left empty on failure.
HRESULT LocateArchiver(ArchiverLocation& location);
