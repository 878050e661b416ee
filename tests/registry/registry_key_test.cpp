// RegistryKey: opening or creating keys by absolute and relative paths, and
// deleting whole key trees, on scratch keys under HKCU.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/key_tools.h"
#include "registry/registry_key.h"
#include "support/environment.h"
#include "support/platform_seams.h"

using keytools::Join;
using keytools::MakeKey;
using keytools::SetDword;
using keytools::SetString;
using keytools::StringLine;
using keytools::TreeText;

namespace {

const wchar_t Scratch[] = L"Software\\MorvaneTest";  // under HKCU
const wchar_t TopScratch[] = L"MorvaneTestRoot";     // directly under HKCU
const std::string S = "HKCU\\Software\\MorvaneTest";  // its label in dumps

std::wstring Under(const std::wstring& relative)
{
    return std::wstring(Scratch) + L"\\" + relative;
}

std::string ScratchText()
{
    return TreeText(HKEY_CURRENT_USER, Scratch, S);
}

std::string DwordLine(const std::string& keyLabel, const char* name, DWORD value)
{
    char buffer[16];
    snprintf(buffer, sizeof(buffer), "0x%08lX", static_cast<unsigned long>(value));
    return keyLabel + " | " + name + " | REG_DWORD | " + buffer + " | 4";
}

// ERROR_INVALID_HANDLE once a key handle has been closed.
LONG QueryKey(HKEY key)
{
    DWORD subkeys = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr);
}

struct DeleteCall {
    RegistryKey* key;
    const wchar_t* path;
    bool result;
};

DWORD WINAPI RunDelete(void* parameter)
{
    DeleteCall* call = static_cast<DeleteCall*>(parameter);
    call->result = call->key->DeleteKeyTree(call->path);
    return 0;
}

// DeleteKeyTree on a worker thread, waited for at most 10 s: a walk that
// kept asking for a child it cannot delete would never come back.
bool DeleteWithin10s(RegistryKey& key, const wchar_t* path, bool* result)
{
    DeleteCall call = {&key, path, false};
    HANDLE thread = CreateThread(nullptr, 0, RunDelete, &call, 0, nullptr);
    if (!thread) {
        ADD_FAILURE() << "cannot start a thread";
        return false;
    }
    const bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    if (!done) {
        TerminateThread(thread, 1);
        ADD_FAILURE() << "DeleteKeyTree(" << Utf8(path) << ") did not return within 10 s";
    }
    CloseHandle(thread);
    *result = call.result;
    return done;
}

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, Scratch)) << "HKCU\\Software\\MorvaneTest is left from an earlier run";
        ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, TopScratch)) << "HKCU\\MorvaneTestRoot is left from an earlier run";
    }
    void TearDown() override
    {
        locks.clear();
        EXPECT_TRUE(keytools::RemoveKey(HKEY_CURRENT_USER, Scratch));
        EXPECT_TRUE(keytools::RemoveKey(HKEY_CURRENT_USER, TopScratch));
    }

    // HKCU\path refuses to be read until the test ends.
    void LockForReading(const std::wstring& path)
    {
        locks.emplace_back(new keytools::KeyLock(HKEY_CURRENT_USER, path, keytools::DenyRead));
        ASSERT_TRUE(locks.back()->locked());
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, RegistryKey::ReadWrite, &key),
                  ERROR_ACCESS_DENIED);
    }

    // Tree below the scratch key: values on several levels, four levels deep,
    // a child named like a root, a non-ASCII name, a name of 255 characters.
    // A sibling whose name starts with "Tree" and a value of the scratch key
    // itself must survive the deletion of Tree.
    void BuildTree()
    {
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Scratch, L"Keep", L"scratch"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree"), L"", L"top"), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(HKEY_CURRENT_USER, Under(L"Tree"), L"Count", 3), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\A"), L"Level", L"1"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\A\\A1"), L"Level", L"2"), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(HKEY_CURRENT_USER, Under(L"Tree\\A\\A1\\A11\\A111"), L"Level", 4), ERROR_SUCCESS);
        ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\A\\A2")), ERROR_SUCCESS);
        ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\B")), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\HKLM\\Software"), L"", L"not the root"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\\u00dcn\u00efcode \u4e2d"), L"\u00e9", L"\u4e2d"),
                  ERROR_SUCCESS);
        ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\" + std::wstring(255, L'x') + L"\\Below")), ERROR_SUCCESS);
        ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"TreeSibling"), L"Stay", L"yes"), ERROR_SUCCESS);
    }

    // The scratch key once Tree is gone.
    static std::string WithoutTree()
    {
        return Join({S, StringLine(S, L"Keep", L"scratch"), S + "\\TreeSibling",
                     StringLine(S + "\\TreeSibling", L"Stay", L"yes")});
    }

    std::vector<std::unique_ptr<keytools::KeyLock>> locks;
};

// ---- Create -------------------------------------------------------------

TEST_F(RegistryKeyTest, CreateMakesAMissingKeyWhichStaysAfterClose)
{
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest\\Made\\Deep"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    ASSERT_NE(key.key(), nullptr);
    const DWORD mark = 7;
    ASSERT_EQ(RegSetValueExW(key.key(), L"Mark", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), 4), ERROR_SUCCESS);
    key.Close();
    EXPECT_EQ(key.key(), nullptr);
    EXPECT_EQ(ScratchText(), Join({S, S + "\\Made", S + "\\Made\\Deep", DwordLine(S + "\\Made\\Deep", "Mark", 7)}));
}

TEST_F(RegistryKeyTest, CreateWithTheLongRootNameOpensAnExistingKeyWithItsValues)
{
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Existing"), L"Old", L"value"), ERROR_SUCCESS);
    const std::string before = ScratchText();
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKEY_CURRENT_USER\\Software\\MorvaneTest\\Existing"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    wchar_t text[16] = {};
    DWORD size = sizeof(text);
    EXPECT_EQ(RegQueryValueExW(key.key(), L"Old", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"value");
    EXPECT_EQ(ScratchText(), before);
}

TEST_F(RegistryKeyTest, RelativeCreatesWalkDownFromTheHeldKey)
{
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    ASSERT_TRUE(key.Create(L"A"));
    ASSERT_TRUE(key.Create(L"B"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    // The key held now is HKCU\Software\MorvaneTest\A\B.
    ASSERT_EQ(RegSetValueExW(key.key(), L"Held", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"B"), 4), ERROR_SUCCESS);
    EXPECT_EQ(ScratchText(), Join({S, S + "\\A", S + "\\A\\B", StringLine(S + "\\A\\B", L"Held", L"B")}));

    // A relative path of several components, then an absolute one again.
    ASSERT_TRUE(key.Create(L"C\\D"));
    ASSERT_EQ(RegSetValueExW(key.key(), L"Held", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"D"), 4), ERROR_SUCCESS);
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest\\E"));
    ASSERT_EQ(RegSetValueExW(key.key(), L"Held", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"E"), 4), ERROR_SUCCESS);
    EXPECT_EQ(ScratchText(), Join({S, S + "\\A", S + "\\A\\B", StringLine(S + "\\A\\B", L"Held", L"B"),
                                   S + "\\A\\B\\C", S + "\\A\\B\\C\\D", StringLine(S + "\\A\\B\\C\\D", L"Held", L"D"),
                                   S + "\\E", StringLine(S + "\\E", L"Held", L"E")}));
}

TEST_F(RegistryKeyTest, RootNameInAnotherCaseIsARelativePath)
{
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    ASSERT_TRUE(key.Create(L"hkcu\\Software"));
    EXPECT_EQ(ScratchText(), Join({S, S + "\\hkcu", S + "\\hkcu\\Software"}));
}

TEST_F(RegistryKeyTest, RootAloneIsHeldAndRelativePathsStartThere)
{
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU"));
    ASSERT_NE(key.key(), nullptr);
    ASSERT_TRUE(key.Create(L"Software\\MorvaneTest\\FromRoot"));
    EXPECT_EQ(ScratchText(), Join({S, S + "\\FromRoot"}));
}

TEST_F(RegistryKeyTest, CreateClosesTheKeyItHeldBefore)
{
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    const HKEY first = key.key();
    ASSERT_EQ(QueryKey(first), ERROR_SUCCESS);
    ASSERT_TRUE(key.Create(L"A"));
    EXPECT_NE(key.key(), first);
    EXPECT_EQ(QueryKey(first), ERROR_INVALID_HANDLE);
    EXPECT_EQ(QueryKey(key.key()), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, FailedCreateKeepsTheHeldKeyAndReportsTheError)
{
    // A lasting key cannot be made below a volatile one. (The scratch key is
    // made first: RegCreateKeyExW makes missing parents volatile as well.)
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Scratch), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Volatile"), REG_OPTION_VOLATILE), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    const HKEY held = key.key();

    EXPECT_FALSE(key.Create(L"Volatile\\Lasting"));
    EXPECT_EQ(key.status(), ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(key.key(), held);
    EXPECT_FALSE(key.Create(L"HKCU\\Software\\MorvaneTest\\Volatile\\Lasting"));
    EXPECT_EQ(key.status(), ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(key.key(), held);

    // The held key is still open and still the base of relative paths.
    EXPECT_EQ(QueryKey(held), ERROR_SUCCESS);
    ASSERT_TRUE(key.Create(L"Usable"));
    EXPECT_EQ(ScratchText(), Join({S, S + "\\Usable", S + "\\Volatile"}));
}

TEST_F(RegistryKeyTest, RelativeCreateWithoutAHeldKeyFailsWithInvalidHandle)
{
    RegistryKey key;
    EXPECT_FALSE(key.Create(L"Software\\MorvaneTest"));
    EXPECT_EQ(key.status(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.key(), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Scratch));
}

TEST_F(RegistryKeyTest, AccessAskedForIsTheAccessOfTheHeldKey)
{
    const DWORD one = 1;
    RegistryKey reader;
    ASSERT_TRUE(reader.Create(L"HKCU\\Software\\MorvaneTest", KEY_READ));
    EXPECT_EQ(RegSetValueExW(reader.key(), L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED);
    RegistryKey writer;
    ASSERT_TRUE(writer.Create(L"HKCU\\Software\\MorvaneTest"));
    EXPECT_EQ(RegSetValueExW(writer.key(), L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(ScratchText(), Join({S, DwordLine(S, "V", 1)}));
}

// ---- Close --------------------------------------------------------------

TEST_F(RegistryKeyTest, CloseReleasesTheKeyAndASecondCloseDoesNothing)
{
    RegistryKey key(L"HKCU\\Software\\MorvaneTest");
    const HKEY held = key.key();
    ASSERT_NE(held, nullptr);
    key.Close();
    EXPECT_EQ(key.key(), nullptr);
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_EQ(QueryKey(held), ERROR_INVALID_HANDLE);
    key.Close();
    EXPECT_EQ(key.key(), nullptr);
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Scratch));
}

// ---- DeleteKeyTree: whole trees -----------------------------------------

TEST_F(RegistryKeyTest, DeleteKeyTreeOfARelativeNameRemovesTheWholeTreeAndKeepsTheHeldKey)
{
    BuildTree();
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    const HKEY held = key.key();

    EXPECT_TRUE(key.DeleteKeyTree(L"Tree"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_EQ(key.key(), held);
    EXPECT_EQ(ScratchText(), WithoutTree());

    // The held key is still open and still the base of relative paths.
    EXPECT_EQ(QueryKey(held), ERROR_SUCCESS);
    ASSERT_TRUE(key.Create(L"After"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under(L"After")));
}

TEST_F(RegistryKeyTest, DeleteKeyTreeOfAnAbsolutePathRemovesTheWholeTreeAndKeepsTheHeldKey)
{
    BuildTree();
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest\\TreeSibling"));
    const HKEY held = key.key();

    EXPECT_TRUE(key.DeleteKeyTree(L"HKCU\\Software\\MorvaneTest\\Tree"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_EQ(key.key(), held);
    EXPECT_EQ(ScratchText(), WithoutTree());
    EXPECT_EQ(QueryKey(held), ERROR_SUCCESS);

    // Without any key held, by the long root name.
    BuildTree();
    RegistryKey none;
    EXPECT_TRUE(none.DeleteKeyTree(L"HKEY_CURRENT_USER\\Software\\MorvaneTest\\Tree"));
    EXPECT_EQ(none.status(), ERROR_SUCCESS);
    EXPECT_EQ(none.key(), nullptr);
    EXPECT_EQ(ScratchText(), WithoutTree());
}

TEST_F(RegistryKeyTest, DeleteKeyTreeOfARelativePathWithParentsRemovesOnlyItsLeaf)
{
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\A\\A1"), L"Level", L"2"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\A"), L"Level", L"1"), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\AB")), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    EXPECT_TRUE(key.DeleteKeyTree(L"Tree\\A"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_EQ(ScratchText(), Join({S, S + "\\Tree", S + "\\Tree\\AB"}));
}

TEST_F(RegistryKeyTest, DeleteKeyTreeDirectlyBelowTheRootDeletesIt)
{
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, L"MorvaneTestRoot\\Sub\\Deeper", L"V", L"x"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, L"MorvaneTestRoot", L"", 1), ERROR_SUCCESS);
    RegistryKey key;
    EXPECT_TRUE(key.DeleteKeyTree(L"HKCU\\MorvaneTestRoot"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TopScratch));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));

    ASSERT_EQ(SetString(HKEY_CURRENT_USER, L"MorvaneTestRoot\\Sub", L"V", L"x"), ERROR_SUCCESS);
    EXPECT_TRUE(key.DeleteKeyTree(L"HKEY_CURRENT_USER\\MorvaneTestRoot"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TopScratch));
}

TEST_F(RegistryKeyTest, SingleComponentNamedLikeARootIsASubkeyOfTheHeldKey)
{
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"HKCU\\Inner"), L"V", L"x"), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Other")), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    EXPECT_TRUE(key.DeleteKeyTree(L"HKCU"));
    EXPECT_EQ(key.status(), ERROR_SUCCESS);
    EXPECT_EQ(ScratchText(), Join({S, S + "\\Other"}));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

// ---- DeleteKeyTree: keys it cannot reach -------------------------------
// Without a parent path the result is that of opening the leaf; with one,
// a leaf that is missing counts as deleted, and any key that stays is
// reported by its own status. Nothing changes in any row.

TEST_F(RegistryKeyTest, DeleteKeyTreeReportsWhatItCouldNotReachAndChangesNothing)
{
    BuildTree();
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Locked\\Inside")), ERROR_SUCCESS);
    LockForReading(Under(L"Tree\\Locked"));
    const std::string before = ScratchText();
    struct Row {
        const wchar_t* held;  // the key the wrapper holds, or null
        const wchar_t* path;
        bool result;
        LONG status;
    };
    const wchar_t* const Held = L"HKCU\\Software\\MorvaneTest";
    const Row rows[] = {
        {Held, L"Missing", false, ERROR_FILE_NOT_FOUND},
        {Held, L"HKCU\\Software\\MorvaneTest\\Missing", true, ERROR_SUCCESS},
        {Held, L"Tree\\Missing", true, ERROR_SUCCESS},
        // The parent that could not be opened is "closed" last.
        {Held, L"HKCU\\Software\\MorvaneTest\\NoParent\\Leaf", false, ERROR_INVALID_HANDLE},
        {Held, L"NoParent\\Leaf", false, ERROR_INVALID_HANDLE},
        {nullptr, L"Software", false, ERROR_INVALID_HANDLE},
        // A leaf that refuses to be opened stays, by its name or under a parent path.
        {L"HKCU\\Software\\MorvaneTest\\Tree", L"Locked", false, ERROR_ACCESS_DENIED},
        {Held, L"Tree\\Locked", false, ERROR_ACCESS_DENIED},
        {Held, L"HKCU\\Software\\MorvaneTest\\Tree\\Locked", false, ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        RegistryKey key;
        if (row.held)
            ASSERT_TRUE(key.Create(row.held)) << Utf8(row.held);
        const HKEY held = key.key();
        EXPECT_EQ(key.DeleteKeyTree(row.path), row.result) << Utf8(row.path);
        EXPECT_EQ(key.status(), row.status) << Utf8(row.path);
        EXPECT_EQ(key.key(), held) << Utf8(row.path);
    }
    EXPECT_EQ(ScratchText(), before);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

// ---- DeleteKeyTree: keys that cannot be deleted -------------------------

TEST_F(RegistryKeyTest, UnreadableChildStopsTheWalkThereWithAccessDenied)
{
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree"), L"", L"top"), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\A\\A1")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Locked\\Inside")), ERROR_SUCCESS);
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, Under(L"Tree\\Z"), L"Last", L"z"), ERROR_SUCCESS);
    LockForReading(Under(L"Tree\\Locked"));
    const std::string T = S + "\\Tree";
    // Subkeys go in name order: A is gone, the walk stops at Locked, Z is not reached.
    const std::string expected = Join({S, T, StringLine(T, L"", L"top"), T + "\\Locked | cannot open: 5",
                                       T + "\\Z", StringLine(T + "\\Z", L"Last", L"z")});

    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    const HKEY held = key.key();
    bool result = true;
    ASSERT_TRUE(DeleteWithin10s(key, L"Tree", &result));
    EXPECT_FALSE(result);
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.key(), held);
    EXPECT_EQ(ScratchText(), expected);

    // The same by an absolute path: the child's status wins over the parent's close.
    result = true;
    ASSERT_TRUE(DeleteWithin10s(key, L"HKCU\\Software\\MorvaneTest\\Tree", &result));
    EXPECT_FALSE(result);
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.key(), held);
    EXPECT_EQ(ScratchText(), expected);
}

TEST_F(RegistryKeyTest, UnreadableGrandchildStopsTheWalkAndKeepsItsParents)
{
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Mid\\Before\\Deep")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Mid\\Locked")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Mid\\Zeta")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Z")), ERROR_SUCCESS);
    LockForReading(Under(L"Tree\\Mid\\Locked"));

    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    const HKEY held = key.key();
    bool result = true;
    ASSERT_TRUE(DeleteWithin10s(key, L"Tree", &result));
    EXPECT_FALSE(result);
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.key(), held);
    const std::string T = S + "\\Tree";
    EXPECT_EQ(ScratchText(), Join({S, T, T + "\\Mid", T + "\\Mid\\Locked | cannot open: 5", T + "\\Mid\\Zeta",
                                   T + "\\Z"}));
}

// Wine 8.0 grants DELETE (and WRITE_DAC) whatever a key's access list says,
// even an empty one, so no key refuses RegDeleteKeyW there (it does refuse
// KEY_READ: see above). The refusal comes from the module's deletion call.
TEST_F(RegistryKeyTest, ChildThatRefusesDeletionStopsTheWalkThere)
{
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\A")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Kept\\Inside")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Tree\\Z")), ERROR_SUCCESS);
    const std::string T = S + "\\Tree";
    RegistryKey key;
    ASSERT_TRUE(key.Create(L"HKCU\\Software\\MorvaneTest"));
    bool result = true;
    test_seams::RefuseDeletionOf(L"Kept");
    const bool returned = DeleteWithin10s(key, L"Tree", &result);
    test_seams::RefuseDeletionOf(nullptr);
    ASSERT_TRUE(returned);
    EXPECT_FALSE(result);
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    // Kept lost its subkeys, then refused to go; Z was not reached.
    EXPECT_EQ(ScratchText(), Join({S, T, T + "\\Kept", T + "\\Z"}));

    // The leaf itself refusing, by its name and under a parent path.
    test_seams::RefuseDeletionOf(L"Z");
    EXPECT_FALSE(key.DeleteKeyTree(L"Tree\\Z"));
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(key.Create(L"Tree"));
    EXPECT_FALSE(key.DeleteKeyTree(L"Z"));
    EXPECT_EQ(key.status(), ERROR_ACCESS_DENIED);
    test_seams::RefuseDeletionOf(nullptr);
    EXPECT_EQ(ScratchText(), Join({S, T, T + "\\Kept", T + "\\Z"}));
}

// ---- Handles ------------------------------------------------------------

TEST_F(RegistryKeyTest, ManyCyclesOfEveryOperationLeaveNoHandleOpen)
{
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Guarded\\Locked\\Inside")), ERROR_SUCCESS);
    ASSERT_EQ(MakeKey(HKEY_CURRENT_USER, Under(L"Volatile"), REG_OPTION_VOLATILE), ERROR_SUCCESS);
    LockForReading(Under(L"Guarded\\Locked"));

    int wrong = 0;
    auto cycle = [&wrong]() {
        RegistryKey key;
        wrong += !key.Create(L"HKCU\\Software\\MorvaneTest");
        wrong += !key.Create(L"A");
        wrong += !key.Create(L"B\\C");
        wrong += key.Create(L"HKCU\\Software\\MorvaneTest\\Volatile\\Lasting");
        wrong += !key.Create(L"HKEY_CURRENT_USER\\Software\\MorvaneTest");
        wrong += !key.DeleteKeyTree(L"A");
        wrong += key.DeleteKeyTree(L"Missing");
        wrong += !key.DeleteKeyTree(L"HKCU\\Software\\MorvaneTest\\Missing");
        wrong += key.DeleteKeyTree(L"HKCU\\Software\\MorvaneTest\\NoParent\\Leaf");
        wrong += key.DeleteKeyTree(L"Guarded");
        wrong += !key.Create(L"Closed");
        key.Close();
        wrong += !key.Create(L"HKCU\\Software\\MorvaneTest\\Closed\\Again");
        wrong += !key.DeleteKeyTree(L"HKCU\\Software\\MorvaneTest\\Closed");
        // The destructor closes the key still held.
    };
    cycle();  // the first use opens the predefined roots once for good
    ASSERT_EQ(wrong, 0);
    const int before = keytools::OpenHandleCount();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 300; ++i)
        cycle();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(keytools::OpenHandleCount(), before);
    const std::string G = S + "\\Guarded";
    EXPECT_EQ(ScratchText(), Join({S, G, G + "\\Locked | cannot open: 5", S + "\\Volatile"}));
}

}  // namespace
