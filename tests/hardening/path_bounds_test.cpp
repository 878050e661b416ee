// Paths from the registry and from the drop target at every length around
// the 260-character bound: each is used whole or refused, never cut.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include "archiver/archiver_location.h"
#include "convert/conversion_output.h"
#include "hardening/hardening_support.h"
#include "testkit/core_object.h"
#include "support/environment.h"
#include "support/selection.h"
#include "support/standin.h"

namespace {

using hardening::GuardedMemory;
using hardening::GuardedText;
using hardening::Random;
using hardening::ScopedVariable;

// base + "\" + names of "i", a "\" every 50 characters, cut to length.
std::wstring FolderText(const std::wstring& base, size_t length)
{
    std::wstring path = base + L"\\";
    while (path.size() < length)
        path += (path.size() % 50 == 49 && path.back() != L'\\') ? L'\\' : L'i';
    return path.substr(0, length);
}

// The location sits right before a guard page, so that a write past the
// end of its last member crashes.
class GuardedLocation {
public:
    GuardedLocation() : m_memory(sizeof(ArchiverLocation))
    {
        memset(m_memory.get(), 0xCC, sizeof(ArchiverLocation));
        m_location = new (m_memory.get()) ArchiverLocation;
    }
    ~GuardedLocation() { m_location->~ArchiverLocation(); }
    ArchiverLocation& get() { return *m_location; }

private:
    GuardedMemory m_memory;
    ArchiverLocation* m_location;
};

TEST(InstallPathBounds, EveryLengthFrom240To265WithAndWithoutATerminator)
{
    SettingsScope settings;
    const std::wstring Exe = L"\\Morvane.exe";
    long cases = 0;
    for (bool terminated : {true, false}) {
        for (size_t length = 240; length <= 265; ++length) {
            const std::wstring stored = FolderText(L"C:", length);
            hardening::SetInstallPathValue(stored, terminated);
            GuardedLocation guarded;
            ArchiverLocation& location = guarded.get();
            const HRESULT hr = LocateArchiver(location);
            const std::wstring install(location.InstallPath, wcsnlen(location.InstallPath, MAX_PATH + 1));
            const std::wstring archiver(location.ArchiverPath, wcsnlen(location.ArchiverPath, MAX_PATH + 1));
            const std::string where = (terminated ? "terminated, " : "unterminated, ") + std::to_string(length);
            ASSERT_LE(install.size(), static_cast<size_t>(MAX_PATH)) << where;
            ASSERT_LE(archiver.size(), static_cast<size_t>(MAX_PATH)) << where;
            if (terminated && length + Exe.size() <= MAX_PATH) {
                EXPECT_EQ(hr, S_OK) << where;
                EXPECT_EQ(install, stored) << where;
                EXPECT_EQ(archiver, stored + Exe) << where;
            } else {
                // Missing, or an archiver path that would not fit: neither path is given.
                EXPECT_EQ(hr, HRESULT_FROM_WIN32(!terminated || length > MAX_PATH ? ERROR_PATH_NOT_FOUND
                                                                                   : ERROR_FILENAME_EXCED_RANGE))
                    << where;
                EXPECT_EQ(install, L"") << where;
                EXPECT_EQ(archiver, L"") << where;
            }
            ++cases;
        }
    }
    hardening::ReportCases(cases);
}

// RunArchiverCommand with drop folders of lengths up to the buffer's 260
// characters, the stand-in as the archiver: each folder reaches it whole in
// the /o: argument, as the archiver reads its command line back
// (CommandLineToArgvW), and the object keeps it as it was. A folder that does
// not exist has no short form, so it travels as it is.
// The arguments as a program reads them, joined by " | "; the list file's name shown as <list>.
std::wstring Arguments(const std::wstring& commandLine)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    std::wstring joined;
    for (int i = 0; arguments && i < count; ++i) {
        const std::wstring argument = arguments[i];
        joined += (i ? L" | " : L"") + (argument.compare(0, 3, L"/l:") == 0 ? std::wstring(L"/l:<list>") : argument);
    }
    LocalFree(arguments);
    return joined;
}

class TargetFolderBounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        WriteBytes(work / L"a.txt", "a");
    }

    SettingsScope settings;
    TempFolder work{L"work"};
    TempFolder temp{L"tmp"};
    ScopedVariable tmp{L"TMP", temp.path()};
    StandinScope standin;
};

TEST_F(TargetFolderBounds, EveryFolderUpToTheBoundReachesTheArchiverWhole)
{
    std::vector<size_t> lengths = {200, 230};
    for (size_t length = 245; length <= MAX_PATH; ++length)
        lengths.push_back(length);
    std::vector<std::wstring> expected;
    for (int code : {0, 6}) {
        for (size_t length : lengths) {
            ComPtr<IShellExtInit> object = NewCoreObject();
            ASSERT_TRUE(object);
            CShellExt* ext = AsShellExt(object.get());
            SetSelection(ext, {work / L"a.txt"});
            // A folder of its own per case: the stand-in makes the folders it extracts into.
            const std::wstring target = FolderText(work / std::to_wstring(expected.size()), length);
            wmemcpy(ext->TargetFolder, target.c_str(), target.size() + 1);
            EXPECT_EQ(ext->RunArchiverCommand(code), S_OK) << "code " << code << ", folder of " << length;
            EXPECT_EQ(std::wstring(ext->TargetFolder, wcsnlen(ext->TargetFolder, MAX_PATH + 1)), target);
            expected.push_back(StandinScope::ArchiverPath() + L" | " + (code == 0 ? L"/h" : L"/c:zip") + L" | /o:" +
                               target + L" | /l:<list> | /d");
        }
    }
    const std::vector<standin_log::Record> records = standin.WaitFor(expected.size());
    ASSERT_EQ(records.size(), expected.size());
    std::vector<std::wstring> got;
    for (const standin_log::Record& record : records)
        got.push_back(Arguments(Wide(record.cmdline)));
    // The runs may log in any order.
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    hardening::ReportCases(static_cast<long>(expected.size()));
}

// The new archive's path, stated from its definition: the folder (the
// target, or the source's own), one "\" unless the folder ends in one, the
// source's file name up to its last "." and the new extension; when that
// is longer than 260 characters, the same in the folder's short form (the
// targets here do not exist and have none); refused, and named in full,
// when neither fits.
std::wstring Expected(const std::wstring& folder, const std::wstring& shortFolder, const std::wstring& name,
                      const std::wstring& extension)
{
    const std::wstring file = name.substr(0, name.rfind(L'.')) + extension;
    const auto join = [&](const std::wstring& in) { return in + (in.back() == L'\\' ? L"" : L"\\") + file; };
    if (join(folder).size() <= MAX_PATH)
        return join(folder);
    if (!shortFolder.empty() && join(shortFolder).size() <= MAX_PATH)
        return join(shortFolder);
    return L"パスが長すぎるため、Morvane に渡せません。\n\n" + join(folder);
}

// Text of the given length in which Win32 reads every name as written: no
// name empty or ending in a dot or a space. Wine keeps names on a Unix file
// system, at most 255 bytes of UTF-8: long names stay ASCII.
std::wstring RandomName(Random& random, int length)
{
    std::wstring text;
    for (int i = 0; i < length; ++i) {
        const int pick = random.Between(0, 19);
        const wchar_t wide = length <= 80 ? L'\u4e2d' : L'w';
        text += pick == 1 ? L'.' : pick == 2 ? L' ' : pick == 3 ? wide : static_cast<wchar_t>(L'a' + pick);
    }
    if (text.back() == L'.' || text.back() == L' ')
        text.back() = L'z';
    return text;
}

std::wstring RandomTarget(Random& random, int length)
{
    std::wstring target = L"D:";
    while (static_cast<int>(target.size()) < length - 1) {
        const int left = length - static_cast<int>(target.size()) - 1;
        target += L"\\" + RandomName(random, left < 12 ? left : random.Between(1, 12));
    }
    return target;
}

class OutputPathBounds : public ::testing::Test {
protected:
    // FormConversionPaths on guarded copies against Expected; name is made in the scratch folder.
    void Check(const std::wstring& name, const std::wstring* target, const std::wstring& extension, long caseNumber)
    {
        WriteBytes(L"\\\\?\\" + (folder / name), "x");
        const std::wstring expected =
            Expected(target ? *target : folder.path(), target ? L"" : ShortPath(folder.path()), name, extension);
        GuardedText source(folder / name);
        GuardedText guardedTarget(target ? *target : std::wstring());
        GuardedText guardedExtension(extension);
        GuardedMemory memory(sizeof(ConversionPaths));
        ConversionPaths* paths = static_cast<ConversionPaths*>(memory.get());
        CommandRefusal refusal;
        const HRESULT hr = FormConversionPaths(source.get(), target ? guardedTarget.get() : nullptr,
                                               guardedExtension.get(), paths, refusal);
        ASSERT_EQ(SUCCEEDED(hr) ? std::wstring(paths->output) : std::wstring(refusal.text() ? refusal.text() : L""),
                  expected)
            << "case " << caseNumber << ", name " << name.size() << ", target "
            << (target ? static_cast<long>(target->size()) : -1L);
        if (FAILED(hr))
            ASSERT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)) << "case " << caseNumber;
        DeleteFileW((L"\\\\?\\" + (folder / name)).c_str());
    }

    TempFolder folder{L"out"};
};

const std::vector<std::wstring> Extensions = {L".lzh", L".zip", L".cab", L".tar", L".tbz", L".tgz", L".exe"};

TEST_F(OutputPathBounds, EveryTargetLengthAroundTheBound)
{
    long cases = 0;
    for (const std::wstring& extension : Extensions)
        for (size_t length = 230; length <= 262; ++length) {
            const std::wstring target = FolderText(L"C:", length);
            for (const std::wstring& name : {L"b.zip", L"noext", L"b.tar.gz"}) {
                Check(name, &target, extension, cases++);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
            // Beside the source, which is no longer than a selected path: its
            // name without an extension grows the path past the bound.
            Check(std::wstring(length - folder.path().size() - 1 - extension.size(), L'n'), nullptr, extension,
                  cases++);
        }
    hardening::ReportCases(cases);
}

TEST_F(OutputPathBounds, RandomNamesAndTargets)
{
    Random random(0x5EED0006u);
    const long Cases = 3000;
    long tried = 0;
    for (; tried < Cases && !::testing::Test::HasFatalFailure(); ++tried) {
        // No longer than a selected path can be.
        const int longest = MAX_PATH - 1 - static_cast<int>(folder.path().size()) - 1;
        const std::wstring name = RandomName(random, random.Chance(70) ? random.Between(1, 40) : random.Between(180, longest));
        const bool withTarget = random.Chance(60);
        const std::wstring target = RandomTarget(random, random.Chance(50) ? random.Between(4, 40) : random.Between(200, 270));
        Check(name, withTarget ? &target : nullptr, random.Pick(Extensions), tried);
    }
    hardening::ReportCases(random, tried);
}

}  // namespace
