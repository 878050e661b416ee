// ResolveRootKey: every root name with every following unit, a few paths
// that must match nothing, and random key paths (pieces of the root names,
// separators, changed letter case), held against a model of the naming rules.
#include <gtest/gtest.h>

#include <cwctype>

#include "hardening/hardening_support.h"
#include "registry/root_keys.h"
#include "support/seed_tables.h"

namespace {

using hardening::GuardedText;
using hardening::Random;

struct Root {
    std::wstring name;
    HKEY key;
};

const std::vector<Root> Roots = [] {
    std::vector<Root> roots;
    for (const seed::RootName& row : seed::RootNames)
        roots.push_back({row.name, row.root()});
    return roots;
}();

// A path names a root when it is that name exactly (case counts), alone or
// followed by "\"; the rest begins after that "\" or is the empty end.
HKEY Model(const std::wstring& path, size_t* restOffset)
{
    for (const Root& root : Roots) {
        if (path.compare(0, root.name.size(), root.name) != 0)
            continue;
        if (path.size() == root.name.size()) {
            *restOffset = path.size();
            return root.key;
        }
        if (path[root.name.size()] == L'\\') {
            *restOffset = root.name.size() + 1;
            return root.key;
        }
    }
    return nullptr;
}

std::wstring FlipCase(Random& random, std::wstring text)
{
    for (wchar_t& c : text)
        if (random.Chance(15))
            c = iswupper(c) ? towlower(c) : towupper(c);
    return text;
}

std::wstring RandomPath(Random& random)
{
    std::wstring path;
    const Root& root = random.Pick(Roots);
    std::wstring name = root.name;
    switch (random.Between(0, 5)) {
    case 0: name = name.substr(0, static_cast<size_t>(random.Between(0, static_cast<int>(name.size())))); break;
    case 1: name = FlipCase(random, name); break;
    case 2: name += random.Pick(std::vector<std::wstring>{L"X", L"_", L"\\", L"/", L" ", L"\\\\"}); break;
    case 3: name = random.Pick(std::vector<std::wstring>{L"", L"\\", L" ", L"HK", L"HKEY_"}) + name; break;
    default: break;  // the name as it is
    }
    path += name;
    const int separators = random.Between(0, 3);
    for (int i = 0; i < separators; ++i) {
        path += random.Pick(std::vector<std::wstring>{L"\\", L"/", L"\\\\", L""});
        if (random.Chance(60))
            path += random.Chance(30) ? FlipCase(random, random.Pick(Roots).name)
                                      : random.Pick(std::vector<std::wstring>{L"Software", L"a", L"\u4e2d", L"x y"});
    }
    if (random.Chance(3))
        path += std::wstring(static_cast<size_t>(random.Between(1, 32767)), L'k');
    return path;
}

void CheckOne(const std::wstring& path, long caseNumber)
{
    size_t restOffset = 0;
    const HKEY expected = Model(path, &restOffset);
    GuardedText guarded(path);
    const WCHAR* const untouched = reinterpret_cast<const WCHAR*>(static_cast<ULONG_PTR>(0x5A5A5A5A));
    const WCHAR* rest = untouched;
    const HKEY got = ResolveRootKey(guarded.get(), &rest);
    ASSERT_EQ(got, expected) << "case " << caseNumber;
    if (expected)
        ASSERT_EQ(rest, guarded.get() + restOffset) << "case " << caseNumber;
    else
        ASSERT_EQ(rest, untouched) << "case " << caseNumber;
    // Without a place for the rest the answer is the same.
    ASSERT_EQ(ResolveRootKey(guarded.get(), nullptr), expected) << "case " << caseNumber;
}

TEST(RootKeyProperty, RandomPathsResolveAsTheModelSays)
{
    Random random(0x5EED0003u);
    const long Cases = 20000;
    long tried = 0;
    for (; tried < Cases && !HasFatalFailure(); ++tried)
        CheckOne(RandomPath(random), tried);
    hardening::ReportCases(random, tried);
}

TEST(RootKeyProperty, EveryPrefixOfEveryNameWithEachFollowingUnitAndOtherSpellings)
{
    long tried = 0;
    for (const Root& root : Roots)
        for (size_t length = 0; length <= root.name.size(); ++length)
            for (const wchar_t* next : {L"", L"\\", L"\\x", L"/", L"_", L"a", L"\\\\"}) {
                CheckOne(root.name.substr(0, length) + next, tried++);
                if (HasFatalFailure())
                    return;
            }
    // Another case, more letters, another separator, a leading space: relative paths.
    for (const wchar_t* path : {L"hkcu\\A", L"HKEY_Current_User\\A", L"HKUX\\S", L"HKCU_A\\B", L"HKCU/Software",
                                L"HKCU \\A", L" HKCU\\A", L"\\HKCU\\A", L"Software\\HKCU", L"HKEY_PERFORMANCE_NLSTEXTS"})
        CheckOne(path, tried++);
    const WCHAR* rest = reinterpret_cast<const WCHAR*>(static_cast<ULONG_PTR>(0x5A5A5A5A));
    EXPECT_EQ(ResolveRootKey(nullptr, &rest), nullptr);
    EXPECT_EQ(rest, reinterpret_cast<const WCHAR*>(static_cast<ULONG_PTR>(0x5A5A5A5A)));
    hardening::ReportCases(tried + 1);
}

}  // namespace
