#include "menusetup/powershell_command.h"

#include "brxlib/memory.h"
#include "brxlib/owners.h"

namespace menusetup {
namespace {

const wchar_t PackageName[] = L"Brantix.MorvaneShellExtension";
// Add-AppxPackage takes seconds; a PowerShell that hangs must not hold a
// sign-in (Active Setup waits for us) for ever.
const DWORD PowerShellTimeoutMs = 5 * 60 * 1000;
// Command line limit of CreateProcessW, terminator included.
const size_t CommandLineCapacity = 32768;

// A failure's HRESULT as the exit code (0 would read as success).
const wchar_t ExitOnFailure[] =
    L" -ErrorAction Stop } catch { $c = $_.Exception.HResult; if (-not $c) { $c = 1 }; exit $c }";

bool IsSingleQuote(wchar_t unit)
{
    // PowerShell's tokenizer: ' and U+2018..U+201B all open and close a single-quoted string.
    return unit == L'\'' || (unit >= 0x2018 && unit <= 0x201B);
}

}  // namespace

void AppendSingleQuoted(brxlib::TextBuilder& out, const wchar_t* text)
{
    out.Append(L'\'');
    for (const wchar_t* p = text; *p; ++p) {
        if (IsSingleQuote(*p))
            out.Append(*p);
        out.Append(*p);
    }
    out.Append(L'\'');
}

void AppendArgument(brxlib::TextBuilder& out, const wchar_t* argument)
{
    // CommandLineToArgvW: backslashes are literal except before a quotation
    // mark, where 2n of them stand for n and 2n+1 for n and the mark.
    out.Append(L'"');
    size_t backslashes = 0;
    for (const wchar_t* p = argument; *p; ++p) {
        if (*p == L'\\') {
            ++backslashes;
            continue;
        }
        for (size_t i = 0; i < (*p == L'"' ? 2 * backslashes + 1 : backslashes); ++i)
            out.Append(L'\\');
        backslashes = 0;
        out.Append(*p);
    }
    for (size_t i = 0; i < 2 * backslashes; ++i)
        out.Append(L'\\');
    out.Append(L'"');
}

bool ComposeAddScript(wchar_t* script, size_t capacity, const wchar_t* package, const wchar_t* folder)
{
    brxlib::TextBuilder out(script, capacity);
    out.Append(L"try { Add-AppxPackage -Path ");
    AppendSingleQuoted(out, package);
    out.Append(L" -ExternalLocation ");
    AppendSingleQuoted(out, folder);
    out.Append(ExitOnFailure);
    return out.ok();
}

bool ComposeRemoveScript(wchar_t* script, size_t capacity)
{
    brxlib::TextBuilder out(script, capacity);
    out.Append(L"try { Get-AppxPackage -Name ").Append(PackageName).Append(L" | Remove-AppxPackage");
    out.Append(ExitOnFailure);
    return out.ok();
}

bool RunPowerShell(const wchar_t* script, DWORD* code)
{
    wchar_t program[MAX_PATH + 64] = {};
    brxlib::HeapBuffer<wchar_t> line(CommandLineCapacity);
    const UINT system = GetSystemDirectoryW(program, MAX_PATH);
    if (!line || system == 0 || system >= MAX_PATH) {
        *code = line ? GetLastError() : ERROR_OUTOFMEMORY;
        return false;
    }
    brxlib::TextBuilder path(program + system, MAX_PATH + 64 - system);
    path.Append(L"\\WindowsPowerShell\\v1.0\\powershell.exe");
    brxlib::TextBuilder out(line.get(), CommandLineCapacity);
    AppendArgument(out, program);
    out.Append(L" -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command ");
    AppendArgument(out, script);
    if (!path.ok() || !out.ok()) {
        *code = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // CREATE_NO_WINDOW: no console is made at all, so no terminal (Windows
    // Terminal ignores -WindowStyle Hidden) can show one.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, line.get(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        *code = GetLastError();
        return false;
    }
    brxlib::UniqueHandle thread(process.hThread), child(process.hProcess);
    if (WaitForSingleObject(child.get(), PowerShellTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(child.get(), ERROR_TIMEOUT);
        *code = ERROR_TIMEOUT;
        return false;
    }
    if (!GetExitCodeProcess(child.get(), code)) {
        *code = GetLastError();
        return false;
    }
    return true;
}

}  // namespace menusetup
