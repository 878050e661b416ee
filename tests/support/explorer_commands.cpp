#include "support/explorer_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

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
