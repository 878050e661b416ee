#include "support/explorer_commands.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "support/data_objects.h"
#include "support/morvane_dll.h"

const CLSID MorvaneCommandClsid = {0x8480CFB9, 0xF16F, 0x414E, {0x87, 0xAE, 0xA4, 0x84, 0x5A, 0xA7, 0x28, 0x4C}};

namespace {

// The command's title, from memory the caller frees.
std::wstring TitleOf(IExplorerCommand* command, IShellItemArray* items)
{
    LPWSTR title = nullptr;
    EXPECT_EQ(command->GetTitle(items, &title), S_OK);
    std::wstring result = title ? title : L"(null)";
    CoTaskMemFree(title);
    return result;
}

std::vector<ComPtr<IExplorerCommand>> SubCommands(IExplorerCommand* command)
{
    std::vector<ComPtr<IExplorerCommand>> list;
    ComPtr<IEnumExplorerCommand> commands;
    if (command->EnumSubCommands(commands.put()) != S_OK) {
        ADD_FAILURE() << "EnumSubCommands failed";
        return list;
    }
    for (;;) {
        IExplorerCommand* next = nullptr;
        ULONG fetched = 0;
        const HRESULT hr = commands->Next(1, &next, &fetched);
        if (hr != S_OK) {
            EXPECT_EQ(hr, S_FALSE);
            EXPECT_EQ(fetched, 0u);
            break;
        }
        EXPECT_EQ(fetched, 1u);
        list.emplace_back(next);
    }
    return list;
}

void Describe(IExplorerCommand* command, IShellItemArray* items, const std::wstring& indent, std::wstring& text)
{
    text += indent + TitleOf(command, items);
    EXPCMDFLAGS flags = 0;
    EXPECT_EQ(command->GetFlags(&flags), S_OK);
    EXPCMDSTATE state = ECS_DISABLED;
    EXPECT_EQ(command->GetState(items, TRUE, &state), S_OK);
    // Asked for a quick answer, only a root the settings show waits for the items' attributes.
    EXPCMDSTATE quick = ECS_DISABLED;
    const HRESULT asked = command->GetState(items, FALSE, &quick);
    EXPECT_TRUE(asked == E_PENDING ? indent.empty() && items : asked == S_OK && quick == state) << std::hex << asked;
    if (state != ECS_ENABLED) {
        EXPECT_EQ(state, static_cast<EXPCMDSTATE>(ECS_HIDDEN));
        text += L": hidden\n";
        return;
    }
    text += L"\n";
    if (flags == ECF_DEFAULT)
        return;
    EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_HASSUBCOMMANDS));
    for (const ComPtr<IExplorerCommand>& sub : SubCommands(command))
        Describe(sub.get(), items, indent + L"  ", text);
}

// IUnknown for an object of the tests' own with one interface, deleted at its last Release.
template <class Interface>
class OneInterface : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const bool ours = IsEqualIID(riid, __uuidof(Interface)) || IsEqualIID(riid, IID_IUnknown);
        *ppv = ours ? (AddRef(), this) : nullptr;
        return ours ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_count); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = InterlockedDecrement(&m_count);
        if (!count)
            delete this;
        return count;
    }

protected:
    virtual ~OneInterface() = default;

private:
    LONG m_count = 1;
};

LONG g_pathItemReads = 0;

// One path of a PathItemArray; only what a handler asks of an item answers.
class PathItem : public OneInterface<IShellItem> {
public:
    explicit PathItem(const std::wstring& path) : m_path(path) {}
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv) override { return *ppv = nullptr, E_NOTIMPL; }
    STDMETHODIMP GetParent(IShellItem** ppsi) override { return *ppsi = nullptr, E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN sigdn, LPWSTR* name) override
    {
        *name = nullptr;
        InterlockedIncrement(&g_pathItemReads);
        if (sigdn != SIGDN_FILESYSPATH || m_path.empty())
            return E_INVALIDARG;
        *name = static_cast<LPWSTR>(CoTaskMemAlloc((m_path.size() + 1) * sizeof(wchar_t)));
        return *name ? (wcscpy(*name, m_path.c_str()), S_OK) : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetAttributes(SFGAOF mask, SFGAOF* attributes) override
    {
        *attributes = m_path.empty() ? 0 : mask & SFGAO_FILESYSTEM;
        return *attributes == mask ? S_OK : S_FALSE;
    }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

private:
    const std::wstring m_path;
};

// The paths of a data object's CF_HDROP, as DragQueryFileW gives them.
std::vector<std::wstring> DroppedPaths(IDataObject* data)
{
    std::vector<std::wstring> paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return paths;
    const HDROP drop = static_cast<HDROP>(medium.hGlobal);
    for (UINT i = 0, count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
        paths.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

class PathArray : public OneInterface<IShellItemArray> {
public:
    explicit PathArray(const std::vector<std::wstring>& paths) : m_paths(paths)
    {
        for (const std::wstring& path : paths)
            m_items.emplace_back(new PathItem(path));
    }
    // BHID_DataObject, as Windows' arrays give it: the shell's own data
    // object where Wine's lists the same paths; else (paths of 260 units and
    // more, "name.", an item that is no file) a drop list of the paths whole,
    // none for an item without one.
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID handler, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (!IsEqualGUID(handler, BHID_DataObject) || !IsEqualIID(riid, IID_IDataObject) || m_paths.empty())
            return E_NOTIMPL;
        std::vector<std::wstring> files;
        std::copy_if(m_paths.begin(), m_paths.end(), std::back_inserter(files), [](auto& p) { return !p.empty(); });
        ComPtr<IDataObject> data =
            files.size() == m_paths.size() ? TryShellDataObject(files) : ComPtr<IDataObject>();
        if (!data || DroppedPaths(data.get()) != files)
            data = HandMadeDataObject(BuildDropHandle(files));
        return data->QueryInterface(riid, ppv);
    }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void** ppv) override { return *ppv = nullptr, E_NOTIMPL; }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void** ppv) override
    {
        return *ppv = nullptr, E_NOTIMPL;
    }
    // SIATTRIBFLAGS_AND, as the shell's own array: the attributes every item has.
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS flags, SFGAOF mask, SFGAOF* attributes) override
    {
        if (flags != SIATTRIBFLAGS_AND)
            return E_NOTIMPL;
        *attributes = mask;
        for (const ComPtr<IShellItem>& item : m_items) {
            SFGAOF one = 0;
            item->GetAttributes(mask, &one);
            *attributes &= one;
        }
        return *attributes == mask ? S_OK : S_FALSE;
    }
    STDMETHODIMP GetCount(DWORD* count) override { return *count = static_cast<DWORD>(m_items.size()), S_OK; }
    STDMETHODIMP GetItemAt(DWORD index, IShellItem** item) override
    {
        *item = index < m_items.size() ? m_items[index].get() : nullptr;
        return *item ? ((*item)->AddRef(), S_OK) : E_INVALIDARG;
    }
    STDMETHODIMP EnumItems(IEnumShellItems** items) override { return *items = nullptr, E_NOTIMPL; }

private:
    const std::vector<std::wstring> m_paths;
    std::vector<ComPtr<IShellItem>> m_items;
};

}  // namespace

ComPtr<IShellItemArray> PathItemArray(const std::vector<std::wstring>& paths)
{
    return ComPtr<IShellItemArray>(new PathArray(paths));
}

long PathItemReads()
{
    return InterlockedCompareExchange(&g_pathItemReads, 0, 0);
}

ComPtr<IExplorerCommand> CreateRootCommand()
{
    ComPtr<IClassFactory> factory;
    ComPtr<IExplorerCommand> command;
    if (Dll().GetClassObject(MorvaneCommandClsid, IID_IClassFactory, factory.put_void()) != S_OK ||
        factory->CreateInstance(nullptr, IID_IExplorerCommand, command.put_void()) != S_OK)
        ADD_FAILURE() << "no command object for the class";
    return command;
}

ComPtr<IShellItemArray> ItemArray(const std::vector<std::wstring>& paths)
{
    std::vector<std::unique_ptr<IdList>> ids;
    std::vector<PCIDLIST_ABSOLUTE> raw;
    for (const std::wstring& path : paths) {
        ids.emplace_back(new IdList(path));
        raw.push_back(ids.back()->get());
    }
    ComPtr<IShellItemArray> items;
    EXPECT_EQ(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(raw.size()), raw.data(), items.put()), S_OK);
    return items;
}

std::wstring DescribeCommands(IShellItemArray* items)
{
    ComPtr<IExplorerCommand> root = CreateRootCommand();
    if (!root)
        return L"";
    GUID name = GUID_NULL;
    EXPECT_EQ(root->GetCanonicalName(&name), S_OK);
    EXPECT_TRUE(IsEqualGUID(name, MorvaneCommandClsid));
    std::wstring text;
    Describe(root.get(), items, L"", text);
    return text;
}

ComPtr<IExplorerCommand> FindCommand(const std::wstring& titles, IExplorerCommand* root)
{
    ComPtr<IExplorerCommand> command = root ? ComPtr<IExplorerCommand>(root) : CreateRootCommand();
    if (root)
        root->AddRef();
    size_t start = 0;
    while (command && start <= titles.size()) {
        const size_t end = std::min(titles.find(L'/', start), titles.size());
        const std::wstring title = titles.substr(start, end - start);
        ComPtr<IExplorerCommand> found;
        for (const ComPtr<IExplorerCommand>& sub : SubCommands(command.get()))
            if (TitleOf(sub.get(), nullptr) == title)
                found = sub;
        command = found;
        start = end + 1;
    }
    if (!command)
        ADD_FAILURE() << "no command at the titles asked";
    return command;
}
