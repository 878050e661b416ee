// Self-registration of the built DLL, through regsvr32 and through its
// DllRegisterServer / DllUnregisterServer exports, read back from the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/key_tools.h"
#include "support/environment.h"
#include "support/morvane_dll.h"
#include "support/seed_tables.h"

using keytools::Join;
using keytools::StringLine;
using keytools::TreeLines;

namespace {

const std::wstring Clsid = L"{6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}";
const std::wstring Description = L"Morvane shell extension for x64 platform.";
const std::wstring ClassKey = L"CLSID\\" + Clsid;  // under HKCR

// The handler lists the class joins, in the order registration visits them (under HKCR).
using seed::HandlerLists;
// The HKCR keys that hold them.
const wchar_t* const HandlerOwners[6] = {L"*", L"Folder", L"Directory", L"Drive", L"InternetShortcut", L"lnkfile"};
const std::wstring ApprovedKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";  // HKLM

const HRESULT FailedWithStatus0 = static_cast<HRESULT>(0x80070000);
const HRESULT FileNotFound = static_cast<HRESULT>(0x80070002);
const HRESULT AccessDenied = static_cast<HRESULT>(0x80070005);

// regsvr32's exit code when the export it calls fails; Wine's regsvr32
// gives 5 as Windows' does (a DLL that cannot be loaded gives 3).
const int RegsvrFailed = 5;
const wchar_t RegsvrRegister[] = L"regsvr32 /s \"" MORVANE_DLL L"\"";
const wchar_t RegsvrUnregister[] = L"regsvr32 /u /s \"" MORVANE_DLL L"\"";

std::wstring HandlerKey(int i)
{
    return std::wstring(HandlerLists[i]) + L"\\MorvaneX64";
}

std::string Hkcr(const std::wstring& path)
{
    return "HKCR\\" + Utf8(path);
}

std::string ApprovedLabel()
{
    return "HKLM\\" + Utf8(ApprovedKey);
}

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

// The entries as registration writes them: the class key, the MorvaneX64
// subkeys of handler lists first..10, the approval.
std::string ExpectedEntries(bool classKey, int firstHandler, bool approval)
{
    std::vector<std::string> lines;
    if (classKey) {
        const std::string server = Hkcr(ClassKey) + "\\InProcServer32";
        Append(lines, {Hkcr(ClassKey), StringLine(Hkcr(ClassKey), L"", Description), server,
                       StringLine(server, L"", MORVANE_DLL), StringLine(server, L"ThreadingModel", L"Apartment")});
    }
    for (int i = firstHandler; i < 11; ++i)
        Append(lines, {Hkcr(HandlerKey(i)), StringLine(Hkcr(HandlerKey(i)), L"", Clsid)});
    if (approval)
        lines.push_back(StringLine(ApprovedLabel(), Clsid, Description));
    return Join(lines);
}

std::string AllEntries()
{
    return ExpectedEntries(true, 0, true);
}

// The entries as they are now, whole trees, whatever their types.
std::string EntriesText()
{
    std::vector<std::string> lines = TreeLines(HKEY_CLASSES_ROOT, ClassKey, Hkcr(ClassKey));
    for (int i = 0; i < 11; ++i)
        Append(lines, TreeLines(HKEY_CLASSES_ROOT, HandlerKey(i), Hkcr(HandlerKey(i))));
    HKEY approved = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ApprovedKey.c_str(), 0, KEY_READ, &approved) == ERROR_SUCCESS) {
        const std::string line = keytools::ValueLine(approved, ApprovedLabel(), Clsid);
        if (!line.empty())
            lines.push_back(line);
        RegCloseKey(approved);
    }
    return Join(lines);
}

// Everything registration may touch, and what lies around it: the whole
// trees of the handler lists' owners and of the class key, and the
// Approved key with all its values.
std::vector<std::string> SurroundingLines()
{
    std::vector<std::string> lines;
    for (const wchar_t* owner : HandlerOwners)
        Append(lines, TreeLines(HKEY_CLASSES_ROOT, owner, Hkcr(owner)));
    Append(lines, TreeLines(HKEY_CLASSES_ROOT, ClassKey, Hkcr(ClassKey)));
    Append(lines, TreeLines(HKEY_LOCAL_MACHINE, ApprovedKey, ApprovedLabel()));
    return lines;
}

bool StartsWithKey(const std::string& line, const std::string& key)
{
    return line.compare(0, key.size(), key) == 0 &&
           (line.size() == key.size() || line[key.size()] == '\\' || line.compare(key.size(), 3, " | ") == 0);
}

// A line of SurroundingLines that belongs to the registration's entries.
bool IsEntryLine(const std::string& line)
{
    if (StartsWithKey(line, Hkcr(ClassKey)) || line == StringLine(ApprovedLabel(), Clsid, Description))
        return true;
    for (int i = 0; i < 11; ++i)
        if (StartsWithKey(line, Hkcr(HandlerKey(i))))
            return true;
    return false;
}

// The first key of root\path that does not exist ("" when all do).
std::wstring FirstMissing(HKEY root, const std::wstring& path)
{
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        const std::wstring prefix = path.substr(0, end);
        if (!KeyExists(root, prefix))
            return prefix;
        if (end == std::wstring::npos)
            return std::wstring();
    }
}

// Starts from a system without this class registered, and puts the registry
// back as it found it: the entries and every key made on the way (handler
// lists that did not exist, under HKCR\Directory for one) are removed with
// plain registry calls, whatever the DLL did.
class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dll().module());
        before = Join(SurroundingLines());
        ASSERT_EQ(EntriesText(), "") << "the class is registered already (regsvr32 /u the DLL first)";
        for (const wchar_t* list : HandlerLists)
            AddMadeOnTheWay(HKEY_CLASSES_ROOT, list);
        AddMadeOnTheWay(HKEY_LOCAL_MACHINE, ApprovedKey);
        clean = true;
    }

    void TearDown() override
    {
        if (!clean)
            return;
        keytools::RemoveKey(HKEY_CLASSES_ROOT, ClassKey);
        for (int i = 0; i < 11; ++i)
            keytools::RemoveKey(HKEY_CLASSES_ROOT, HandlerKey(i));
        HKEY approved = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ApprovedKey.c_str(), 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
            RegDeleteValueW(approved, Clsid.c_str());
            RegCloseKey(approved);
        }
        for (const auto& made : madeOnTheWay)
            keytools::RemoveKey(made.first, made.second);
        EXPECT_EQ(Join(SurroundingLines()), before) << "the registry is not as the test found it";
    }

    void AddMadeOnTheWay(HKEY root, const std::wstring& path)
    {
        const std::wstring missing = FirstMissing(root, path);
        if (missing.empty())
            return;
        for (const auto& made : madeOnTheWay)
            if (made.first == root && made.second == missing)
                return;
        madeOnTheWay.emplace_back(root, missing);
    }

    bool clean = false;
    std::string before;
    std::vector<std::pair<HKEY, std::wstring>> madeOnTheWay;
};

// ---- Registering --------------------------------------------------------

TEST_F(RegistrationTest, RegsvrWritesEveryEntryAsTextWithItsTerminatorCounted)
{
    ASSERT_EQ(RunProcess(RegsvrRegister, 30000), 0);
    EXPECT_EQ(EntriesText(), AllEntries());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
}

TEST_F(RegistrationTest, RegisteringAgainGivesSOkAndTheSameRegistry)
{
    ASSERT_EQ(Dll().RegisterServer(), S_OK);
    EXPECT_EQ(EntriesText(), AllEntries());
    const std::string once = Join(SurroundingLines());

    EXPECT_EQ(Dll().RegisterServer(), S_OK);
    EXPECT_EQ(EntriesText(), AllEntries());
    EXPECT_EQ(Join(SurroundingLines()), once);

    EXPECT_EQ(RunProcess(RegsvrRegister, 30000), 0);
    EXPECT_EQ(Join(SurroundingLines()), once);
}

TEST_F(RegistrationTest, StringValuesWithOtherTextAreOverwritten)
{
    ASSERT_EQ(keytools::SetString(HKEY_CLASSES_ROOT, ClassKey, L"", L"old description"), ERROR_SUCCESS);
    ASSERT_EQ(keytools::SetString(HKEY_CLASSES_ROOT, ClassKey + L"\\InProcServer32", L"", L"C:\\old\\path.dll"),
              ERROR_SUCCESS);
    ASSERT_EQ(keytools::SetString(HKEY_CLASSES_ROOT, ClassKey + L"\\InProcServer32", L"ThreadingModel", L"Both"),
              ERROR_SUCCESS);
    ASSERT_EQ(keytools::SetString(HKEY_CLASSES_ROOT, HandlerKey(4), L"", L"{00000000-0000-0000-0000-000000000000}"),
              ERROR_SUCCESS);
    ASSERT_EQ(keytools::SetString(HKEY_LOCAL_MACHINE, ApprovedKey, Clsid, L"old"), ERROR_SUCCESS);

    EXPECT_EQ(Dll().RegisterServer(), S_OK);
    EXPECT_EQ(EntriesText(), AllEntries());
}

// ---- Failed registration and its rollback -------------------------------

TEST_F(RegistrationTest, ClassKeyWithADwordDefaultFailsWithStatus0AndIsRolledBack)
{
    ASSERT_EQ(keytools::SetDword(HKEY_CLASSES_ROOT, ClassKey, L"", 1), ERROR_SUCCESS);
    EXPECT_EQ(Dll().RegisterServer(), FailedWithStatus0);
    // The class key is gone with its DWORD, no handler subkey was written,
    // nothing else changed.
    EXPECT_EQ(EntriesText(), "");
    EXPECT_EQ(Join(SurroundingLines()), before);

    ASSERT_EQ(keytools::SetDword(HKEY_CLASSES_ROOT, ClassKey, L"", 1), ERROR_SUCCESS);
    EXPECT_EQ(RunProcess(RegsvrRegister, 30000), RegsvrFailed);
    EXPECT_EQ(EntriesText(), "");
    EXPECT_EQ(Join(SurroundingLines()), before);
}

TEST_F(RegistrationTest, ServerPathStoredAsExpandStringFailsWithStatus0AndIsRolledBack)
{
    const std::wstring path = L"%SystemRoot%\\old.dll";
    ASSERT_EQ(keytools::SetValue(HKEY_CLASSES_ROOT, ClassKey + L"\\InProcServer32", L"", REG_EXPAND_SZ, path.c_str(),
                                 keytools::TextBytes(path)),
              ERROR_SUCCESS);
    EXPECT_EQ(Dll().RegisterServer(), FailedWithStatus0);
    EXPECT_EQ(EntriesText(), "");
    EXPECT_EQ(Join(SurroundingLines()), before);
}

TEST_F(RegistrationTest, ApprovalOfAnotherTypeFailsLastAndTheRollbackRemovesEveryEntry)
{
    ASSERT_EQ(keytools::SetDword(HKEY_LOCAL_MACHINE, ApprovedKey, Clsid, 1), ERROR_SUCCESS);
    EXPECT_EQ(Dll().RegisterServer(), FailedWithStatus0);
    // Unregistration removed the class key, all eleven subkeys and the approval value, DWORD as it was.
    EXPECT_EQ(EntriesText(), "");
    for (const wchar_t* list : HandlerLists)
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, list)) << Utf8(list);
}

TEST_F(RegistrationTest, UnreadableHandlerListFailsWithItsStatusAndIsRolledBack)
{
    ASSERT_EQ(keytools::MakeKey(HKEY_CLASSES_ROOT, HandlerLists[7]), ERROR_SUCCESS);
    keytools::KeyLock lock(HKEY_CLASSES_ROOT, HandlerLists[7], keytools::DenyRead);
    ASSERT_TRUE(lock.locked());

    EXPECT_EQ(Dll().RegisterServer(), AccessDenied);
    // The rollback removed the class key and the seven subkeys written before
    // the locked list, and stopped there; the approval was never written.
    EXPECT_EQ(EntriesText(), "");
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, HandlerLists[i])) << Utf8(HandlerLists[i]);

    EXPECT_EQ(RunProcess(RegsvrRegister, 30000), RegsvrFailed);
    EXPECT_EQ(EntriesText(), "");
}

// ---- Unregistering ------------------------------------------------------

TEST_F(RegistrationTest, UnregisteringRemovesExactlyTheEntriesAndKeepsTheHandlerLists)
{
    for (bool throughRegsvr : {true, false}) {
        ASSERT_EQ(Dll().RegisterServer(), S_OK);
        ASSERT_EQ(EntriesText(), AllEntries());
        std::vector<std::string> expected;
        for (const std::string& line : SurroundingLines())
            if (!IsEntryLine(line))
                expected.push_back(line);

        if (throughRegsvr)
            EXPECT_EQ(RunProcess(RegsvrUnregister, 30000), 0);
        else
            EXPECT_EQ(Dll().UnregisterServer(), S_OK);
        EXPECT_EQ(EntriesText(), "") << "regsvr32: " << throughRegsvr;
        EXPECT_EQ(Join(SurroundingLines()), Join(expected)) << "regsvr32: " << throughRegsvr;
        for (const wchar_t* list : HandlerLists)
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, list)) << Utf8(list);
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    }
}

TEST_F(RegistrationTest, SecondUnregistrationFailsWithStatus2AndTouchesNothing)
{
    ASSERT_EQ(Dll().RegisterServer(), S_OK);
    ASSERT_EQ(Dll().UnregisterServer(), S_OK);
    const std::string unregistered = Join(SurroundingLines());

    EXPECT_EQ(Dll().UnregisterServer(), FileNotFound);
    EXPECT_EQ(Join(SurroundingLines()), unregistered);
    EXPECT_EQ(RunProcess(RegsvrUnregister, 30000), RegsvrFailed);
    EXPECT_EQ(Join(SurroundingLines()), unregistered);
}

TEST_F(RegistrationTest, MissingSubkeyUnderTheThirdHandlerListStopsUnregistrationThere)
{
    ASSERT_EQ(Dll().RegisterServer(), S_OK);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, HandlerKey(2).c_str()), ERROR_SUCCESS);

    EXPECT_EQ(Dll().UnregisterServer(), FileNotFound);
    // Gone: the class key and the first two subkeys. Left: the other eight and the approval.
    EXPECT_EQ(EntriesText(), ExpectedEntries(false, 3, true));

    // Registering again puts every entry back.
    EXPECT_EQ(Dll().RegisterServer(), S_OK);
    EXPECT_EQ(EntriesText(), AllEntries());
}

}  // namespace
