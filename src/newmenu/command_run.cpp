// A command picked in the Windows 11 menu runs inside Invoke. Windows runs
// the objects in the package's surrogate (dllhost.exe), which may end soon
// after Invoke returns, whatever threads are still working: the capture,
// the list file and the start of the archiver (or of rundll32) are bounded
// work and finish first. Only a refusal's box, which waits for the user,
// outlives Invoke, on a thread of its own.
#include "newmenu/command_run.h"

#include "brxlib/memory.h"
#include "module/module.h"
#include "newmenu/package_name.h"
#include "newmenu/selection_capture.h"
#include "shellext/shell_ext.h"

namespace {

// The package's identity name, as its manifest declares it.
const WCHAR OwnPackageName[] = L"Brantix.MorvaneShellExtension";
const size_t OwnPackageNameLength = ARRAYSIZE(OwnPackageName) - 1;
const UINT32 LongestPackageFullName = 127;

// Whether the module runs in its own package's process, the surrogate that
// Windows starts for the package's class. Only there may the box keep the
// process alive: in Explorer, or in another program that loaded the module,
// CoReleaseServerProcess could suspend that program's class objects.
bool RunsInOwnPackage()
{
    WCHAR name[LongestPackageFullName + 1] = {};
    UINT32 length = ARRAYSIZE(name);
    if (CurrentPackageFullName(&length, name) != ERROR_SUCCESS || length > ARRAYSIZE(name))
        return false;
    // "<name>_<version>_<architecture>_<resource id>_<publisher id>"; the length counts the terminator.
    return length > OwnPackageNameLength + 1 && name[OwnPackageNameLength] == L'_' &&
           CompareStringOrdinal(name, static_cast<int>(OwnPackageNameLength), OwnPackageName,
                                static_cast<int>(OwnPackageNameLength), TRUE) == CSTR_EQUAL;
}

// What the box's thread needs, its own.
struct RefusalJob {
    CShellExt* ext;      // holds the refusal; one reference
    HWND owner;
    bool holdsProcess;   // a CoAddRefServerProcess to give back
    HMODULE module;      // a loader reference, given back as the thread exits
};

DWORD WINAPI ShowRefusal(void* parameter)
{
    RefusalJob* job = static_cast<RefusalJob*>(parameter);
    job->ext->Refusal.Show(job->owner);
    job->ext->Release();
    if (job->holdsProcess) {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoReleaseServerProcess();
        if (SUCCEEDED(com))
            CoUninitialize();
    }
    const HMODULE module = job->module;
    brxlib::Free(job);
    InterlockedDecrement(&ModuleLockCount);
    // The count may reach zero here and the host unload the module: the
    // loader reference keeps the code of these last instructions mapped.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

// Takes ext over: its refusal, if any, is told on a thread of its own.
// Without memory or a thread there is nobody to tell.
void TellRefusal(CShellExt* ext, HWND owner)
{
    RefusalJob* job = ext->Refusal.text() ? static_cast<RefusalJob*>(brxlib::Allocate(sizeof(RefusalJob))) : nullptr;
    HMODULE module = nullptr;
    if (!job || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                    reinterpret_cast<LPCWSTR>(&ShowRefusal), &module)) {
        brxlib::Free(job);
        ext->Release();
        return;
    }
    *job = {ext, owner, RunsInOwnPackage(), module};
    if (job->holdsProcess)
        CoAddRefServerProcess();
    InterlockedIncrement(&ModuleLockCount);
    const HANDLE thread = CreateThread(nullptr, 0, ShowRefusal, job, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    InterlockedDecrement(&ModuleLockCount);
    if (job->holdsProcess)
        CoReleaseServerProcess();
    FreeLibrary(module);
    brxlib::Free(job);
    ext->Release();
}

}  // namespace

HRESULT RunCommandOnItems(int code, IShellItemArray* items, HWND owner)
{
    // A fresh object per command: a plain right-click, so no drop folder.
    CShellExt* ext = CShellExt::Create();
    if (!ext)
        return E_OUTOFMEMORY;
    ext->StartBeforeReturn = true;
    HRESULT hr = CaptureItems(items, *ext);
    // The classic menu is not offered for a path that fits no form; this
    // one was, and picked: its refusal is told too.
    if (SUCCEEDED(hr))
        hr = ext->StartCommand(code);
    TellRefusal(ext, owner);
    return hr;
}
