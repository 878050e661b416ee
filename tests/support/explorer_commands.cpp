#include "support/explorer_commands.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/data_objects.h"
#include "support/morvane_dll.h"

const CLSID ExtractCommandClsid = {0xE36ED9A2, 0x33D2, 0x4554, {0x9A, 0xF8, 0xC9, 0x69, 0x29, 0xDA, 0xF0, 0x71}};
const CLSID CompressCommandClsid = {0xA9C48BF5, 0xFB2D, 0x4A1D, {0xA7, 0x49, 0xBA, 0x10, 0x34, 0x40, 0x1A, 0x06}};
const CLSID ConvertCommandClsid = {0xF2DD079B, 0xAFA4, 0x49FE, {0x8E, 0x53, 0x7D, 0xDF, 0xAF, 0x16, 0x30, 0xF9}};
const CLSID* const RootCommandClsids[3] = {&ExtractCommandClsid, &CompressCommandClsid, &ConvertCommandClsid};

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

std::vector<ComPtr<IExplorerCommand>> SubCommands(IExplorerCommand* root)
{
    std::vector<ComPtr<IExplorerCommand>> list;
    ComPtr<IEnumExplorerCommand> commands;
    if (root->EnumSubCommands(commands.put()) != S_OK) {
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

}  // namespace

ComPtr<IExplorerCommand> CreateRootCommand(const CLSID& clsid)
{
    ComPtr<IClassFactory> factory;
    ComPtr<IExplorerCommand> command;
    if (Dll().GetClassObject(clsid, IID_IClassFactory, factory.put_void()) != S_OK ||
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
    std::wstring text;
    for (const CLSID* clsid : RootCommandClsids) {
        ComPtr<IExplorerCommand> root = CreateRootCommand(*clsid);
        if (!root)
            continue;
        text += TitleOf(root.get(), items);
        EXPCMDFLAGS flags = 0;
        EXPECT_EQ(root->GetFlags(&flags), S_OK);
        EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_HASSUBCOMMANDS));
        EXPCMDSTATE state = ECS_DISABLED;
        EXPECT_EQ(root->GetState(items, TRUE, &state), S_OK);
        if (state != ECS_ENABLED) {
            EXPECT_EQ(state, static_cast<EXPCMDSTATE>(ECS_HIDDEN));
            text += L": hidden\n";
            continue;
        }
        text += L"\n";
        for (const ComPtr<IExplorerCommand>& sub : SubCommands(root.get())) {
            text += L"  " + TitleOf(sub.get(), items) + L"\n";
            EXPECT_EQ(sub->GetFlags(&flags), S_OK);
            EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
        }
    }
    return text;
}

std::string RootStates(IShellItemArray* items)
{
    std::string states;
    for (const CLSID* clsid : RootCommandClsids) {
        ComPtr<IExplorerCommand> root = CreateRootCommand(*clsid);
        EXPCMDSTATE state = ECS_DISABLED;
        const HRESULT hr = root ? root->GetState(items, TRUE, &state) : E_FAIL;
        states += states.empty() ? "" : " ";
        states += hr != S_OK ? "failed" : state == ECS_ENABLED ? "shown" : state == ECS_HIDDEN ? "hidden" : "other";
    }
    return states;
}

ComPtr<IExplorerCommand> FindSubCommand(const CLSID& root, const std::wstring& title)
{
    ComPtr<IExplorerCommand> command = CreateRootCommand(root);
    if (!command)
        return ComPtr<IExplorerCommand>();
    for (const ComPtr<IExplorerCommand>& sub : SubCommands(command.get())) {
        if (TitleOf(sub.get(), nullptr) == title)
            return sub;
    }
    ADD_FAILURE() << "no sub-command titled as asked";
    return ComPtr<IExplorerCommand>();
}
