// Selections whose paths sit on both sides of the 259-character bound, and
// drop blocks of any shape: the selection holds the exact paths or nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "hardening/hardening_support.h"
#include "shellext/drop_files.h"
#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"

namespace {

using hardening::GuardedMemory;
using hardening::Random;

const HRESULT TooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// "C:\" and a name of the given whole length; ASCII, so the ANSI form has as many units.
std::wstring PathOfLength(size_t length, wchar_t fill)
{
    std::wstring path = L"C:\\";
    while (path.size() < length)
        path += (path.size() % 40 == 39) ? L'\\' : fill;
    return path.substr(0, length);
}

std::vector<std::wstring> SelectionOf(IShellExtInit* object)
{
    std::vector<std::wstring> paths;
    const CShellExt* ext = AsShellExt(object);
    for (int i = 0; i < ext->Selection.count; ++i) {
        const CShellExt::PATH_INFO& record = ext->Selection.data[i];
        // Zero from the terminator to the end of the record.
        const size_t length = wcsnlen(record.path, MAX_PATH + 1);
        for (size_t k = length; k < MAX_PATH + 1; ++k)
            EXPECT_EQ(record.path[k], 0) << "unit " << k << " after a path of " << length;
        paths.push_back(std::wstring(record.path, length));
    }
    return paths;
}

const std::vector<size_t> Lengths = {1, 3, 100, 257, 258, 259, 260, 261, 262, 300, 520, 1024, 4096, 32000, 32767};

class SelectionBoundary : public ::testing::Test {
protected:
    void SetUp() override { EnsureOle(); }

    // Initialize with a hand-made drop handle; compares with the rule.
    void Check(const std::vector<std::wstring>& paths, bool wide)
    {
        ComPtr<IShellExtInit> object = NewCoreObject();
        ASSERT_TRUE(object);
        ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle(paths, wide));
        const HRESULT hr = object->Initialize(nullptr, data.get(), nullptr);
        bool fits = true;
        for (const std::wstring& path : paths)
            fits = fits && path.size() <= MAX_PATH - 1;
        std::string what = (wide ? "wide:" : "ansi:");
        for (const std::wstring& path : paths)
            what += " " + std::to_string(path.size());
        if (fits) {
            EXPECT_EQ(hr, S_OK) << what;
            EXPECT_EQ(SelectionOf(object.get()), paths) << what;
        } else {
            EXPECT_EQ(hr, TooLong) << what;
            EXPECT_EQ(AsShellExt(object.get())->Selection.count, 0) << what;
            EXPECT_EQ(AsShellExt(object.get())->Selection.data, nullptr) << what;
        }
        ++cases;
    }

    long cases = 0;
};

TEST_F(SelectionBoundary, OnePathOfEveryLengthAroundTheBound)
{
    for (bool wide : {true, false})
        for (size_t length = 240; length <= 280; ++length)
            Check({PathOfLength(length, L'p')}, wide);
    for (bool wide : {true, false})
        for (size_t length : Lengths)
            Check({PathOfLength(length, L'q')}, wide);
    hardening::ReportCases(cases);
}

TEST_F(SelectionBoundary, LongPathAnywhereInTheListEmptiesTheWholeSelection)
{
    for (bool wide : {true, false})
        for (size_t length : Lengths) {
            const std::wstring path = PathOfLength(length, L'r');
            const std::wstring a = PathOfLength(259, L'a');
            const std::wstring b = PathOfLength(12, L'b');
            Check({path, a, b}, wide);
            Check({a, path, b}, wide);
            Check({a, b, path}, wide);
            Check({path, path}, wide);
        }
    hardening::ReportCases(cases);
}

// Many paths, a few of them too long, in random places.
TEST_F(SelectionBoundary, RandomSelectionsAreWholeOrRefused)
{
    Random random(0x5EED0004u);
    const long Cases = 400;
    for (long i = 0; i < Cases && !HasFailure(); ++i) {
        std::vector<std::wstring> paths(static_cast<size_t>(random.Between(1, 40)));
        const bool tooLong = random.Chance(40);
        for (std::wstring& path : paths)
            path = PathOfLength(static_cast<size_t>(random.Between(3, MAX_PATH - 1)), static_cast<wchar_t>(L'a' + random.Between(0, 25)));
        if (tooLong)
            paths[static_cast<size_t>(random.Between(0, static_cast<int>(paths.size()) - 1))] =
                PathOfLength(static_cast<size_t>(random.Chance(80) ? random.Between(MAX_PATH, MAX_PATH + 5) : random.Between(MAX_PATH, 32767)), L'z');
        Check(paths, random.Chance(50));
    }
    hardening::ReportCases(random, cases);
}

// The list parsed the way the rules say: NUL-terminated strings from
// pFiles on, ended by an empty one or by the end of the block between two
// strings (a string without its terminator is malformed); ANSI text
// converted with CP_ACP; a path of 260 units or more refuses the lot.
HRESULT Model(const std::vector<unsigned char>& block, std::vector<std::wstring>& paths)
{
    paths.clear();
    if (block.size() < sizeof(DROPFILES))
        return E_INVALIDARG;
    DROPFILES header;
    memcpy(&header, block.data(), sizeof(header));
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= block.size())
        return E_INVALIDARG;
    const size_t unit = header.fWide ? 2 : 1;
    const size_t units = (block.size() - header.pFiles) / unit;
    auto at = [&](size_t i) -> unsigned {
        const unsigned char* p = block.data() + header.pFiles + i * unit;
        return unit == 2 ? static_cast<unsigned>(p[0] | p[1] << 8) : p[0];
    };
    size_t i = 0;
    for (;;) {
        size_t end = i;
        while (end < units && at(end))
            ++end;
        if (end == i)
            break;
        if (end == units) {
            // A path that the block ends inside is a malformed block, not one path fewer.
            paths.clear();
            return E_INVALIDARG;
        }
        std::wstring path;
        if (unit == 2) {
            for (size_t k = i; k < end; ++k)
                path += static_cast<wchar_t>(at(k));
        } else {
            const char* text = reinterpret_cast<const char*>(block.data() + header.pFiles + i);
            const int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(end - i), nullptr, 0);
            path.resize(static_cast<size_t>(n > 0 ? n : 0));
            if (n > 0)
                MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(end - i), &path[0], n);
            if (n <= 0) {
                paths.clear();
                return TooLong;
            }
        }
        if (path.size() > MAX_PATH - 1) {
            paths.clear();
            return TooLong;
        }
        paths.push_back(path);
        i = end + 1;
    }
    return S_OK;
}

std::vector<unsigned char> RandomBlock(Random& random)
{
    const bool wide = random.Chance(60);
    std::vector<unsigned char> body;
    const int strings = random.Between(0, 6);
    for (int s = 0; s < strings; ++s) {
        const int length = random.Chance(20) ? random.Between(255, 300) : random.Between(0, 30);
        for (int k = 0; k < length; ++k) {
            const unsigned value = random.Chance(90) ? static_cast<unsigned>(random.Between(0x20, 0x7E))
                                                     : static_cast<unsigned>(random.Between(1, wide ? 0xFFFF : 0xFF));
            body.push_back(static_cast<unsigned char>(value));
            if (wide)
                body.push_back(static_cast<unsigned char>(value >> 8));
        }
        if (random.Chance(90))
            body.insert(body.end(), wide ? 2 : 1, 0);
    }
    if (random.Chance(70))
        body.insert(body.end(), wide ? 2 : 1, 0);
    if (random.Chance(20))
        body.push_back(static_cast<unsigned char>(random.Between(0, 255)));  // an odd size

    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    switch (random.Between(0, 9)) {
    case 0: header.pFiles = static_cast<DWORD>(random.Between(0, sizeof(DROPFILES) - 1)); break;
    case 1: header.pFiles = static_cast<DWORD>(sizeof(DROPFILES) + body.size() + random.Between(0, 3)); break;
    case 2: header.pFiles = static_cast<DWORD>(sizeof(DROPFILES) + random.Between(0, 5)); break;  // odd offsets too
    case 3: header.pFiles = 0xFFFFFFFFu; break;
    default: break;
    }
    header.fWide = wide;
    if (random.Chance(5))
        header.fWide = random.Between(2, 1000);  // any non-zero value means wide
    std::vector<unsigned char> block(sizeof(header));
    memcpy(block.data(), &header, sizeof(header));
    block.insert(block.end(), body.begin(), body.end());
    if (random.Chance(3))
        block.resize(static_cast<size_t>(random.Between(0, sizeof(DROPFILES))));
    else if (random.Chance(70))
        block.resize((block.size() + 7) / 8 * 8);  // ends right at the guard page (see below)
    return block;
}

// ReadDropFiles on blocks that end right before a guard page: no read may
// leave the block, whatever pFiles says and whether or not the list is ended.
TEST(DropBlockProperty, RandomBlocksAreReadInsideTheirBoundsAsTheModelSays)
{
    Random random(0x5EED0005u);
    const long Cases = 5000;
    long tried = 0;
    for (; tried < Cases && !::testing::Test::HasFailure(); ++tried) {
        const std::vector<unsigned char> block = RandomBlock(random);
        std::vector<std::wstring> expected;
        const HRESULT expectedHr = Model(block, expected);
        // Aligned as GlobalLock gives a block: a size that is a multiple of 8 ends at the guard page.
        GuardedMemory memory(block.size(), 8);
        if (!block.empty())
            memcpy(memory.get(), block.data(), block.size());
        brxlib::simple_array<CShellExt::PATH_INFO> selection;
        const HRESULT hr = ReadDropFiles(memory.get(), block.size(), selection);
        ASSERT_EQ(hr, expectedHr) << "case " << tried;
        std::vector<std::wstring> got;
        for (int i = 0; i < selection.count; ++i)
            got.push_back(std::wstring(selection.data[i].path, wcsnlen(selection.data[i].path, MAX_PATH + 1)));
        ASSERT_EQ(got, expected) << "case " << tried;
    }
    hardening::ReportCases(random, tried);
}

// pFiles is whatever the block's maker wrote: a wide list at an odd offset
// is read like any other (DragQueryFileW reads it too).
TEST(DropBlockProperty, WideListAtAnOddOffsetIsReadWhole)
{
    const std::wstring paths[] = {L"C:\\a.txt", L"D:\\b c\\d.tar"};
    std::vector<unsigned char> block(sizeof(DROPFILES) + 1);
    for (const std::wstring& path : paths)
        for (wchar_t unit : path + L'\0') {
            block.push_back(static_cast<unsigned char>(unit));
            block.push_back(static_cast<unsigned char>(unit >> 8));
        }
    block.insert(block.end(), {0, 0, 0});
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES) + 1;
    header.fWide = TRUE;
    memcpy(block.data(), &header, sizeof(header));
    GuardedMemory memory(block.size(), 8);
    memcpy(memory.get(), block.data(), block.size());
    brxlib::simple_array<CShellExt::PATH_INFO> selection;
    ASSERT_EQ(ReadDropFiles(memory.get(), block.size(), selection), S_OK);
    ASSERT_EQ(selection.count, 2);
    EXPECT_EQ(std::wstring(selection.data[0].path), paths[0]);
    EXPECT_EQ(std::wstring(selection.data[1].path), paths[1]);
}

}  // namespace
