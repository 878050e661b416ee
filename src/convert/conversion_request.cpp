// Both ends of a conversion: LaunchConversion in Explorer, RunConvertArchiveW
// in the rundll32 process it starts.
#include "convert/conversion_request.h"

#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>

#include "brxlib/memory.h"
#include "brxlib/path_forms.h"
#include "brxlib/text_builder.h"
#include "convert/conversion_plan.h"
#include "module/module.h"
#include "shellext/menu_tables.h"
#include "shellext/shell_ext.h"

namespace {

const WCHAR EntryName[] = L",RunConvertArchive ";

// The module's own path, in its short form where the volume gives one.
// False when the path does not fit (it is never cut).
bool GetModulePath(WCHAR* path)
{
    const DWORD length = GetModuleFileNameW(ModuleInstance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    ShortenInPlace(path);
    return true;
}

// name in the system folder into path[MAX_PATH + 1]; false when it does not fit.
bool SystemProgramPath(const WCHAR* name, WCHAR* path)
{
    WCHAR folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    brxlib::TextBuilder text(path, MAX_PATH + 1);
    text.Append(folder, length).Append(L'\\').Append(name);
    return text.ok();
}

bool HasSpace(const WCHAR* text)
{
    for (; *text; ++text)
        if (*text == L' ')
            return true;
    return false;
}

}  // namespace

HRESULT CShellExt::LaunchConversion(int code)
{
    if (Selection.count == 0)
        return E_INVALIDARG;
    const ConversionTarget* conversion = FindConversionTarget(code);
    if (!conversion)
        return E_INVALIDARG;
    // The worker's checks, here: a refusal is then told to the window that
    // picked the command (or to nobody, when it asked for no user
    // interface) and reported as a failure, before any process starts.
    ConversionPaths paths;
    ArchiverLocation location;
    const HRESULT prepared = PrepareConversion(*conversion, Selection.data[0].path,
                                               TargetFolder[0] ? TargetFolder : nullptr, &paths, location, Refusal);
    if (FAILED(prepared))
        return prepared;
    // The worker gets the paths in the forms checked here, which Win32 reads
    // as the entries they name: "x.tar " as selected would reach "x.tar" if
    // anything trimmed the command line's end.
    WCHAR target[MAX_PATH + 1] = {};
    brxlib::CopyText(target, MAX_PATH + 1, TargetFolder);
    if (target[0] && !ToReadableForm(target)) {
        if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
            return E_OUTOFMEMORY;
        Refusal.Set(RefusalReason::NameReadsAsAnother, TargetFolder);
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }

    WCHAR modulePath[MAX_PATH + 1] = {};
    if (!GetModulePath(modulePath))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    brxlib::HeapBuffer<WCHAR> parameters(brxlib::TextLength(target) + brxlib::TextLength(paths.source) +
                                         brxlib::TextLength(modulePath) + 64);
    if (!parameters)
        return E_OUTOFMEMORY;
    if (!ComposeConversionRequest(modulePath, code, paths.source, target, parameters.get(), parameters.size()))
        return E_UNEXPECTED;

    // By its full path: a bare name is looked for in the current folder first.
    WCHAR rundll32[MAX_PATH + 1] = {};
    if (!SystemProgramPath(L"rundll32.exe", rundll32))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = ExecuteMask();
    execute.lpVerb = L"open";
    execute.lpFile = rundll32;
    execute.lpParameters = parameters.get();
    execute.lpDirectory = L".";
    execute.nShow = SW_HIDE;
    SetLastError(ERROR_SUCCESS);
    if (!ShellExecuteExW(&execute)) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    // Only the first path converts; the menu offers conversion for one path only.
    Selection.clear();
    return S_OK;
}

bool ComposeConversionRequest(const WCHAR* modulePath, int code, const WCHAR* source, const WCHAR* target,
                              WCHAR* buffer, size_t capacity)
{
    brxlib::TextBuilder text(buffer, capacity);
    // rundll32 fails silently on an unquoted module path with a space, as
    // on volumes that give no short names.
    if (HasSpace(modulePath))
        text.Append(L'"').Append(modulePath).Append(L'"');
    else
        text.Append(modulePath);
    text.Append(EntryName).AppendNumber(code).Append(L' ').Append(source);
    if (target && target[0])
        text.Append(TargetMark).Append(target);
    return text.ok();
}

void DecodeConversionRequest(const WCHAR* text, ConversionRequest* request)
{
    ZeroMemory(request->sourceBuffer, sizeof(request->sourceBuffer));
    WCHAR* end = nullptr;
    // wcstol: leading white space, one sign, digits; clamped to the 32-bit range.
    request->code = static_cast<int>(wcstol(text, &end, 10));
    const WCHAR* mark = nullptr;
    for (const WCHAR* p = text; *p; ++p) {
        if (*p == TargetMark) {
            mark = p;
            break;
        }
    }
    const WCHAR* sourceStart = CharNextW(end);
    if (!mark) {
        request->source = brxlib::TextLength(sourceStart) <= MAX_PATH ? sourceStart : nullptr;
        request->target = nullptr;
        return;
    }
    // The source runs from after the separator up to the mark.
    const ptrdiff_t length = sourceStart <= mark ? mark - sourceStart : 0;
    brxlib::TextBuilder source(request->sourceBuffer, MAX_PATH + 1);
    source.Append(sourceStart, static_cast<size_t>(length));
    request->source = source.ok() ? request->sourceBuffer : nullptr;
    request->target = CharNextW(mark);
}

extern "C" void CALLBACK RunConvertArchiveW(HWND, HINSTANCE, LPWSTR lpszCmdLine, int)
{
    if (!lpszCmdLine)
        return;
    ConversionRequest* request = brxlib::AllocateZeroed<ConversionRequest>(1);
    if (!request)
        return;
    DecodeConversionRequest(lpszCmdLine, request);
    {
        // A transient object of the worker's own, not made by the class factory.
        CShellExt transient;
        InterlockedIncrement(&ModuleLockCount);
        // A request without a path is no conversion anybody asked for: nothing to tell.
        if (request->code >= FirstConversionCode && request->source && request->source[0]) {
            transient.ConvertArchive(request->code, request->source, request->target);
            // Nobody else tells the user: Explorer's part ended when this process started.
            transient.Refusal.Show(nullptr);
        }
    }
    brxlib::Free(request);
}
