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

// FormOutputPath held against the rule: target + "\" + the source's file
// name (no "\" added after a target that ends in one), or the source; the
// file name's last "." on replaced by the new extension; refused when
// either step does not fit 260 characters.
bool Model(const std::wstring& source, const std::wstring* target, const std::wstring& extension, std::wstring& output)
{
    const size_t slash = source.find_last_of(L'\\');
    const std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    const bool separator = target && (target->empty() || target->back() != L'\\');
    const std::wstring joined = target ? *target + (separator ? L"\\" : L"") + name : source;
    if (joined.size() > MAX_PATH)
        return false;
    const size_t joinedSlash = joined.find_last_of(L'\\');
    const size_t nameStart = joinedSlash == std::wstring::npos ? 0 : joinedSlash + 1;
    const size_t dot = joined.find_last_of(L'.');
    const size_t keep = dot != std::wstring::npos && dot >= nameStart ? dot : joined.size();
    output = joined.substr(0, keep) + extension;
    return output.size() <= MAX_PATH;
}

std::wstring RandomPathText(Random& random, int length)
{
    std::wstring text;
    for (int i = 0; i < length; ++i) {
        const int pick = random.Between(0, 19);
        text += pick == 0 ? L'\\' : pick == 1 ? L'.' : pick == 2 ? L' ' : pick == 3 ? L'\u4e2d' : static_cast<wchar_t>(L'a' + pick);
    }
    return text;
}

void CheckOutput(const std::wstring& source, const std::wstring* target, const std::wstring& extension, long caseNumber)
{
    std::wstring expected;
    const bool fits = Model(source, target, extension, expected);
    GuardedText guardedSource(source);
    GuardedText guardedTarget(target ? *target : std::wstring());
    GuardedText guardedExtension(extension);
    GuardedMemory memory((MAX_PATH + 1) * sizeof(wchar_t));
    wchar_t* output = static_cast<wchar_t*>(memory.get());
    wmemset(output, L'#', MAX_PATH + 1);
    const bool formed = FormOutputPath(guardedSource.get(), target ? guardedTarget.get() : nullptr,
                                       guardedExtension.get(), output);
    ASSERT_EQ(formed, fits) << "case " << caseNumber << ", source " << source.size() << ", target "
                            << (target ? static_cast<long>(target->size()) : -1L);
    if (fits) {
        ASSERT_EQ(std::wstring(output), expected) << "case " << caseNumber;
    } else {
        // Refused: no path in the buffer, which is emptied or left as it was.
        ASSERT_TRUE(output[0] == 0 || std::wstring(output, MAX_PATH + 1) == std::wstring(MAX_PATH + 1, L'#'))
            << "case " << caseNumber;
    }
}

const std::vector<std::wstring> Extensions = {L".lzh", L".zip", L".cab", L".tar", L".tbz", L".tgz", L".exe"};

TEST(OutputPathBounds, EveryTargetLengthAroundTheBound)
{
    long cases = 0;
    for (const std::wstring& extension : Extensions)
        for (size_t length = 230; length <= 262; ++length) {
            const std::wstring target = FolderText(L"C:", length);
            for (const std::wstring& source : {std::wstring(L"D:\\a\\b.zip"), std::wstring(L"D:\\a\\noext"),
                                               std::wstring(L"D:\\x.y\\z"), std::wstring(L"b.tar.gz")}) {
                CheckOutput(source, &target, extension, cases++);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
            const std::wstring source = FolderText(L"C:", length) + L".tar";
            CheckOutput(source, nullptr, extension, cases++);
        }
    hardening::ReportCases(cases);
}

TEST(OutputPathBounds, RandomSourcesAndTargets)
{
    Random random(0x5EED0006u);
    const long Cases = 8000;
    long tried = 0;
    for (; tried < Cases && !::testing::Test::HasFatalFailure(); ++tried) {
        const int sourceLength = random.Chance(70) ? random.Between(1, 40) : random.Between(200, 300);
        const std::wstring source = RandomPathText(random, sourceLength);
        const bool withTarget = random.Chance(60);
        const std::wstring target = RandomPathText(random, random.Chance(50) ? random.Between(0, 40) : random.Between(200, 270));
        CheckOutput(source, withTarget ? &target : nullptr, random.Pick(Extensions), tried);
    }
    hardening::ReportCases(random, tried);
}

}  // namespace
