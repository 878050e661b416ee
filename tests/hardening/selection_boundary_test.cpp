// Selections whose paths sit on both sides of the 259-character bound, drop
// blocks of any shape, and item arrays of the Windows 11 menu: the selection
// holds the exact paths or nothing, and a command runs the chosen files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "hardening/hardening_support.h"
#include "shellext/drop_files.h"
#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/explorer_commands.h"
#include "support/invoke.h"
#include "support/morvane_dll.h"
#include "support/seed_tables.h"
#include "support/standin.h"

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

// A folder of 8.3 names, exactly length units long, below base (its own
// short form): every path in it is its own short form, so one of 260 units
// has no form Windows can open.
std::wstring MakeShortNamedFolder(std::wstring path, size_t length)
{
    CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
    while (path.size() < length) {
        const size_t left = length - path.size();
        // "\" and eight units, or seven where eight would leave room for a "\" alone.
        const size_t name = left > 9 ? (left == 10 ? 7 : 8) : left - 1;
        path += L"\\" + std::wstring(name, static_cast<wchar_t>(L'A' + path.size() % 26));
        CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
    }
    return path;
}

// Paths of exactly 259 and 260 units that are their own short forms, alone
// and as 130 files of one folder (which are looked up in one enumeration).
TEST_F(SelectionBoundary, OwnShortFormOfTheBoundIsRefusedOneUnitBelowKept)
{
    TempFolder folder;
    for (size_t length : {MAX_PATH - 1, MAX_PATH}) {
        const std::wstring in = MakeShortNamedFolder(ShortPath(folder.path()) + L"\\L" + std::to_wstring(length),
                                                     length - 13);
        std::vector<std::wstring> files;
        for (int i = 0; i < 130; ++i) {
            files.push_back(in + L"\\F" + std::to_wstring(1000000 + i) + L".TXT");
            WriteBytes(L"\\\\?\\" + files.back(), "x");
        }
        ASSERT_EQ(ShortPath(L"\\\\?\\" + files[0]), L"\\\\?\\" + files[0]) << "not its own short form";
        for (bool wide : {true, false}) {
            Check({files[0]}, wide);
            Check(files, wide);
        }
    }
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
        // Aligned as GlobalLock gives a block (a size that is a multiple of 8
        // ends at the guard page), or any size ending there, 1 to 7 bytes off.
        GuardedMemory memory(block.size(), random.Chance(40) ? 1 : 8);
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

// The new menu's commands on random item arrays (hand-made where Wine's own
// cannot hold the item, see PathItemArray). What the archiver may be handed
// for a file is found from the platform alone: its short form, which must
// open the same file as a plain path, fit 259 units and be held by the code
// page. The first item past 259 units without one refuses the pick; else
// the first item without one refuses the command; else one list names every
// item, in order, twice where it was picked twice.
class NewMenuSelection : public ::testing::Test {
protected:
    enum class Outcome { Runs, TooLong, ReadsAsAnother, NotInCodePage };
    struct File {
        std::wstring path;
        Outcome outcome;  // of a selection of this file alone
        bool wineHolds;   // an item of Wine's own arrays gives this path back whole
    };

    void SetUp() override
    {
        EnsureOle();
        SettingsScope::EnableMenus(seed::EveryFormat());
        for (const wchar_t* name : {L"a.txt", L"Report of the year.txt", L"データ 一覧.txt", L"Ünïcödé.txt",
                                    L"\xd83d\xde00 smile.txt", L"report", L"notes", L"report.", L"notes ", L"aux.c"})
            Add(folder / name);
        for (size_t length : {255, 259, 260, 261, 300, 1000})
            Add(Folder(length - 14, 100) + L"\\Long file.txt");
        // 8.3 names all along: the short form is about as long as the path.
        Add(Folder(300, 8) + L"\\x.txt");
    }

    // A folder of that whole length below the scratch folder, of names of at most longest units.
    std::wstring Folder(size_t length, size_t longest)
    {
        return hardening::MakeFolderOfLength(L"\\\\?\\" + folder.path(), 4 + length, longest).substr(4);
    }

    // Wine's items give names with a trailing dot or space, device names
    // and paths past 259 units back changed.
    void Add(const std::wstring& path)
    {
        HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path.size();
        CloseHandle(file);
        const wchar_t last = path.back();
        files.push_back({path, Expected(path),
                         path.size() <= MAX_PATH - 1 && last != L'.' && last != L' ' && path.find(L"aux") == path.npos});
    }

    // Opened as a plain path, line is the file at chosen.
    static bool OpensChosenFile(const std::wstring& line, const std::wstring& chosen)
    {
        return IdentifyFile(line) == IdentifyFile(L"\\\\?\\" + chosen);
    }

    static std::wstring ShortForm(const std::wstring& path) { return ShortPath(L"\\\\?\\" + path).substr(4); }

    static Outcome Expected(const std::wstring& path)
    {
        const std::wstring line = ShortForm(path);
        if (line.size() > MAX_PATH - 1)
            return path.size() > MAX_PATH - 1 ? Outcome::TooLong : Outcome::ReadsAsAnother;
        if (!OpensChosenFile(line, path))
            return Outcome::ReadsAsAnother;
        BOOL lossy = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, line.c_str(), -1, nullptr, 0, nullptr, &lossy);
        return lossy ? Outcome::NotInCodePage : Outcome::Runs;
    }

    // The new menu's title of a classic item: without its access key.
    static std::wstring Title(const wchar_t* label)
    {
        const std::wstring text = label;
        return text.substr(0, text.find(L"(&"));
    }

    static std::wstring Tree(size_t count, bool allFiles)
    {
        if (!count || !allFiles)
            return L"Morvane: hidden\n";
        std::wstring tree = L"Morvane\n  解凍\n";
        for (const wchar_t* command : seed::ExtractCommands)
            tree += L"    " + Title(command) + L"\n";
        tree += L"  圧縮\n";
        for (const seed::CompressFormat& format : seed::CompressFormats)
            tree += L"    " + std::wstring(format.label) + L"\n";
        tree += count == 1 ? L"  変換\n" : L"  変換: hidden\n";
        for (size_t i = 0; count == 1 && i < 7; ++i)
            tree += L"    " + std::wstring(seed::ConversionTargets[i].label) + L"\n";
        return tree;
    }

    SettingsScope settings;
    StandinScope standin;
    TempFolder folder;
    BoxAnswerer answerer;
    std::vector<File> files;
};

// Items are read in order: the first that is no file ends the reading, and
// a path before it that fits no form is still told.
TEST_F(NewMenuSelection, RandomItemArraysRunExactlyTheChosenFilesOrAreRefused)
{
    ASSERT_EQ(files.size(), 17u);
    const auto expected = [&](size_t index, Outcome outcome) {
        EXPECT_EQ(files[index].outcome, outcome) << Utf8(files[index].path) << " -> " << Utf8(ShortForm(files[index].path));
    };
    expected(9, Outcome::ReadsAsAnother);  // Wine reads aux.c as the device, as Windows 10 does
    expected(12, Outcome::Runs);           // past 259 units, it travels in its short form
    expected(16, Outcome::TooLong);
    ASSERT_FALSE(HasFailure());
    std::vector<std::wstring> titles;
    for (const wchar_t* command : seed::ExtractCommands)
        titles.push_back(L"解凍/" + Title(command));
    for (const seed::CompressFormat& format : seed::CompressFormats)
        titles.push_back(std::wstring(L"圧縮/") + format.label);
    const std::vector<std::wstring> before = MrvEntries();
    Random random(0x5EED0007u);
    size_t runs = 0, boxes = 0;
    long cases = 0;
    for (; cases < 40 && !HasFailure(); ++cases) {
        // Indices into files; -1 for an item that is no file.
        std::vector<int> picked;
        const bool runsOnly = random.Chance(50);
        const int count = random.Chance(5) ? 0 : random.Chance(70) ? random.Between(1, 6) : random.Between(7, 300);
        while (picked.size() < static_cast<size_t>(count)) {
            const int index = random.Between(0, static_cast<int>(files.size()) - 1);
            if (files[index].outcome == Outcome::Runs || !runsOnly)
                picked.push_back(index);
        }
        if (count && random.Chance(10))
            picked.insert(picked.begin() + random.Between(0, count), -1);
        std::vector<std::wstring> paths;
        bool wineHolds = count > 0;
        for (int index : picked) {
            paths.push_back(index < 0 ? std::wstring() : files[index].path);
            wineHolds = wineHolds && index >= 0 && files[index].wineHolds;
        }
        const size_t read = std::find(picked.begin(), picked.end(), -1) - picked.begin();
        ComPtr<IShellItemArray> items = wineHolds && random.Chance(60) ? ItemArray(paths) : PathItemArray(paths);
        const std::string what = "case " + std::to_string(cases) + ", " + std::to_string(paths.size()) + " items";
        ASSERT_EQ(DescribeCommands(items.get()), Tree(paths.size(), read == paths.size())) << what;

        HRESULT hr = E_FAIL;
        {
            const ComPtr<IExplorerCommand> command = FindCommand(random.Pick(titles));
            ASSERT_TRUE(command) << what;
            hr = command->Invoke(items.get(), nullptr);
        }
        ASSERT_TRUE(WaitUntil([] { return Dll().CanUnloadNow() == S_OK; }, 20000)) << what << ": the module is held";
        const std::vector<SeenBox> seen = answerer.Seen();
        const auto first = [&](size_t end, Outcome a, Outcome b) {
            for (size_t k = 0; k < end; ++k)
                if (files[picked[k]].outcome == a || files[picked[k]].outcome == b)
                    return static_cast<int>(k);
            return -1;
        };
        int refused = first(read, Outcome::TooLong, Outcome::TooLong);
        if (refused < 0 && count && read == picked.size())
            refused = first(read, Outcome::ReadsAsAnother, Outcome::NotInCodePage);
        if (refused >= 0) {
            const File& file = files[picked[refused]];
            EXPECT_EQ(hr, file.outcome == Outcome::TooLong          ? TooLong
                          : file.outcome == Outcome::ReadsAsAnother ? HRESULT_FROM_WIN32(ERROR_INVALID_NAME)
                                                                    : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION))
                << what;
            const wchar_t* reason = file.outcome == Outcome::TooLong ? L"パスが長すぎるため、"
                                    : file.outcome == Outcome::ReadsAsAnother
                                        ? L"次のファイルの名前は通常のパスで正しく表せないため、"
                                        : L"次のファイルの名前はこのシステムの文字コードで表せないため、";
            ASSERT_EQ(seen.size(), ++boxes) << what;
            EXPECT_EQ(seen.back().text, reason + std::wstring(L"Morvane に渡せません。\n\n") + file.path) << what;
        } else if (!count || read < picked.size()) {
            EXPECT_TRUE(FAILED(hr)) << what;
        } else {
            EXPECT_EQ(hr, S_OK) << what;
            const std::vector<standin_log::Record> records = standin.WaitFor(++runs);
            ASSERT_EQ(records.size(), runs) << what;
            const std::string& bytes = records.back().listbytes;
            std::wstring list(bytes.size(), L'\0');
            list.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                                &list[0], static_cast<int>(list.size()))));
            size_t start = 0;
            for (size_t k = 0; k < picked.size(); ++k) {
                const size_t end = list.find(L"\r\n", start);
                ASSERT_NE(end, std::wstring::npos) << what << ": " << k << " lines";
                EXPECT_TRUE(OpensChosenFile(list.substr(start, end - start), files[picked[k]].path)) << what << ", " << k;
                start = end + 2;
            }
            EXPECT_EQ(start, list.size()) << what << ": lines after the last item";
        }
        ASSERT_EQ(seen.size(), boxes) << what << ": " << (seen.empty() ? "" : Utf8(seen.back().text));
    }
    EXPECT_TRUE(hardening::WaitForChildren(L"Morvane.exe", 60000));
    EXPECT_EQ(standin.Records().size(), runs) << "a run the model did not expect";
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty()) << "a list file left in the temporary folder";
    hardening::ReportCases(random, cases);
    printf("archiver runs: %zu, refusals told: %zu\n", runs, boxes);
}

}  // namespace
