// The Windows 11 menu's Invoke on 10,000 existing files of one folder.
// Invoke captures the paths and returns; a thread of the DLL writes the list
// and starts the archiver. Two figures: the time until Invoke returns,
// against a bare GetDisplayName(SIGDN_FILESYSPATH) loop over the same item
// array, and the time until the archiver has started (the command's thread
// has ended: DllCanUnloadNow says S_OK again), against the classic
// InvokeCommand of the same command on the same files. Each archiver is
// ended as soon as it is seen: its work on 10,000 files is not the module's.
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "testkit/drop_handle.h"
#include "testkit/scratch_folder.h"
#include "testkit/settings_keys.h"
#include "timing.h"

namespace {

const int Files = 10000;
// Few rounds: under Wine GetDisplayName(SIGDN_FILESYSPATH) costs about 2 ms an item,
// so each round takes some 40 s of path reads alone.
const int Runs = 3;
const wchar_t ExtractHere[] = L"ここに解凍(&H)";
const UINT ExtractHereOffset = 1;  // its offset in the classic context menu

std::wstring TitleOf(IExplorerCommand* command)
{
    LPWSTR title = nullptr;
    std::wstring text = SUCCEEDED(command->GetTitle(nullptr, &title)) && title ? title : L"";
    CoTaskMemFree(title);
    return text;
}

ComPtr<IExplorerCommand> SubCommand(IExplorerCommand* parent, const std::wstring& title)
{
    ComPtr<IEnumExplorerCommand> subs;
    if (!parent || FAILED(parent->EnumSubCommands(subs.put())))
        return ComPtr<IExplorerCommand>();
    for (;;) {
        ComPtr<IExplorerCommand> sub;
        if (subs->Next(1, sub.put(), nullptr) != S_OK)
            return ComPtr<IExplorerCommand>();
        if (TitleOf(sub.get()) == title)
            return sub;
    }
}

// The files and their shell items, made untimed.
struct Selection {
    std::vector<std::wstring> paths;
    ComPtr<IShellItemArray> items;
};

bool MakeSelection(const std::wstring& folder, Selection& selection)
{
    std::vector<PIDLIST_ABSOLUTE> ids;
    wchar_t name[64];
    for (int i = 1; i <= Files; ++i) {
        swprintf(name, 64, L"\\Document %05d.txt", i);
        const std::wstring path = folder + name;
        if (!TryWriteBytes(path, ""))
            break;
        PIDLIST_ABSOLUTE id = nullptr;
        if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &id, 0, nullptr)))
            break;
        ids.push_back(id);
        selection.paths.push_back(path);
    }
    const bool made = ids.size() == static_cast<size_t>(Files) &&
                      SUCCEEDED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(ids.size()),
                                                                  const_cast<PCIDLIST_ABSOLUTE*>(ids.data()),
                                                                  selection.items.put()));
    for (PIDLIST_ABSOLUTE id : ids)
        CoTaskMemFree(id);
    return made;
}

double BareDisplayNames(IShellItemArray* items)
{
    const double start = NowMs();
    for (DWORD i = 0; i < static_cast<DWORD>(Files); ++i) {
        IShellItem* item = nullptr;
        if (FAILED(items->GetItemAt(i, &item)))
            return -1;
        LPWSTR path = nullptr;
        const HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
        CoTaskMemFree(path);
        item->Release();
        if (FAILED(hr))
            return -1;
    }
    return NowMs() - start;
}

// Ends (untimed) every running archiver; how many there were. The module
// returns once the archiver's process exists, so one is found per run.
int EndArchivers()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int ended = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"Morvane.exe") != 0)
            continue;
        const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process && TerminateProcess(process, 1)) {
            WaitForSingleObject(process, 10000);
            ++ended;
        }
        if (process)
            CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}

// The list files the ended archivers left in the temporary folder.
void RemoveListFiles(const std::wstring& folder, const std::vector<std::wstring>& before)
{
    for (const std::wstring& name : ListFolder(folder, L"MRV*.tmp"))
        if (std::find(before.begin(), before.end(), name) == before.end())
            DeleteFileW((folder + L"\\" + name).c_str());
}

}  // namespace

void MeasureNewMenuInvoke(const LoadedModule& module)
{
    ScratchFolder scratch(L"newmenu");
    Selection selection;
    std::wstring standin = STANDIN_EXE;
    WriteStringSetting(ArchiverKey, L"InstallPath", standin.substr(0, standin.find_last_of(L'\\')));
    WriteDwordSetting(ShellKey, L"m_chkCMExtract", 1);
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    std::wstring temporary = TempPath();
    temporary.pop_back();
    const std::vector<std::wstring> listsBefore = ListFolder(temporary, L"MRV*.tmp");
    if (!MakeSelection(scratch.path(), selection) || module.CanUnloadNow() != S_OK) {
        AddRow("new menu Invoke, 10000 files", "error", "-", "-", "<= 1.5x", Verdict::Failed);
        AddNote("new menu Invoke: the files or their items could not be made, or the module was held");
        return;
    }
    HGLOBAL drop = BuildDropHandle(selection.paths);
    ComPtr<IDataObject> data = DropHandleDataObject(drop, DropHandout::Block);

    int failed = 0;
    std::vector<double> returned, started, bare, classic;
    const auto newMenu = [&] {
        ComPtr<IExplorerCommand> command =
            SubCommand(SubCommand(module.NewMenuCommand().get(), L"解凍").get(), L"ここに解凍");
        if (!command)
            return ++failed, void();
        const double start = NowMs();
        const HRESULT hr = command->Invoke(selection.items.get(), nullptr);
        const double back = NowMs() - start;
        command.reset();
        while (SUCCEEDED(hr) && module.CanUnloadNow() != S_OK)
            SwitchToThread();
        const double running = NowMs() - start;
        failed += FAILED(hr) || EndArchivers() != 1 ? 1 : 0;
        returned.push_back(back);
        started.push_back(running);
    };
    const auto classicMenu = [&] {
        ComPtr<IShellExtInit> init = module.NewObject();
        ComPtr<IContextMenu> menu;
        HMENU host = CreatePopupMenu();
        wchar_t verb[64] = {};
        if (!init || FAILED(init->Initialize(nullptr, data.get(), nullptr)) ||
            FAILED(init->QueryInterface(IID_IContextMenu, menu.put_void())) ||
            FAILED(menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL)) ||
            FAILED(menu->GetCommandString(ExtractHereOffset, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb), 64)) ||
            std::wstring(verb) != ExtractHere) {
            DestroyMenu(host);
            return ++failed, void();
        }
        DestroyMenu(host);
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(ExtractHereOffset);
        info.nShow = SW_SHOWNORMAL;
        const double start = NowMs();
        const HRESULT hr = menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
        classic.push_back(NowMs() - start);
        failed += FAILED(hr) || EndArchivers() != 1 ? 1 : 0;
    };
    for (int i = 0; i <= Runs; ++i) {
        newMenu();
        bare.push_back(BareDisplayNames(selection.items.get()));
        classicMenu();
        RemoveListFiles(temporary, listsBefore);
        // The first round warms up.
        if (i == 0)
            returned.clear(), started.clear(), bare.clear(), classic.clear();
    }
    if (failed) {
        AddRow("new menu Invoke, 10000 files", "error", "-", "-", "<= 1.5x", Verdict::Failed);
        AddNote("new menu Invoke: %d of %d runs did not start exactly one archiver", failed, 2 * (Runs + 1));
        return;
    }
    AddRatioRow("new menu Invoke returns, 10000 files", Median(returned), Median(bare), 1.5);
    // The new menu must ask every item its path, which the classic menu is
    // handed in one block: that loop is part of what it is measured against.
    std::vector<double> classicAndPaths;
    for (size_t i = 0; i < classic.size(); ++i)
        classicAndPaths.push_back(classic[i] + bare[i]);
    AddRatioRow("  archiver started, against classic", Median(started), Median(classicAndPaths), 1.2);
    AddNote("new menu Invoke on %d files of one folder: returns against a bare GetDisplayName(SIGDN_FILESYSPATH) "
            "loop over the same items; archiver started (its command's thread ended) against the classic "
            "InvokeCommand of \"ここに解凍\" after an untimed Initialize plus that loop; each run started one archiver, ended "
            "untimed at once; median of %d rounds",
            Files, Runs);
}
