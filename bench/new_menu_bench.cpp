// The Windows 11 menu's Invoke on 1,000 and 10,000 existing files of one
// folder. Invoke captures the paths, writes the list and starts the archiver
// before it returns: its time is the whole command's, against the classic
// Initialize plus InvokeCommand of the same command on the same files. The
// item array gives its data object as Windows' arrays do (BindToHandler
// with BHID_DataObject: the shell's own data object of the same items, the
// one the classic menu is handed); Wine's own array, which gives none and is
// read item by item, is printed for comparison. Each archiver is ended as
// soon as it is seen: its work on the files is not the module's.
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "testkit/scratch_folder.h"
#include "testkit/settings_keys.h"
#include "timing.h"

namespace {

const int Runs = 5;
// Wine's own array costs GetDisplayName(SIGDN_FILESYSPATH) a path, 2 to 8 ms
// under Wine: that comparison is made for the smaller selection only.
const int WineArrayFiles = 1000;
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

// Wine's array of the items, giving the shell's data object of the same
// items for BHID_DataObject, as Windows' arrays do; the rest is Wine's.
class DataObjectArray final : public IShellItemArray {
public:
    DataObjectArray(IShellItemArray* items, IDataObject* data) : m_items(items), m_data(data)
    {
        m_items->AddRef();
        m_data->AddRef();
    }
    ~DataObjectArray()
    {
        m_items->Release();
        m_data->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const bool ours = IsEqualIID(riid, IID_IShellItemArray) || IsEqualIID(riid, IID_IUnknown);
        *ppv = ours ? static_cast<IShellItemArray*>(this) : nullptr;
        return ours ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_count)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = InterlockedDecrement(&m_count);
        if (!count)
            delete this;
        return static_cast<ULONG>(count);
    }
    STDMETHODIMP BindToHandler(IBindCtx* bc, REFGUID handler, REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(handler, BHID_DataObject))
            return m_data->QueryInterface(riid, ppv);
        return m_items->BindToHandler(bc, handler, riid, ppv);
    }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID riid, void** ppv) override
    {
        return m_items->GetPropertyStore(flags, riid, ppv);
    }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY key, REFIID riid, void** ppv) override
    {
        return m_items->GetPropertyDescriptionList(key, riid, ppv);
    }
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS flags, SFGAOF mask, SFGAOF* attributes) override
    {
        return m_items->GetAttributes(flags, mask, attributes);
    }
    STDMETHODIMP GetCount(DWORD* count) override { return m_items->GetCount(count); }
    STDMETHODIMP GetItemAt(DWORD index, IShellItem** item) override { return m_items->GetItemAt(index, item); }
    STDMETHODIMP EnumItems(IEnumShellItems** items) override { return m_items->EnumItems(items); }

private:
    LONG m_count = 1;
    IShellItemArray* m_items;
    IDataObject* m_data;
};

// The files, Wine's array of their items and the shell's data object of the
// same items (GetUIObjectOf of their folder), made untimed.
struct Selection {
    std::vector<std::wstring> paths;
    ComPtr<IShellItemArray> wineItems;
    ComPtr<IDataObject> data;
    ComPtr<IShellItemArray> items;  // wineItems with data as its data object
};

bool MakeSelection(const std::wstring& folder, int files, Selection& selection)
{
    std::vector<PIDLIST_ABSOLUTE> ids;
    std::vector<PITEMID_CHILD> children;
    ComPtr<IShellFolder> desktop, parent;
    PIDLIST_ABSOLUTE folderId = nullptr;
    bool made = SUCCEEDED(SHParseDisplayName(folder.c_str(), nullptr, &folderId, 0, nullptr)) &&
                SUCCEEDED(SHGetDesktopFolder(desktop.put())) &&
                SUCCEEDED(desktop->BindToObject(folderId, nullptr, IID_IShellFolder, parent.put_void()));
    CoTaskMemFree(folderId);
    wchar_t name[64];
    for (int i = 1; made && i <= files; ++i) {
        swprintf(name, 64, L"Document %05d.txt", i);
        const std::wstring path = folder + L"\\" + name;
        PIDLIST_ABSOLUTE id = nullptr;
        PIDLIST_RELATIVE child = nullptr;
        made = TryWriteBytes(path, "") && SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &id, 0, nullptr)) &&
               SUCCEEDED(parent->ParseDisplayName(nullptr, nullptr, name, nullptr, &child, nullptr));
        if (id)
            ids.push_back(id);
        if (child)
            children.push_back(static_cast<PITEMID_CHILD>(child));
        selection.paths.push_back(path);
    }
    made = made &&
           SUCCEEDED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(ids.size()),
                                                       const_cast<PCIDLIST_ABSOLUTE*>(ids.data()),
                                                       selection.wineItems.put())) &&
           SUCCEEDED(parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                           const_cast<PCUITEMID_CHILD_ARRAY>(children.data()), IID_IDataObject,
                                           nullptr, selection.data.put_void()));
    for (PIDLIST_ABSOLUTE id : ids)
        CoTaskMemFree(id);
    for (PITEMID_CHILD child : children)
        CoTaskMemFree(child);
    if (made)
        *selection.items.put() = new DataObjectArray(selection.wineItems.get(), selection.data.get());
    return made;
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

namespace {

// The command's Invoke on items against the classic Initialize and
// InvokeCommand on the data object, medians in ms; failed counts the runs
// that did not start exactly one archiver or left the module held.
struct InvokeTimes {
    double newMenu;
    double classic;
    double wineArray;  // Invoke on Wine's own array; 0 when not measured
};

InvokeTimes TimeInvokes(const LoadedModule& module, const Selection& selection, bool wineArray, int& failed)
{
    const auto newMenu = [&](IShellItemArray* items) {
        ComPtr<IExplorerCommand> command =
            SubCommand(SubCommand(module.NewMenuCommand().get(), L"解凍").get(), L"ここに解凍");
        if (!command)
            return ++failed, 0.0;
        const double start = NowMs();
        const HRESULT hr = command->Invoke(items, nullptr);
        const double elapsed = NowMs() - start;
        command.reset();
        // The archiver has started when Invoke returns: nothing of the module runs on.
        failed += FAILED(hr) || module.CanUnloadNow() != S_OK || EndArchivers() != 1 ? 1 : 0;
        return elapsed;
    };
    const auto classicMenu = [&] {
        ComPtr<IShellExtInit> init = module.NewObject();
        ComPtr<IContextMenu> menu;
        if (!init)
            return ++failed, 0.0;
        const double start = NowMs();
        const HRESULT initialized = init->Initialize(nullptr, selection.data.get(), nullptr);
        const double initializing = NowMs() - start;
        HMENU host = CreatePopupMenu();
        wchar_t verb[64] = {};
        if (FAILED(initialized) || FAILED(init->QueryInterface(IID_IContextMenu, menu.put_void())) ||
            FAILED(menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL)) ||
            FAILED(menu->GetCommandString(ExtractHereOffset, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb), 64)) ||
            std::wstring(verb) != ExtractHere) {
            DestroyMenu(host);
            return ++failed, 0.0;
        }
        DestroyMenu(host);
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(ExtractHereOffset);
        info.nShow = SW_SHOWNORMAL;
        const double invoking = NowMs();
        const HRESULT hr = menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
        const double elapsed = initializing + NowMs() - invoking;
        failed += FAILED(hr) || EndArchivers() != 1 ? 1 : 0;
        return elapsed;
    };
    std::vector<std::function<double()>> timed = {[&] { return newMenu(selection.items.get()); }, classicMenu};
    if (wineArray)
        timed.push_back([&] { return newMenu(selection.wineItems.get()); });
    const std::vector<double> t = MedianRounds(1, wineArray ? 3 : Runs, timed);
    return {t[0], t[1], wineArray ? t[2] : 0.0};
}

}  // namespace

void MeasureNewMenuInvoke(const LoadedModule& module)
{
    std::wstring standin = STANDIN_EXE;
    WriteStringSetting(ArchiverKey, L"InstallPath", standin.substr(0, standin.find_last_of(L'\\')));
    WriteDwordSetting(ShellKey, L"m_chkCMExtract", 1);
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    std::wstring temporary = TempPath();
    temporary.pop_back();
    const std::vector<std::wstring> listsBefore = ListFolder(temporary, L"MRV*.tmp");
    for (int files : {1000, 10000}) {
        const std::string label = "new menu Invoke, " + std::to_string(files) + " files";
        ScratchFolder scratch(L"newmenu");
        Selection selection;
        if (!MakeSelection(scratch.path(), files, selection) || module.CanUnloadNow() != S_OK) {
            AddRow(label, "error", "-", "-", "<= 1.2x", Verdict::Failed);
            AddNote("new menu Invoke: the files, their items or their data object could not be made, or the module "
                    "was held");
            continue;
        }
        int failed = 0;
        const bool wineArray = files == WineArrayFiles;
        const InvokeTimes t = TimeInvokes(module, selection, wineArray, failed);
        RemoveListFiles(temporary, listsBefore);
        if (failed) {
            AddRow(label, "error", "-", "-", "<= 1.2x", Verdict::Failed);
            AddNote("new menu Invoke, %d files: %d runs did not start exactly one archiver, or left the module held",
                    files, failed);
            continue;
        }
        AddRatioRow(label, t.newMenu, t.classic, 1.2);
        if (wineArray)
            AddRow("  same, Wine's own array (item by item)", Ms(t.wineArray), Ms(t.classic),
                   Format("%.2fx", t.wineArray / t.classic), "(comparison)", Verdict::Info);
    }
    AddNote("new menu Invoke of \"解凍/ここに解凍\" on existing files of one folder, until it returns (list written, "
            "archiver started), through an array whose BindToHandler gives the shell's data object of the same items; "
            "floor: the classic Initialize with that data object plus InvokeCommand (its QueryContextMenu untimed); "
            "each run started one archiver, ended untimed at once; median of %d rounds (3 with Wine's own array)",
            Runs);
}
