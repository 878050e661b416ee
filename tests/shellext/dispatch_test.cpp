// InvokeCommand through the built DLL on a real menu: each offset runs its
// command, observed through the stand-in archiver.
#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>

#include "support/data_objects.h"
#include "support/environment.h"
#include "support/invoke.h"
#include "support/morvane_dll.h"
#include "support/standin.h"
#include "tools/tar_craft.h"

#include <shellapi.h>

namespace {

const std::vector<std::wstring> EveryFormat = {L"lzh", L"zip", L"zip (pass)", L"bh", L"bz2", L"cab", L"gz",
                                               L"tar", L"tar.bz2", L"tar.gz", L"exe", L"uue", L"xxe", L"b64"};

// What each code asks of the archiver, as the first words of its parameters.
const char* const CodeParameters[19] = {
    "/h /o:", "/od /l:", "/oh /l:", "/oc /l:", "/t /l:", "/c:lzh /l:", "/c:zip /l:", "/c:zip /p /l:",
    "/c:bh /l:", "/c:bz2 /l:", "/c:cab /l:", "/c:gz /l:", "/c:tar /l:", "/c:tbz /l:", "/c:tgz /l:",
    "/x /c:zip /l:", "/c:uue /l:", "/c:xxe /l:", "/c:b64 /l:"};

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        SettingsScope::EnableMenus(EveryFormat);
        // Not named .tar: converted into .tar it would name itself, which is refused.
        source = folder / L"s.archive";
        WriteBytes(source, standin_test::TarMember("x.txt", '0', "x") + standin_test::TarEnd());
        MakeFolder(folder / L"drop");
    }

    // A DLL object with the full menu for the source (25 items, or 22 dropped).
    ComPtr<IContextMenu> FullMenu(bool dragDrop)
    {
        ComPtr<IShellExtInit> init = Dll().CreateInit();
        ComPtr<IDataObject> data = ShellDataObject({source});
        IdList target(folder / L"drop");
        EXPECT_EQ(init->Initialize(dragDrop ? target.get() : nullptr, data.get(), nullptr), S_OK);
        ComPtr<IContextMenu> menu;
        init->QueryInterface(IID_IContextMenu, menu.put_void());
        HMENU host = CreatePopupMenu();
        EXPECT_EQ(menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, dragDrop ? 22 : 25));
        DestroyMenu(host);
        return menu;
    }

    SettingsScope settings;
    StandinScope standin;
    TempFolder folder;
    std::wstring source;
};

// Offsets 0 to 17 of the context menu are codes 1 to 18; offset 0 of the
// drag-and-drop menu is code 0. (Offsets 18 to 24, the conversions, are
// picked one by one in the conversion tests.)
TEST_F(DispatchTest, EveryArchiverCodeRunsItsCommand)
{
    std::vector<std::string> expected;
    ASSERT_EQ(InvokeOffset(FullMenu(true).get(), 0), S_OK);
    expected.push_back(CodeParameters[0]);
    for (int code = 1; code <= 18; ++code) {
        ASSERT_EQ(InvokeOffset(FullMenu(false).get(), static_cast<UINT>(code - 1)), S_OK) << code;
        expected.push_back(CodeParameters[code]);
    }
    const std::vector<standin_log::Record> records = standin.WaitFor(expected.size(), 120000);
    ASSERT_EQ(records.size(), expected.size());
    const std::string archiver = Utf8(L"\"" + StandinScope::ArchiverPath() + L"\" ");
    std::vector<std::string> seen;
    for (const standin_log::Record& record : records) {
        ASSERT_EQ(record.cmdline.compare(0, archiver.size(), archiver), 0) << record.cmdline;
        const std::string rest = record.cmdline.substr(archiver.size());
        auto match = std::find_if(expected.begin(), expected.end(), [&](const std::string& start) {
            return rest.compare(0, start.size(), start) == 0 &&
                   std::find(seen.begin(), seen.end(), start) == seen.end();
        });
        ASSERT_NE(match, expected.end()) << rest;
        seen.push_back(*match);
    }
    EXPECT_EQ(seen.size(), 19u);
}

TEST_F(DispatchTest, VerbStringsAndOffsetsPastTheEndAreRefused)
{
    ComPtr<IContextMenu> menu = FullMenu(false);
    EXPECT_EQ(InvokeVerb(menu.get(), "open"), E_INVALIDARG);
    EXPECT_EQ(InvokeOffset(menu.get(), 25), E_INVALIDARG);
    EXPECT_EQ(InvokeOffset(menu.get(), 0xFFFF), E_INVALIDARG);
    // A verb string above 4 GB whose bits 16 to 31 are clear looks like offset 0 to HIWORD.
    char* high = static_cast<char*>(VirtualAlloc(reinterpret_cast<void*>(0x100000000ull), 4096,
                                                 MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (high == reinterpret_cast<char*>(0x100000000ull)) {
        memcpy(high, "compress", 9);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = high;
        info.nShow = SW_SHOWNORMAL;
        EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
        VirtualFree(high, 0, MEM_RELEASE);
    } else {
        ADD_FAILURE() << "no page at 0x100000000 for the verb string";
    }
    Sleep(300);
    EXPECT_TRUE(standin.Records().empty());
    EXPECT_EQ(InvokeOffset(menu.get(), 24), S_OK);  // the last item runs: a conversion
    EXPECT_EQ(standin.WaitFor(2, 60000).size(), 2u);
}

// A window of the test's own that picks the command, as Explorer's does.
class OwnerWindow {
public:
    OwnerWindow() : m_window(CreateWindowExW(0, L"STATIC", L"picker", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                             nullptr, nullptr)) {}
    ~OwnerWindow() { DestroyWindow(m_window); }
    HWND get() const { return m_window; }

private:
    HWND m_window;
};

// A command the user picked and that cannot run says why, in a box owned by
// the window that picked it; never when the caller allows no user interface.
TEST_F(DispatchTest, RefusalIsToldInABoxOwnedByThePickingWindow)
{
    OwnerWindow owner;
    ASSERT_NE(owner.get(), nullptr);
    const std::wstring missing = folder / L"\u03a9mega.txt";  // not in code page 1252, and gone: no short name
    const std::wstring zip = folder / L"s.zip";
    WriteBytes(zip, "PK");
    struct Case {
        std::wstring installPath;
        std::wstring chosen;
        UINT offset;  // code 2 (extract here), or 20 (convert into .zip)
        HRESULT result;
        std::wstring text;
    } cases[] = {
        {L"", source, 1, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
         L"Morvane のインストール先が見つかりません。Morvane をインストールし直してください。"},
        {folder.path(), source, 1, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
         L"Morvane.exe を起動できませんでした。\n\n" + folder.path() + L"\\Morvane.exe"},
        {StandinScope::Folder(), missing, 1, HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION),
         L"次のファイルの名前はこのシステムの文字コードで表せないため、Morvane に渡せません。\n\n" + missing},
        // Refused in Explorer's process: no rundll32 starts to show a box of its own.
        {StandinScope::Folder(), zip, 19, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
         L"変換先が変換元のファイルと同じため、変換できません。\n\n" + zip},
    };
    for (const Case& c : cases) {
        SettingsScope::SetString(ArchiverKey, L"InstallPath", c.installPath);
        for (bool noUi : {false, true}) {
            BoxAnswerer answerer;
            ComPtr<IShellExtInit> init = Dll().CreateInit();
            ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle({c.chosen}, true));
            ASSERT_EQ(init->Initialize(nullptr, data.get(), nullptr), S_OK);
            ComPtr<IContextMenu> menu;
            init->QueryInterface(IID_IContextMenu, menu.put_void());
            HMENU host = CreatePopupMenu();
            menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL);
            DestroyMenu(host);
            EXPECT_EQ(InvokeOffset(menu.get(), c.offset, owner.get(), noUi ? CMIC_MASK_FLAG_NO_UI : 0), c.result)
                << Utf8(c.text);
            const std::vector<SeenBox> seen = answerer.Seen();
            if (noUi) {
                EXPECT_TRUE(seen.empty()) << Utf8(c.text);
                continue;
            }
            ASSERT_EQ(seen.size(), 1u) << Utf8(c.text);
            EXPECT_EQ(seen[0].text, c.text);
            EXPECT_EQ(seen[0].owner, owner.get());
            EXPECT_TRUE(seen[0].warningIcon);
            EXPECT_TRUE(seen[0].okOnly);
        }
    }
    EXPECT_EQ(WaitForMessageBox(L"Morvane", 1000), nullptr) << "a box in another process";
    EXPECT_TRUE(standin.Records().empty());
}

// Calls that no user made stay silent: items that do not exist, a second
// pick, a pick before the menu was built, malformed conversion requests.
TEST_F(DispatchTest, CallsNoUserMadeShowNothing)
{
    BoxAnswerer answerer;
    SettingsScope::SetString(ArchiverKey, L"InstallPath", L"");
    ComPtr<IContextMenu> menu = FullMenu(false);
    EXPECT_EQ(InvokeOffset(menu.get(), 25), E_INVALIDARG);
    EXPECT_EQ(InvokeVerb(menu.get(), "open"), E_INVALIDARG);
    wchar_t label[64] = {};
    EXPECT_EQ(menu->GetCommandString(99, GCS_VERBW, nullptr, reinterpret_cast<char*>(label), 64), E_INVALIDARG);
    ComPtr<IShellExtInit> init = Dll().CreateInit();
    ComPtr<IDataObject> data = ShellDataObject({source});
    ASSERT_EQ(init->Initialize(nullptr, data.get(), nullptr), S_OK);
    ComPtr<IContextMenu> unbuilt;
    init->QueryInterface(IID_IContextMenu, unbuilt.put_void());
    EXPECT_EQ(InvokeOffset(unbuilt.get(), 1), E_INVALIDARG);
    for (const wchar_t* request : {L"26 C:\\x.zip", L"18 C:\\x.zip", L"20", L"x"})
        Dll().RunConvertArchive(request);
    SettingsScope::SetInstallPath(StandinScope::Folder());
    ComPtr<IContextMenu> picked = FullMenu(false);
    EXPECT_EQ(InvokeOffset(picked.get(), 1), S_OK);
    EXPECT_EQ(InvokeOffset(picked.get(), 1), E_INVALIDARG);
    EXPECT_EQ(standin.WaitFor(1).size(), 1u);
    for (const SeenBox& box : answerer.Seen())
        ADD_FAILURE() << "a box: " << Utf8(box.text);
}

}  // namespace
