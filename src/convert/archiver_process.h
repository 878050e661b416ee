// Starting the archiver from the conversion worker and waiting for it.
#pragma once
#include <windows.h>

#include "brxlib/owners.h"

struct ArchiverProcess {
    brxlib::UniqueHandle process;
    DWORD mainThreadId;
};

// Starts commandLine (its first word names the program); false when it
// cannot be started. The thread handle is closed at once.
bool StartArchiver(WCHAR* commandLine, ArchiverProcess& started);
void WaitForExit(ArchiverProcess& started);
