// The Windows 11 menu's Invoke on 10,000 existing files of one folder.
// Invoke captures the paths and returns; a thread of the DLL writes the list
// and starts the archiver. Two figures: the time until Invoke returns,
// against a bare GetDisplayName(SIGDN_FILESYSPATH) loop over the same item
// array, and the time until the archiver has started (the command's thread
// has ended: DllCanUnloadNow says S_OK again), against the classic
// InvokeCommand of the same command on the same files.
#include <shobjidl.h>

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
const int Runs = 7;
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

// The stand-in's finished runs, from its log: each record ends with "end".
int LoggedRuns(const std::wstring& log)
{
    const std::string text = "\n" + ReadBytes(log);
    int runs = 0;
    for (size_t at = text.find("\nend\n"); at != std::string::npos; at = text.find("\nend\n", at + 1))
        ++runs;
    return runs;
}

// Waits (untimed) for the archiver's run to end, so that it works on no timed run.
bool AwaitRun(const std::wstring& log, int runs)
{
    const double start = NowMs();
    while (LoggedRuns(log) < runs) {
        if (NowMs() - start > 120000)
            return false;
        Sleep(20);
    }
    return true;
}

}  // namespace

void MeasureNewMenuInvoke(const LoadedModule& module)
{
    ScratchFolder scratch(L"newmenu");
    Selection selection;
    std::wstring standin = STANDIN_EXE;
    WriteStringSetting(ArchiverKey, L"InstallPath", standin.substr(0, standin.find_last_of(L'\\')));
    WriteDwordSetting(ShellKey, L"m_chkCMExtract", 1);
    const std::wstring log = scratch / L"runs.log";
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", log.c_str());
    if (!MakeSelection(scratch.path(), selection) || module.CanUnloadNow() != S_OK) {
        SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
        AddRow("new menu Invoke, 10000 files", "error", "-", "-", "<= 1.5x", Verdict::Failed);
        AddNote("new menu Invoke: the files or their items could not be made, or the module was held");
        return;
    }
    HGLOBAL drop = BuildDropHandle(selection.paths);
    ComPtr<IDataObject> data = DropHandleDataObject(drop, DropHandout::Block);

    int runs = 0, failed = 0;
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
        failed += FAILED(hr) || !AwaitRun(log, ++runs) ? 1 : 0;
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
        failed += FAILED(hr) || !AwaitRun(log, ++runs) ? 1 : 0;
    };
    for (int i = 0; i <= Runs; ++i) {
        newMenu();
        bare.push_back(BareDisplayNames(selection.items.get()));
        classicMenu();
        // The first round warms up.
        if (i == 0)
            returned.clear(), started.clear(), bare.clear(), classic.clear();
    }
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    if (failed) {
        AddRow("new menu Invoke, 10000 files", "error", "-", "-", "<= 1.5x", Verdict::Failed);
        AddNote("new menu Invoke: %d of %d runs did not start the archiver", failed, 2 * (Runs + 1));
        return;
    }
    AddRatioRow("new menu Invoke returns, 10000 files", Median(returned), Median(bare), 1.5);
    AddRatioRow("  archiver started, against classic", Median(started), Median(classic), 1.2);
    AddNote("new menu Invoke on %d files of one folder: returns against a bare GetDisplayName(SIGDN_FILESYSPATH) "
            "loop over the same items; archiver started (its command's thread ended) against the classic "
            "InvokeCommand of \"ここに解凍\" after an untimed Initialize; every run's archiver finished before "
            "the next; median of %d rounds",
            Files, Runs);
}
