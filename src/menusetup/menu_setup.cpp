// MorvaneMenuSetup.exe /register | /unregister: the Windows 11 menu's package
// for the account it runs as. The MSI runs it as the installing user, and
// Active Setup at each user's sign-in (StubPath). It takes no paths: the
// package and its external location are this program's own folder, so no
// command line that calls it carries a path of the administrator's choosing.
#include <windows.h>
#include <shellapi.h>

#include "brxlib/memory.h"
#include "brxlib/text_builder.h"
#include "menusetup/menu_package.h"
#include "menusetup/powershell_command.h"
#include "menusetup/setup_log.h"

namespace menusetup {
namespace {

const wchar_t ActiveSetupKey[] =
    L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{9058CF24-FC57-484A-91FD-164A91A6644B}";
const DWORD FirstBuildWithPackageMenu = 22000;
// Add-AppxPackage of a full name already registered (a rebuild or a
// re-signing of the same version): ERROR_INSTALL_FAILED, ERROR_PACKAGE_ALREADY_EXISTS.
const DWORD SameVersionConflicts[] = {0x80073CF9, 0x80073CFB};
const size_t ScriptCapacity = 3 * PathCapacity;
const size_t RemovalCapacity = 256;

bool RunsAsLocalSystem()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    const bool system = GetTokenInformation(token, TokenUser, &info, sizeof(info), &size) &&
                        IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid);
    CloseHandle(token);
    return system;
}

// Active Setup runs StubPath at sign-in while the user's Version is missing
// or below the machine's. A registration that worked records the machine's
// Version for the user (so the MSI's run counts for the installing user);
// one that did not, or could not yet (before Windows 11), removes the
// user's record so that the next sign-in tries again.
void RecordActiveSetup()
{
    wchar_t version[64] = {};
    DWORD bytes = sizeof(version) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, ActiveSetupKey, L"Version", RRF_RT_REG_SZ, nullptr, version, &bytes) ==
        ERROR_SUCCESS)
        RegSetKeyValueW(HKEY_CURRENT_USER, ActiveSetupKey, L"Version", REG_SZ, version,
                        static_cast<DWORD>((brxlib::TextLength(version) + 1) * sizeof(wchar_t)));
}

void ForgetActiveSetup() { RegDeleteKeyW(HKEY_CURRENT_USER, ActiveSetupKey); }

bool IsSameVersionConflict(DWORD code)
{
    for (DWORD conflict : SameVersionConflicts)
        if (code == conflict)
            return true;
    return false;
}

// Skips the step, with the reason logged, where it does not apply.
bool Skipped(const wchar_t* mode)
{
    if (RunsAsLocalSystem()) {
        // Add-AppxPackage refuses LocalSystem; every user gets the package at sign-in.
        WriteLogLine(mode, 0, L"skipped", L"LocalSystem has no package of its own, users get it at sign-in");
        return true;
    }
    const DWORD build = WindowsBuild();
    if (build >= FirstBuildWithPackageMenu)
        return false;
    wchar_t reason[96];
    brxlib::TextBuilder(reason, 96).Append(L"Windows build ").AppendNumber(static_cast<int>(build))
        .Append(L" has no package menu (22000 and later)");
    WriteLogLine(mode, 0, L"skipped", reason);
    return true;
}

DWORD Register()
{
    if (Skipped(L"register")) {
        ForgetActiveSetup();
        return 0;
    }
    brxlib::HeapBuffer<wchar_t> folderBuffer(PathCapacity), packageBuffer(PathCapacity), scriptBuffer(ScriptCapacity);
    wchar_t* folder = folderBuffer.get();
    wchar_t* package = packageBuffer.get();
    wchar_t* script = scriptBuffer.get();
    wchar_t removal[RemovalCapacity];
    if (!folder || !package || !script)
        return ERROR_OUTOFMEMORY;
    if (!LocatePackage(folder, package) || !ComposeAddScript(script, ScriptCapacity, package, folder) ||
        !ComposeRemoveScript(removal, RemovalCapacity)) {
        WriteLogLine(L"register", ERROR_FILENAME_EXCED_RANGE, L"not registered", L"the install folder's path is too long");
        return ERROR_FILENAME_EXCED_RANGE;
    }
    // Windows refuses an unsigned package: say so plainly rather than in PowerShell's words.
    const HRESULT signature = CheckPackageSigned(package);
    if (FAILED(signature)) {
        ForgetActiveSetup();
        WriteLogLine(L"register", static_cast<DWORD>(signature),
                     signature == TRUST_E_NOSIGNATURE ? L"not registered, the package is not signed"
                                                      : L"not registered, the package cannot be read",
                     package);
        return static_cast<DWORD>(signature);
    }
    DWORD code = 0;
    bool ran = RunPowerShell(script, &code);
    const bool conflict = ran && IsSameVersionConflict(code);
    if (conflict) {
        // The removal's own result does not matter: adding again tells.
        DWORD removed = 0;
        RunPowerShell(removal, &removed);
        ran = RunPowerShell(script, &code);
    }
    if (ran && code == 0) {
        RecordActiveSetup();
        WriteLogLine(L"register", 0, conflict ? L"registered after removing the same version" : L"registered", folder);
        return 0;
    }
    ForgetActiveSetup();
    const wchar_t* outcome = !ran       ? L"not registered, PowerShell did not run to its end"
                             : conflict ? L"not registered after removing the same version"
                                        : L"not registered";
    WriteLogLine(L"register", code, outcome, folder);
    return code ? code : ERROR_GEN_FAILURE;
}

DWORD Unregister()
{
    wchar_t removal[RemovalCapacity];
    // The user's record goes in any case: a later installation registers the package again at sign-in.
    ForgetActiveSetup();
    if (Skipped(L"unregister"))
        return 0;
    DWORD code = 0;
    const bool ran = ComposeRemoveScript(removal, RemovalCapacity) && RunPowerShell(removal, &code);
    if (ran && code == 0) {
        WriteLogLine(L"unregister", 0, L"removed", nullptr);
        return 0;
    }
    WriteLogLine(L"unregister", code, ran ? L"not removed" : L"not removed, PowerShell did not run to its end", nullptr);
    return code ? code : ERROR_GEN_FAILURE;
}

}  // namespace
}  // namespace menusetup

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // No "insert a disk" or crash boxes at sign-in: nobody may be there to answer them.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    DWORD code = ERROR_INVALID_PARAMETER;
    if (arguments && count == 2 && lstrcmpiW(arguments[1], L"/register") == 0)
        code = menusetup::Register();
    else if (arguments && count == 2 && lstrcmpiW(arguments[1], L"/unregister") == 0)
        code = menusetup::Unregister();
    else
        menusetup::WriteLogLine(L"usage", code, L"MorvaneMenuSetup.exe /register | /unregister", nullptr);
    LocalFree(arguments);
    return static_cast<int>(code);
}
