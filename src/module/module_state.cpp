#include "module/module.h"

HINSTANCE ModuleInstance = nullptr;
LONG ModuleLockCount = 0;

// {6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}
const CLSID CLSID_MorvaneShellExt = {
    0x6C2B7E41, 0x3F9A, 0x4D85, {0xB1, 0xE2, 0x9A, 0x7C, 0x4F, 0x0D, 0x5E, 0x38}};
