// QueryContextMenu and GetCommandString on real menus, with the user's
// switches in the real registry.
#include <gtest/gtest.h>

#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/menu_tree.h"
#include "support/morvane_dll.h"
#include "support/seed_tables.h"
#include "support/test_allocator.h"

namespace {


std::vector<int> CodesOf(IShellExtInit* object)
{
    std::vector<int> codes;
    const CShellExt* ext = AsShellExt(object);
    for (int i = 0; i < ext->MenuItems.count; ++i)
        codes.push_back(ext->MenuItems.data[i].code);
    return codes;
}

std::vector<int> Range(int from, int to)
{
    std::vector<int> codes;
    for (int c = from; c <= to; ++c)
        codes.push_back(c);
    return codes;
}

std::wstring Item(const std::wstring& label, UINT id)
{
    return L"  " + label + L" [id " + std::to_wstring(id) + L"]\n";
}

const std::wstring ExtractPopup = [] {
    std::wstring text = std::wstring(seed::ExtractPopup) + L" >\n";
    for (UINT i = 0; i < 4; ++i)
        text += Item(seed::ExtractCommands[i], 100 + i);
    return text;
}();

std::wstring ConversionPopup(const std::wstring& label, UINT firstId)
{
    std::wstring text = label + L" >\n";
    for (const seed::ConversionTarget& target : seed::ConversionTargets)
        text += Item(target.label, firstId++);
    return text;
}

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        for (const wchar_t* name : {L"a.tar", L"b.txt"}) {
            files.push_back(folder / name);
            WriteBytes(files.back(), "x");
        }
        MakeFolder(folder / L"drop");
        object = NewCoreObject();
        ASSERT_TRUE(object);
    }

    void Select(const std::vector<std::wstring>& paths, bool dragDrop = false)
    {
        data = ShellDataObject(paths);
        IdList target(folder / L"drop");
        ASSERT_EQ(object->Initialize(dragDrop ? target.get() : nullptr, data.get(), nullptr), S_OK);
    }

    HRESULT Query(UINT flags = CMF_NORMAL, UINT last = LastId)
    {
        return AsMenu(object.get())->QueryContextMenu(host.get(), 1, FirstId, last, flags);
    }

    SettingsScope settings;
    TempFolder folder;
    std::vector<std::wstring> files;
    ComPtr<IDataObject> data;
    ComPtr<IShellExtInit> object;
    HostMenu host;
};

TEST_F(ContextMenuTest, DefaultOnlyRefusesAndEmptiesAnEarlierList)
{
    SettingsScope::EnableMenus({L"zip"});
    Select({files[0]});
    ASSERT_EQ(Query(), MAKE_HRESULT(0, 0, 12));
    HostMenu fresh;
    EXPECT_EQ(AsMenu(object.get())->QueryContextMenu(fresh.get(), 1, FirstId, LastId, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(fresh.Ours(), L"");
    EXPECT_TRUE(CodesOf(object.get()).empty());
    CMINVOKECOMMANDINFO invoke = {sizeof(invoke)};
    invoke.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(AsMenu(object.get())->InvokeCommand(&invoke), E_INVALIDARG);
}

TEST_F(ContextMenuTest, ExploreOrHighBitsAloneStillBuild)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMExtract", 1);
    Select({files[0]});
    EXPECT_EQ(Query(CMF_DEFAULTONLY | CMF_EXPLORE), MAKE_HRESULT(0, 0, 4));
    HostMenu other;
    EXPECT_EQ(AsMenu(object.get())->QueryContextMenu(other.get(), 1, FirstId, LastId, 0x80000100u),
              MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(other.Ours(), L"----\n" + ExtractPopup + L"----\n");
}

TEST_F(ContextMenuTest, FlagsAreTestedBeforeTheEmptySelection)
{
    EXPECT_EQ(Query(CMF_VERBSONLY), S_OK);
    EXPECT_EQ(Query(CMF_NORMAL), E_INVALIDARG);
    EXPECT_EQ(host.Ours(), L"");
}

TEST_F(ContextMenuTest, AllSwitchesOffInsertNothingButLeaveTheKeys)
{
    Select({files[0]});
    EXPECT_EQ(Query(), S_OK);
    EXPECT_EQ(host.Ours(), L"");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ShellKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ExtensionKey));
    // The compress-menu key is read only for a compress popup.
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    EXPECT_EQ(Query(), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, CompressMenuKey));
}

TEST_F(ContextMenuTest, OnlyExtractFramesThePopupWithSeparators)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMExtract", 1);
    Select({files[0]});
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(host.Ours(), L"----\n" + ExtractPopup + L"----\n");
    EXPECT_EQ(CodesOf(object.get()), Range(1, 4));
}

TEST_F(ContextMenuTest, CompressWithoutFormatsGivesAnEmptyPopup)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    Select({files[0]});
    EXPECT_EQ(Query(), S_OK);
    EXPECT_EQ(host.Ours(), L"----\n圧縮(&C) >\n----\n");
}

TEST_F(ContextMenuTest, ConversionFollowsCompressForExactlyOnePath)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    SettingsScope::SetDword(ExtensionKey, L"AdditionalMenu", 1);
    Select({files[0]});
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 7));
    EXPECT_EQ(host.Ours(), L"----\n圧縮(&C) >\n" + ConversionPopup(L"変換(&T)", 100) + L"----\n");
    EXPECT_EQ(CodesOf(object.get()), Range(19, 25));

    Select(files);
    HostMenu two;
    EXPECT_EQ(AsMenu(object.get())->QueryContextMenu(two.get(), 1, FirstId, LastId, 0), S_OK);
    EXPECT_EQ(two.Ours(), L"----\n圧縮(&C) >\n----\n");
}

TEST_F(ContextMenuTest, DragDropExtractIsOneItemAndAClosingSeparator)
{
    SettingsScope::SetDword(ShellKey, L"m_chkDDExtract", 1);
    Select({files[0]}, true);
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 1));
    EXPECT_EQ(host.Ours(), L"ここに解凍(&E) [id 100]\n----\n");
    EXPECT_EQ(CodesOf(object.get()), std::vector<int>{0});
}

TEST_F(ContextMenuTest, DragDropIgnoresContextMenuSwitches)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    SettingsScope::SetDword(ShellKey, L"m_chkCMExtract", 1);
    SettingsScope::SetDword(ExtensionKey, L"AdditionalMenu", 1);
    Select({files[0]}, true);
    EXPECT_EQ(Query(), S_OK);
    EXPECT_EQ(host.Ours(), L"");
}

TEST_F(ContextMenuTest, FormatsNeedADwordOfEitherByteOrder)
{
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    SettingsScope::SetDword(CompressMenuKey, L"zip", 1);
    const BYTE bigEndianOne[4] = {0, 0, 0, 1};
    SettingsScope::SetValue(CompressMenuKey, L"cab", REG_DWORD_BIG_ENDIAN, bigEndianOne, 4);
    SettingsScope::SetString(CompressMenuKey, L"tar", L"1");
    SettingsScope::SetDword(CompressMenuKey, L"lzh", 0);
    Select({files[0]});
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 2));
    EXPECT_EQ(host.Ours(), L"----\n圧縮(&C) >\n  .zip [id 100]\n  .cab [id 101]\n----\n");
    EXPECT_EQ(CodesOf(object.get()), (std::vector<int>{6, 10}));
}

// A switch is its data's first four bytes read as a number, whatever the
// type: the text "0" is the unit 0x0030, so it turns the switch on.
TEST_F(ContextMenuTest, SwitchStoredAsTheTextZeroCountsAsOn)
{
    SettingsScope::SetString(ShellKey, L"m_chkCMExtract", L"0");
    Select({files[0]});
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 4));
}

std::wstring AllFormats(UINT firstId)
{
    std::wstring text;
    for (const seed::CompressFormat& format : seed::CompressFormats)
        text += Item(format.label, firstId++);
    return text;
}

const std::vector<std::wstring> EveryFormat = seed::EveryFormat();

TEST_F(ContextMenuTest, FullContextMenuHas25Items)
{
    SettingsScope::EnableMenus(EveryFormat);
    Select({files[0]});
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 25));
    EXPECT_EQ(host.Ours(), L"----\n" + ExtractPopup + L"圧縮(&C) >\n" + AllFormats(104) +
                               ConversionPopup(L"変換(&T)", 118) + L"----\n");
    EXPECT_EQ(CodesOf(object.get()), Range(1, 25));
}

TEST_F(ContextMenuTest, FullDragDropMenuHas22Items)
{
    SettingsScope::EnableMenus(EveryFormat);
    Select({files[0]}, true);
    EXPECT_EQ(Query(), MAKE_HRESULT(0, 0, 22));
    EXPECT_EQ(host.Ours(), L"ここに解凍(&E) [id 100]\nここに圧縮(&C) >\n" + AllFormats(101) +
                               ConversionPopup(L"ここに変換(&T)", 115) + L"----\n");
    std::vector<int> expected = {0};
    for (int c : Range(5, 25))
        expected.push_back(c);
    EXPECT_EQ(CodesOf(object.get()), expected);
}

// Explorer gives each handler a range; an id past idCmdLast would collide
// with the next handler's.
TEST_F(ContextMenuTest, NoItemGetsAnIdAboveIdCmdLast)
{
    SettingsScope::EnableMenus({L"zip", L"tar"});
    Select({files[0]});
    EXPECT_EQ(Query(CMF_NORMAL, FirstId + 4), MAKE_HRESULT(0, 0, 5));
    EXPECT_EQ(host.Ours(), L"----\n" + ExtractPopup + L"圧縮(&C) >\n  .zip [id 104]\n変換(&T) >\n----\n");
    EXPECT_EQ(CodesOf(object.get()), (std::vector<int>{1, 2, 3, 4, 6}));
}

TEST_F(ContextMenuTest, AllocationFailureAtAnyPointGivesOutOfMemoryAndAnEmptyList)
{
    SettingsScope::EnableMenus(EveryFormat);
    Select({files[0]});
    int failures = 0;
    for (long n = 1;; ++n) {
        HostMenu menu;
        test_alloc::Reset();
        test_alloc::FailAt(n);
        const HRESULT hr = AsMenu(object.get())->QueryContextMenu(menu.get(), 1, FirstId, LastId, 0);
        const bool injected = test_alloc::Allocations() >= n;
        test_alloc::Reset();
        if (!injected) {
            EXPECT_EQ(hr, MAKE_HRESULT(0, 0, 25));
            break;
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << n;
        EXPECT_TRUE(CodesOf(object.get()).empty()) << n;
    }
    EXPECT_GE(failures, 5);
}

class CommandStringTest : public ContextMenuTest {
protected:
    void SetUp() override
    {
        ContextMenuTest::SetUp();
        SettingsScope::EnableMenus({L"zip"});
        Select({files[0]});
        ASSERT_EQ(Query(), MAKE_HRESULT(0, 0, 12));
    }
    HRESULT Get(UINT_PTR offset, UINT type, wchar_t* buffer, UINT size)
    {
        return AsMenu(object.get())->GetCommandString(offset, type, nullptr, reinterpret_cast<CHAR*>(buffer), size);
    }
};

TEST_F(CommandStringTest, VerbAndHelpTextAreBothTheLabel)
{
    wchar_t verb[64] = {};
    wchar_t help[64] = {};
    EXPECT_EQ(Get(1, GCS_VERBW, verb, 64), S_OK);
    EXPECT_EQ(Get(1, GCS_HELPTEXTW, help, 64), S_OK);
    EXPECT_EQ(std::wstring(verb), L"ここに解凍(&H)");
    EXPECT_EQ(std::wstring(help), L"ここに解凍(&H)");
    EXPECT_EQ(Get(4, GCS_VERBW, verb, 64), S_OK);
    EXPECT_EQ(std::wstring(verb), L".zip");
}

TEST_F(CommandStringTest, ShortBufferGetsTheFirstCharactersAndATerminator)
{
    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    EXPECT_EQ(Get(0, GCS_VERBW, buffer, 5), S_OK);
    EXPECT_EQ(std::wstring(buffer, 6), std::wstring(L"デスクト") + L'\0' + L"#");
}

TEST_F(CommandStringTest, OtherTypesAndOffsetsPastTheEndAreRefusedUntouched)
{
    wchar_t buffer[16];
    wmemset(buffer, L'#', 16);
    EXPECT_EQ(Get(0, GCS_VERBA, buffer, 16), E_INVALIDARG);
    EXPECT_EQ(Get(0, GCS_VALIDATEW, buffer, 16), E_INVALIDARG);
    EXPECT_EQ(Get(0, GCS_HELPTEXTA, buffer, 16), E_INVALIDARG);
    EXPECT_EQ(Get(12, GCS_VERBW, buffer, 16), E_INVALIDARG);
    EXPECT_EQ(Get(0x10000, GCS_VERBW, buffer, 16), E_INVALIDARG);
    EXPECT_EQ(std::wstring(buffer, 16), std::wstring(16, L'#'));
    EXPECT_EQ(Get(11, GCS_VERBW, buffer, 16), S_OK);
    EXPECT_EQ(std::wstring(buffer), L".exe");
}

// The same menu through the built DLL, as Explorer gets it.
TEST_F(ContextMenuTest, BuiltDllGivesTheSameMenu)
{
    SettingsScope::EnableMenus({L"zip", L"tar"});
    ComPtr<IShellExtInit> init = Dll().CreateInit();
    ASSERT_TRUE(init);
    ComPtr<IDataObject> one = ShellDataObject({files[0]});
    ASSERT_EQ(init->Initialize(nullptr, one.get(), nullptr), S_OK);
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.put_void()), S_OK);
    EXPECT_EQ(menu->QueryContextMenu(host.get(), 1, FirstId, LastId, CMF_NORMAL), MAKE_HRESULT(0, 0, 13));
    EXPECT_EQ(host.Ours(), L"----\n" + ExtractPopup + L"圧縮(&C) >\n  .zip [id 104]\n  .tar [id 105]\n" +
                               ConversionPopup(L"変換(&T)", 106) + L"----\n");
}

}  // namespace
