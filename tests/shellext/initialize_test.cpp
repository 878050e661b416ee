// IShellExtInit::Initialize with real shell data objects and hand-built drop
// handles. Paths around the 259-character bound and malformed drop blocks:
// hardening/selection_boundary_test.cpp.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>

#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/platform_seams.h"

namespace {

std::vector<std::wstring> SelectionOf(IShellExtInit* init)
{
    std::vector<std::wstring> paths;
    const CShellExt* ext = AsShellExt(init);
    for (int i = 0; i < ext->Selection.count; ++i)
        paths.push_back(ext->Selection.data[i].path);
    return paths;
}

// Every unit after the terminator is zero, as DragQueryFileW leaves a zeroed record.
bool ZeroAfterTerminator(const CShellExt::PATH_INFO& record)
{
    size_t i = 0;
    while (i <= MAX_PATH && record.path[i])
        ++i;
    for (; i <= MAX_PATH; ++i)
        if (record.path[i])
            return false;
    return true;
}

class InitializeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        for (const wchar_t* name : {L"b.txt", L"a.zip", L"c d.tar"}) {
            files.push_back(folder / name);
            WriteBytes(files.back(), "x");
        }
        object = NewCoreObject();
        ASSERT_TRUE(object);
    }
    TempFolder folder;
    std::vector<std::wstring> files;
    ComPtr<IShellExtInit> object;
};

TEST_F(InitializeTest, OneFileFromTheShell)
{
    ComPtr<IDataObject> data = ShellDataObject({files[0]});
    ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
    EXPECT_EQ(SelectionOf(object.get()), std::vector<std::wstring>{files[0]});
    EXPECT_EQ(AsShellExt(object.get())->TargetFolder[0], L'\0');
}

TEST_F(InitializeTest, ThreeFilesInTheDataObjectsOrderReservedOnce)
{
    ComPtr<IDataObject> data = ShellDataObject(files);
    ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
    EXPECT_EQ(SelectionOf(object.get()), files);
    EXPECT_EQ(AsShellExt(object.get())->Selection.capacity, 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(ZeroAfterTerminator(AsShellExt(object.get())->Selection.data[i]));
}

TEST_F(InitializeTest, RealFolderBecomesTheTargetFolder)
{
    ComPtr<IDataObject> data = ShellDataObject({files[0]});
    IdList target(folder.path());
    ASSERT_TRUE(target.get());
    ASSERT_EQ(object->Initialize(target.get(), data.get(), nullptr), S_OK);
    EXPECT_EQ(std::wstring(AsShellExt(object.get())->TargetFolder), folder.path());
}

TEST_F(InitializeTest, NoDropListIsInvalidButTheDataObjectIsHeld)
{
    ComPtr<IDataObject> first = ShellDataObject({files[0]});
    IdList target(folder.path());
    ASSERT_EQ(object->Initialize(target.get(), first.get(), nullptr), S_OK);
    ComPtr<IDataObject> data = HandMadeDataObject(nullptr);
    EXPECT_EQ(object->Initialize(nullptr, data.get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(RefCount(data.get()), 2u);
    EXPECT_EQ(AsShellExt(object.get())->Selection.count, 0);
    // The target folder is left as it was.
    EXPECT_EQ(std::wstring(AsShellExt(object.get())->TargetFolder), folder.path());
}

TEST_F(InitializeTest, NullDataObjectReleasesThePreviousOne)
{
    ComPtr<IDataObject> data = ShellDataObject(files);
    ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
    EXPECT_EQ(RefCount(data.get()), 2u);
    EXPECT_EQ(object->Initialize(nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(RefCount(data.get()), 1u);
    EXPECT_EQ(SelectionOf(object.get()), files);
}

TEST_F(InitializeTest, SecondInitializeHoldsOnlyTheSecondDataObject)
{
    ComPtr<IDataObject> first = ShellDataObject({files[0]});
    ComPtr<IDataObject> second = ShellDataObject({files[1], files[2]});
    ASSERT_EQ(object->Initialize(nullptr, first.get(), nullptr), S_OK);
    ASSERT_EQ(object->Initialize(nullptr, second.get(), nullptr), S_OK);
    EXPECT_EQ(RefCount(first.get()), 1u);
    EXPECT_EQ(RefCount(second.get()), 2u);
    EXPECT_EQ(SelectionOf(object.get()), (std::vector<std::wstring>{files[1], files[2]}));
    object.reset();
    EXPECT_EQ(RefCount(second.get()), 1u);
}

std::wstring MakeDeepFolder(const std::wstring& base, const std::wstring& name, size_t length)
{
    std::wstring path = base;
    while (path.size() < length) {
        path += L"\\" + name;
        if (!CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    return path;
}

// An existing file deeper than MAX_PATH travels in its short form, which
// names the same file; one whose short form is still too long is refused.
TEST_F(InitializeTest, LongPathOfAnExistingFileIsKeptInItsShortForm)
{
    const std::wstring deep = MakeDeepFolder(folder.path(), L"a folder with a long name", 360);
    ASSERT_FALSE(deep.empty());
    const std::wstring file = deep + L"\\Quarterly figures of the northern region.tar";
    WriteBytes(L"\\\\?\\" + file, "x");
    ASSERT_GE(file.size(), 400u);
    for (bool wide : {true, false}) {
        ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle({files[0], file}, wide));
        ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK) << wide;
        const std::vector<std::wstring> selection = SelectionOf(object.get());
        ASSERT_EQ(selection.size(), 2u);
        EXPECT_EQ(selection[0], files[0]);
        EXPECT_LT(selection[1].size(), 260u);
        wchar_t longForm[1024] = {};
        ASSERT_GT(GetLongPathNameW(selection[1].c_str(), longForm, 1024), 0u) << Utf8(selection[1]);
        EXPECT_EQ(std::wstring(longForm), file);
    }

    // Thirty folders of eight characters: the short form is as long as the path.
    const std::wstring deepShort = MakeDeepFolder(folder.path(), L"dddddddd", 280);
    ASSERT_FALSE(deepShort.empty());
    WriteBytes(L"\\\\?\\" + deepShort + L"\\f.txt", "x");
    ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle({files[0], deepShort + L"\\f.txt"}, true));
    EXPECT_EQ(object->Initialize(nullptr, data.get(), nullptr), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(AsShellExt(object.get())->Selection.count, 0);
    RunProcess(L"cmd /c start /wait /unix /bin/rm -rf \"" + Wide(UnixPath(folder / L"a folder with a long name")) +
               L"\" \"" + Wide(UnixPath(folder / L"dddddddd")) + L"\"");
}

// Many long paths of one folder are looked up together, in one enumeration
// of it: each must come out exactly as its own look-up gives it, among them
// one spelled in another case than its entry (looked up on its own).
TEST_F(InitializeTest, ManyLongPathsOfOneFolderAreEachTheirOwnShortForm)
{
    const std::wstring deep = MakeDeepFolder(folder.path(), L"a folder with a long name", 230);
    ASSERT_FALSE(deep.empty());
    std::vector<std::wstring> paths;
    wchar_t name[80];
    for (int i = 0; i < 150; ++i) {
        swprintf(name, 80, L"\\Quarterly figures of region %03d.tar", i);
        paths.push_back(deep + name);
        WriteBytes(L"\\\\?\\" + paths.back(), "x");
    }
    paths.insert(paths.begin() + 7, deep + L"\\QUARTERLY figures of region 003.tar");
    ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle(paths, true));
    ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
    const std::vector<std::wstring> selection = SelectionOf(object.get());
    ASSERT_EQ(selection.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        wchar_t shortForm[MAX_PATH + 8] = {};
        ASSERT_GT(GetShortPathNameW((L"\\\\?\\" + paths[i]).c_str(), shortForm, MAX_PATH + 8), 4u);
        EXPECT_EQ(selection[i], shortForm + 4) << i;
    }
    RunProcess(L"cmd /c start /wait /unix /bin/rm -rf \"" + Wide(UnixPath(folder / L"a folder with a long name")) + L"\"");
}

// A drop folder deeper than MAX_PATH (SHGetPathFromIDListW fails for it) is
// the drop folder in its short form; one without a short form that fits
// refuses the menu. Wine's shell makes no ID list for a path of 260
// characters or more, so the module's path look-up answers for the ID list
// of My Computer (no file-system path of its own) with the long path.
TEST_F(InitializeTest, LongDropFolderIsKeptInItsShortFormOrRefused)
{
    const std::wstring deep = MakeDeepFolder(folder.path(), L"a folder with a long name", 300);
    ASSERT_FALSE(deep.empty());
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
    wchar_t none[MAX_PATH + 1] = {};
    ASSERT_FALSE(SHGetPathFromIDListW(computer, none));
    const std::wstring missing = deep + L"\\not there";
    struct Row {
        const wchar_t* path;  // what the ID list stands for; null: the real answer (none)
        HRESULT result;
        std::wstring target;  // TargetFolder in its long form
    } rows[] = {
        {deep.c_str(), S_OK, deep},
        {missing.c_str(), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), L""},
        {nullptr, S_OK, L""},
        // A path that fits would have come from SHGetPathFromIDListW: no folder to drop into.
        {L"C:\\short", S_OK, L""},
    };
    for (const Row& row : rows) {
        const std::string where = row.path ? Utf8(row.path).substr(0, 40) + "..." : "no path";
        test_seams::AnswerFolderPath(computer, row.path);
        ComPtr<IDataObject> data = ShellDataObject({files[0]});
        const HRESULT hr = object->Initialize(computer, data.get(), nullptr);
        test_seams::AnswerFolderPath(nullptr, nullptr);
        EXPECT_EQ(hr, row.result) << where;
        const std::wstring target = AsShellExt(object.get())->TargetFolder;
        EXPECT_LE(target.size(), static_cast<size_t>(MAX_PATH)) << where;
        wchar_t longForm[1024] = {};
        if (!target.empty())
            GetLongPathNameW(target.c_str(), longForm, 1024);
        EXPECT_EQ(std::wstring(longForm), row.target) << where;
        EXPECT_EQ(SelectionOf(object.get()).size(), SUCCEEDED(row.result) ? 1u : 0u) << where;
    }
    CoTaskMemFree(computer);
    RunProcess(L"cmd /c start /wait /unix /bin/rm -rf \"" + Wide(UnixPath(folder / L"a folder with a long name")) + L"\"");
}

// The one-pass reader against DragQueryFileW itself, path by path, on the
// same drop handles in both their wide and ANSI forms.
TEST_F(InitializeTest, OnePassReadingMatchesDragQueryFile)
{
    const std::vector<std::wstring> paths = {L"C:\\a.txt", L"D:\\x y\\\u00e9t\u00e9.zip", L"E:\\", folder / L"q",
                                             L"C:\\" + std::wstring(200, L'z'), L"\\\\server\\share\\f"};
    for (bool wide : {true, false}) {
        HGLOBAL drop = BuildDropHandle(paths, wide);
        HDROP handle = static_cast<HDROP>(drop);
        const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
        ASSERT_EQ(count, paths.size());
        std::vector<CShellExt::PATH_INFO> expected(count);
        for (UINT i = 0; i < count; ++i) {
            ZeroMemory(&expected[i], sizeof(expected[i]));
            DragQueryFileW(handle, i, expected[i].path, MAX_PATH);
        }
        ComPtr<IDataObject> data = HandMadeDataObject(drop);
        ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
        const CShellExt* ext = AsShellExt(object.get());
        ASSERT_EQ(ext->Selection.count, static_cast<int>(count));
        for (UINT i = 0; i < count; ++i)
            EXPECT_EQ(memcmp(&ext->Selection.data[i], &expected[i], sizeof(expected[i])), 0)
                << "wide " << wide << " path " << i;
    }
}

}  // namespace
