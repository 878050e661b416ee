// CShellExt::ConvertArchive: extract the source into a temporary folder with
// the archiver, then compress what landed there into the new format.
#include "archiver/archiver_location.h"
#include "archiver/command_template.h"
#include "archiver/short_forms.h"
#include "archiver/temporary_names.h"
#include "brxlib/memory.h"
#include "brxlib/path_forms.h"
#include "convert/archiver_process.h"
#include "convert/confirm_probe.h"
#include "convert/conversion_plan.h"
#include "convert/delete_tree.h"
#include "shellext/menu_tables.h"
#include "shellext/shell_ext.h"

namespace {

const WCHAR ExtractTemplate[] = L"\"<ArchiverPath>\" /a2a:0 /o:\"<temporary folder>\" \"<source>\"";
const WCHAR CompressTemplate[] =
    L"\"<ArchiverPath>\" <switch> /a2a:0 /d /l:\"<list file>\" /n:\"<output>\"";
const WCHAR NotAnArchiveMessage[] =
    L"変換元のファイルは、アーカイブファイルでないか、サポートしていない形式です。";
const WCHAR MessageCaption[] = L"Morvane";

// A fresh folder named by the system in the user's temporary folder.
bool MakeTemporaryFolder(WCHAR* folder, CommandRefusal& refusal)
{
    if (CreateTemporaryName(folder)) {
        DeleteFileW(folder);
        if (CreateDirectoryW(folder, nullptr))
            return true;
    }
    refusal.SetNoTemporaryFile();
    return false;
}

bool StartFromTemplate(const WCHAR* pattern, const TemplateField* fields, int fieldCount, ArchiverProcess& started,
                       const ArchiverLocation& location, CommandRefusal& refusal)
{
    brxlib::HeapBuffer<WCHAR> commandLine(ExpandedLength(pattern, fields, fieldCount) + 1);
    if (!commandLine)
        return false;
    brxlib::TextBuilder text(commandLine.get(), commandLine.size());
    ExpandTemplate(text, pattern, fields, fieldCount);
    if (!text.ok())
        return false;
    if (StartArchiver(commandLine.get(), started))
        return true;
    refusal.Set(RefusalReason::ArchiverNotStarted, location.ArchiverPath);
    return false;
}

// folder + "\" + name, for telling the user which path did not fit.
void RefuseLongEntry(const WCHAR* folder, const WCHAR* name, CommandRefusal& refusal)
{
    const size_t capacity = brxlib::TextLength(folder) + 1 + brxlib::TextLength(name) + 1;
    brxlib::HeapBuffer<WCHAR> path(capacity);
    if (!path)
        return;
    brxlib::TextBuilder text(path.get(), capacity);
    text.Append(folder).Append(L'\\').Append(name);
    refusal.Set(RefusalReason::PathTooLong, path.get());
}

// The top-level entries of folder into selection, each already in the form
// the list file takes: its short form from this one enumeration (the
// folder's short form and the entry's short name), or its full path where
// that form does not fit. False when neither fits: a conversion without the
// entry would make an incomplete archive.
bool ListTopLevel(const WCHAR* folder, brxlib::simple_array<CShellExt::PATH_INFO>& selection,
                  CommandRefusal& refusal)
{
    WCHAR shortFolder[MAX_PATH + 1] = {};
    const bool hasShortFolder = LookUpShortForm(folder, shortFolder);
    WIN32_FIND_DATAW entry;
    brxlib::UniqueFind search(FindEntries(folder, &entry));
    if (!search.valid())
        return true;
    do {
        const WCHAR* name = entry.cFileName;
        if (IsDotEntry(name))
            continue;
        CShellExt::PATH_INFO item = {};
        const WCHAR* component = entry.cAlternateFileName[0] ? entry.cAlternateFileName : name;
        if (!(hasShortFolder && JoinFolderEntry(shortFolder, component, item.path)) &&
            !JoinFolderEntry(folder, name, item.path)) {
            RefuseLongEntry(folder, name, refusal);
            return false;
        }
        if (!selection.append(item))
            return false;
    } while (FindNextFileW(search.get(), &entry));
    return true;
}

// Looks for the archiver's confirmation window once the archiver is idle,
// and again while it runs: a program can wait for input before it has made
// that window (Wine's WaitForInputIdle returns before the first window
// exists), and a missed window would leave the conversion waiting on a
// dialog nobody answers.
bool WatchForConfirmation(ArchiverProcess& started)
{
    const DWORD PollMs = 100;
    for (;;) {
        bool found = false;
        EnumThreadWindows(started.mainThreadId, ConfirmDialogProbe, reinterpret_cast<LPARAM>(&found));
        if (found)
            return true;
        if (WaitForSingleObject(started.process.get(), PollMs) != WAIT_TIMEOUT)
            return false;
    }
}

}  // namespace

void CShellExt::ConvertArchive(int code, const WCHAR* source, const WCHAR* target)
{
    const ConversionTarget* conversion = FindConversionTarget(code);
    if (!conversion || !source)
        return;
    // Every path is formed and checked before anything runs, as where the
    // conversion was picked: a request may come from elsewhere, and the
    // files may have changed since.
    ConversionPaths paths;
    ArchiverLocation location;
    if (FAILED(PrepareConversion(*conversion, source, target, &paths, location, Refusal)))
        return;
    WCHAR tempFolder[MAX_PATH + 1] = {};
    if (!MakeTemporaryFolder(tempFolder, Refusal))
        return;

    ArchiverProcess extract;
    const TemplateField extractFields[] = {
        {L"<ArchiverPath>", location.ArchiverPath},
        {L"<temporary folder>", tempFolder},
        {L"<source>", paths.source},
    };
    if (!StartFromTemplate(ExtractTemplate, extractFields, 3, extract, location, Refusal)) {
        DeleteDirectoryTree(tempFolder, true);
        return;
    }
    WaitForInputIdle(extract.process.get(), INFINITE);
    const bool notAnArchive = WatchForConfirmation(extract);
    if (notAnArchive)
        MessageBoxW(nullptr, NotAnArchiveMessage, MessageCaption, MB_ICONINFORMATION);
    // Also after a refused source: the folder goes only once the archiver has let go of it.
    WaitForExit(extract);

    Selection.clear();
    WCHAR listFile[MAX_PATH + 1] = {};
    // The output is looked at again just before it is written: a file may
    // have come to carry its name as a short name while the first run ran.
    if (notAnArchive || !ListTopLevel(tempFolder, Selection, Refusal) || Selection.count == 0 ||
        FAILED(CheckOutputIsNoAlias(paths, Refusal)) || !WriteListFile(listFile, ListForm::AsStored)) {
        Selection.clear();
        DeleteDirectoryTree(tempFolder, true);
        return;
    }

    ArchiverProcess compress;
    const TemplateField compressFields[] = {
        {L"<ArchiverPath>", location.ArchiverPath},
        {L"<switch>", conversion->formatSwitch},
        {L"<list file>", listFile},
        {L"<output>", paths.output},
    };
    if (!StartFromTemplate(CompressTemplate, compressFields, 4, compress, location, Refusal)) {
        // Nobody owns the list now.
        DeleteFileW(listFile);
        DeleteDirectoryTree(tempFolder, true);
        return;
    }
    WaitForExit(compress);
    DeleteDirectoryTree(tempFolder, true);
}
