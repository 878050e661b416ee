// ResolveRootKey: the predefined root named at the start of a key path.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/root_keys.h"
#include "support/environment.h"

namespace {

HKEY Predefined(LONG value)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(value));
}

struct RootName {
    const wchar_t* name;
    HKEY root;
};

// Every name the resolver knows, short and long, with the root it stands for.
const std::vector<RootName>& AllNames()
{
    static const std::vector<RootName> names = {
        {L"HKCR", HKEY_CLASSES_ROOT},
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", HKEY_CURRENT_USER},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE},
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", HKEY_USERS},
        {L"HKEY_USERS", HKEY_USERS},
        {L"HKPD", HKEY_PERFORMANCE_DATA},
        {L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {L"HKPT", Predefined(static_cast<LONG>(0x80000050))},
        {L"HKEY_PERFORMANCE_TEXT", Predefined(static_cast<LONG>(0x80000050))},
        {L"HKPN", Predefined(static_cast<LONG>(0x80000060))},
        {L"HKEY_PERFORMANCE_NLSTEXT", Predefined(static_cast<LONG>(0x80000060))},
        {L"HKCC", HKEY_CURRENT_CONFIG},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {L"HKDD", HKEY_DYN_DATA},
        {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
    };
    return names;
}

const wchar_t Untouched[] = L"untouched";

TEST(ResolveRootKey, EveryShortAndLongNameGivesItsRootAndTheRestAfterTheSeparator)
{
    ASSERT_EQ(AllNames().size(), 18u);
    for (const RootName& entry : AllNames()) {
        const std::wstring path = std::wstring(entry.name) + L"\\Software\\Morvane Test";
        const wchar_t* rest = Untouched;
        EXPECT_EQ(ResolveRootKey(path.c_str(), &rest), entry.root) << Utf8(path);
        // rest points into the path itself, just after the "\".
        EXPECT_EQ(rest, path.c_str() + wcslen(entry.name) + 1) << Utf8(path);
        EXPECT_EQ(std::wstring(rest), L"Software\\Morvane Test") << Utf8(path);
    }
}

TEST(ResolveRootKey, ShortAndLongNameOfEachRootGiveTheSameHandle)
{
    for (size_t i = 0; i < AllNames().size(); i += 2) {
        const std::wstring shortPath = std::wstring(AllNames()[i].name) + L"\\X";
        const std::wstring longPath = std::wstring(AllNames()[i + 1].name) + L"\\X";
        const HKEY shortRoot = ResolveRootKey(shortPath.c_str(), nullptr);
        EXPECT_NE(shortRoot, nullptr) << Utf8(shortPath);
        EXPECT_EQ(shortRoot, ResolveRootKey(longPath.c_str(), nullptr)) << Utf8(longPath);
    }
}

TEST(ResolveRootKey, RootAloneGivesAnEmptyRestAtTheTerminator)
{
    for (const RootName& entry : AllNames()) {
        const wchar_t* rest = Untouched;
        EXPECT_EQ(ResolveRootKey(entry.name, &rest), entry.root) << Utf8(entry.name);
        EXPECT_EQ(rest, entry.name + wcslen(entry.name)) << Utf8(entry.name);
    }
}

TEST(ResolveRootKey, RootWithOnlyASeparatorGivesAnEmptyRestAfterIt)
{
    const wchar_t path[] = L"HKLM\\";
    const wchar_t* rest = Untouched;
    EXPECT_EQ(ResolveRootKey(path, &rest), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rest, path + 5);
    EXPECT_EQ(*rest, L'\0');
}

TEST(ResolveRootKey, RestIsNotNeededToResolve)
{
    EXPECT_EQ(ResolveRootKey(L"HKU\\S-1-5-18", nullptr), HKEY_USERS);
    EXPECT_EQ(ResolveRootKey(L"HKEY_DYN_DATA", nullptr), HKEY_DYN_DATA);
}

TEST(ResolveRootKey, NamesInAnotherCaseMatchNothingAndLeaveRestUntouched)
{
    for (const wchar_t* path : {L"hkcu\\A", L"Hkcu\\A", L"hkcu", L"HKcu", L"hkey_current_user\\A",
                                L"HKEY_Current_User\\A", L"HKEY_LOCAL_machine", L"hku\\S"}) {
        const wchar_t* rest = Untouched;
        EXPECT_EQ(ResolveRootKey(path, &rest), nullptr) << Utf8(path);
        EXPECT_EQ(rest, Untouched) << Utf8(path);
    }
}

TEST(ResolveRootKey, NamesWithMoreLettersMatchNothingAndLeaveRestUntouched)
{
    for (const wchar_t* path : {L"HKUX\\S", L"HKUX", L"HKCUX\\A", L"HKCU_A\\B", L"HKLMSoftware", L"HKEY_USERSX\\A",
                                L"HKEY_CLASSES_ROOTS", L"HKEY_DYN_DATA2\\A", L"HKCU/Software", L"HKCU \\A",
                                L"HKEY_PERFORMANCE_NLSTEXTS"}) {
        const wchar_t* rest = Untouched;
        EXPECT_EQ(ResolveRootKey(path, &rest), nullptr) << Utf8(path);
        EXPECT_EQ(rest, Untouched) << Utf8(path);
    }
}

TEST(ResolveRootKey, PartialNamesAndOtherPathsMatchNothingAndLeaveRestUntouched)
{
    for (const wchar_t* path : {L"", L"H", L"HK", L"HKC", L"HKEY_", L"HKEY_CURRENT", L"HKEY_CURRENT_USE\\A",
                                L"HKEY_PERFORMANCE", L"\\HKCU\\A", L" HKCU\\A", L"Software\\HKCU",
                                L"CLSID\\{6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}"}) {
        const wchar_t* rest = Untouched;
        EXPECT_EQ(ResolveRootKey(path, &rest), nullptr) << Utf8(path);
        EXPECT_EQ(rest, Untouched) << Utf8(path);
    }
}

TEST(ResolveRootKey, NullPathMatchesNothingAndLeavesRestUntouched)
{
    const wchar_t* rest = Untouched;
    EXPECT_EQ(ResolveRootKey(nullptr, &rest), nullptr);
    EXPECT_EQ(rest, Untouched);
}

}  // namespace
