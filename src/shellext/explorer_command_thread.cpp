// A command picked in the Windows 11 menu runs on a thread of its own.
// Explorer calls Invoke across processes (the object lives in dllhost.exe)
// and waits for it; writing the list, starting the archiver or a refusal's
// modal box would hold Explorer meanwhile.
#include "module/module.h"
#include "shellext/explorer_command.h"
#include "shellext/selection_paths.h"
#include "shellext/shell_ext.h"

namespace {

// Everything the thread needs, its own: the host's item array and site
// belong to the apartment that called Invoke.
struct CommandJob {
    CShellExt* ext;  // the captured selection; one reference
    int code;
    HWND owner;
    bool captured;   // false: only the capture's refusal is left to tell
    HMODULE module;  // a loader reference, given back as the thread exits
};

DWORD WINAPI RunCommandJob(void* parameter)
{
    CommandJob* job = static_cast<CommandJob*>(parameter);
    // ShellExecuteExW may hand the start to COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (job->captured)
        job->ext->RunCommand(job->code, job->owner, true);
    else
        job->ext->Refusal.Show(job->owner);
    job->ext->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    const HMODULE module = job->module;
    brxlib::Free(job);
    InterlockedDecrement(&ModuleLockCount);
    // The count may reach zero here and the host unload the module: the
    // loader reference keeps the code of these last instructions mapped.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

// Starts the thread, which takes ext over; on failure ext is released and
// nothing runs.
HRESULT StartJob(CShellExt* ext, int code, HWND owner, bool captured)
{
    CommandJob* job = static_cast<CommandJob*>(brxlib::Allocate(sizeof(CommandJob)));
    HMODULE module = nullptr;
    if (!job || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                    reinterpret_cast<LPCWSTR>(&RunCommandJob), &module)) {
        const HRESULT hr = job ? HRESULT_FROM_WIN32(GetLastError()) : E_OUTOFMEMORY;
        brxlib::Free(job);
        ext->Release();
        return FAILED(hr) ? hr : E_FAIL;
    }
    *job = {ext, code, owner, captured, module};
    InterlockedIncrement(&ModuleLockCount);
    const HANDLE thread = CreateThread(nullptr, 0, RunCommandJob, job, 0, nullptr);
    if (!thread) {
        const DWORD error = GetLastError();
        InterlockedDecrement(&ModuleLockCount);
        FreeLibrary(module);
        brxlib::Free(job);
        ext->Release();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    CloseHandle(thread);
    return S_OK;
}

}  // namespace

HRESULT StartCommandOnItems(int code, IShellItemArray* items, HWND owner)
{
    // A fresh object per command: a plain right-click, so no drop folder.
    CShellExt* ext = CShellExt::Create();
    if (!ext)
        return E_OUTOFMEMORY;
    const HRESULT hr = CaptureItems(items, *ext);
    if (SUCCEEDED(hr))
        return StartJob(ext, code, owner, true);
    // The classic menu is not offered for such a path; this one was, and picked.
    if (hr == PathTooLongResult) {
        StartJob(ext, code, owner, false);
        return hr;
    }
    ext->Release();
    return hr;
}
