// What the compiler may call without libstdc++: the DLL is linked with the C
// driver so that no throwing operator new is folded in.
#include <stddef.h>
#include <windows.h>

extern "C" void __cxa_pure_virtual()
{
    // A pure call is a programming fault; end the process rather than run on.
    RaiseFailFastException(nullptr, nullptr, 0);
}
