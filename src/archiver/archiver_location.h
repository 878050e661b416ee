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

// Fills location. An InstallPath that does not fit its buffer with a
// terminator, or is stored without one, counts as missing. Returns false
// when ArchiverPath does not fit (it is then left empty, never cut).
bool LocateArchiver(ArchiverLocation& location);
