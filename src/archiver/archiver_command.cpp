// CShellExt::RunArchiverCommand: extract and compress commands, codes 0 to 18.
#include <windows.h>
#include <shellapi.h>

#include "archiver/archiver_location.h"
#include "archiver/command_template.h"
#include "brxlib/memory.h"
#include "brxlib/path_forms.h"
#include "shellext/menu_tables.h"
#include "shellext/shell_ext.h"

namespace {

// Parameters of the extract commands, codes 0 to 4 in order.
const WCHAR* const ExtractTemplates[5] = {
    L"/h /o:\"<TargetFolder>\" /l:\"<list file>\" /d",
    L"/od /l:\"<list file>\" /d",
    L"/oh /l:\"<list file>\" /d",
    L"/oc /l:\"<list file>\" /d",
    L"/t /l:\"<list file>\" /d",
};

// Parameters of the compress formats, codes 5 to 18: with and without a drop folder.
const WCHAR CompressToFolderTemplate[] = L"<switch> /o:\"<TargetFolder>\" /l:\"<list file>\" /d";
const WCHAR CompressTemplate[] = L"<switch> /l:\"<list file>\" /d";

const WCHAR* ParameterTemplate(int code, bool hasTarget)
{
    if (code < 5)
        return ExtractTemplates[code];
    return hasTarget ? CompressToFolderTemplate : CompressTemplate;
}

HRESULT LastErrorOr(HRESULT fallback)
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : fallback;
}

}  // namespace

HRESULT CShellExt::RunArchiverCommand(int code)
{
    if (Selection.count == 0)
        return E_INVALIDARG;
    // Refused before a list file exists, so none is left behind.
    if (code < 0 || code > LastArchiverCode)
        return E_INVALIDARG;

    ArchiverLocation location;
    const HRESULT located = LocateArchiver(location);
    if (FAILED(located)) {
        Refusal.Set(RefusalReason::NoInstallFolder);
        return located;
    }
    if (!ToArchiverForm(TargetFolder)) {
        if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
            return E_OUTOFMEMORY;
        Refusal.Set(RefusalReason::NameReadsAsAnother, TargetFolder);
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }

    const CompressFormat* format = FindCompressFormat(code);
    WCHAR listFile[MAX_PATH + 1] = {};
    const TemplateField fields[] = {
        {L"<TargetFolder>", TargetFolder},
        {L"<list file>", listFile},
        {L"<switch>", format ? format->archiverSwitch : L""},
    };
    const WCHAR* pattern = ParameterTemplate(code, TargetFolder[0] != 0);
    // Sized for the longest list-file name, so that nothing can fail once the list exists.
    brxlib::HeapBuffer<WCHAR> parameters(ExpandedLength(pattern, fields, 3) + MAX_PATH + 1);
    if (!parameters)
        return E_OUTOFMEMORY;

    if (!WriteListFile(listFile))
        return LastErrorOr(E_FAIL);
    brxlib::TextBuilder text(parameters.get(), parameters.size());
    ExpandTemplate(text, pattern, fields, 3);
    if (!text.ok()) {
        DeleteFileW(listFile);
        return E_UNEXPECTED;
    }

    // The shell's own error dialog stays off: the user hears of a failure from us, once.
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = ExecuteMask();
    execute.lpVerb = L"open";
    execute.lpFile = location.ArchiverPath;
    execute.lpParameters = parameters.get();
    execute.lpDirectory = location.InstallPath;
    execute.nShow = SW_SHOW;
    SetLastError(ERROR_SUCCESS);
    if (!ShellExecuteExW(&execute)) {
        const HRESULT hr = LastErrorOr(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        // Nobody will read the list: the archiver did not start.
        DeleteFileW(listFile);
        Refusal.Set(RefusalReason::ArchiverNotStarted, location.ArchiverPath);
        return hr;
    }
    return S_OK;
}
