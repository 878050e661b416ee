// The conversion request string both ways (readable examples: the
// decoding's rules are checked on random requests in the hardening tests),
// and where the new archive goes.
#include <gtest/gtest.h>

#include "convert/conversion_request.h"
#include "convert/conversion_output.h"
#include "support/environment.h"

#include <shlobj.h>

namespace {

std::wstring Compose(const wchar_t* module, int code, const wchar_t* source, const wchar_t* target)
{
    wchar_t buffer[2048] = {};
    EXPECT_TRUE(ComposeConversionRequest(module, code, source, target, buffer, 2048));
    return buffer;
}

TEST(ConversionRequest, CodeSpaceAndSourceWithoutTarget)
{
    EXPECT_EQ(Compose(L"C:\\PROGRA~1\\M\\MORVAN~1.DLL", 21, L"D:\\a b\\c.zip", L""),
              L"C:\\PROGRA~1\\M\\MORVAN~1.DLL,RunConvertArchive 21 D:\\a b\\c.zip");
}

TEST(ConversionRequest, TargetFollowsTheMark)
{
    EXPECT_EQ(Compose(L"C:\\M.DLL", 20, L"D:\\a\\b.zip", L"E:\\out"),
              std::wstring(L"C:\\M.DLL,RunConvertArchive 20 D:\\a\\b.zip") + L'\x0001' + L"E:\\out");
}

TEST(ConversionRequest, ModulePathWithASpaceIsQuoted)
{
    EXPECT_EQ(Compose(L"C:\\Program Files\\M\\MorvaneX64.dll", 25, L"D:\\a.zip", nullptr),
              L"\"C:\\Program Files\\M\\MorvaneX64.dll\",RunConvertArchive 25 D:\\a.zip");
}

TEST(ConversionRequest, RequestThatDoesNotFitIsRefused)
{
    wchar_t buffer[40];
    EXPECT_FALSE(ComposeConversionRequest(L"C:\\M.DLL", 20, L"D:\\a\\b.zip", L"E:\\out", buffer, 40));
}

struct Decoded {
    int code;
    const wchar_t* source;
    const wchar_t* target;
};

Decoded Decode(const std::wstring& text, ConversionRequest& request)
{
    DecodeConversionRequest(text.c_str(), &request);
    return {request.code, request.source, request.target};
}

TEST(ConversionRequest, MarkSplitsSourceAndTarget)
{
    ConversionRequest request;
    const std::wstring text = std::wstring(L"20 D:\\a\\b.zip") + L'\x0001' + L"E:\\out";
    Decoded d = Decode(text, request);
    EXPECT_EQ(d.code, 20);
    EXPECT_EQ(std::wstring(d.source), L"D:\\a\\b.zip");
    EXPECT_EQ(d.source, request.sourceBuffer);
    EXPECT_EQ(std::wstring(d.target), L"E:\\out");
}

// Where FormConversionPaths puts the new archive of a real source file.
class OutputPath : public ::testing::Test {
protected:
    // The output path, or the refusal's text.
    std::wstring Output(const std::wstring& source, const wchar_t* target, const wchar_t* extension)
    {
        CommandRefusal refusal;
        ConversionPaths paths;
        const HRESULT hr = FormConversionPaths(source.c_str(), target, extension, &paths, refusal);
        if (FAILED(hr))
            return refusal.text() ? refusal.text() : L"(silent)";
        converted = paths.source;
        return paths.output;
    }

    std::wstring File(const std::wstring& name)
    {
        WriteBytes(L"\\\\?\\" + (folder / name), "x");
        return folder / name;
    }

    TempFolder folder;
    std::wstring converted;  // the source as the archiver is to read it
};

const std::wstring TooLong = L"パスが長すぎるため、Morvane に渡せません。\n\n";
const std::wstring NotReadable = L"次のファイルの名前は通常のパスで正しく表せないため、Morvane に渡せません。\n\n";

TEST_F(OutputPath, ExtensionReplacesTheTextFromTheFileNamesLastDot)
{
    EXPECT_EQ(Output(File(L"b.zip"), nullptr, L".lzh"), folder / L"b.lzh");
    EXPECT_EQ(Output(File(L"b.zip"), L"E:\\out", L".tgz"), L"E:\\out\\b.tgz");
    EXPECT_EQ(Output(File(L"b.tar.gz"), nullptr, L".zip"), folder / L"b.tar.zip");
    EXPECT_EQ(Output(File(L"readme"), nullptr, L".zip"), folder / L"readme.zip");
    // A dot in a folder name must not move the output out of its folder.
    MakeFolder(folder / L"x.y");
    EXPECT_EQ(Output(File(L"x.y\\readme"), nullptr, L".zip"), folder / L"x.y\\readme.zip");
    EXPECT_EQ(converted, folder / L"x.y\\readme");
}

TEST_F(OutputPath, TargetIsJoinedWithOneSeparator)
{
    EXPECT_EQ(Output(File(L"b.zip"), L"E:\\", L".cab"), L"E:\\b.cab");
    // No folder at all would be the current drive's root: never a file the user chose.
    EXPECT_EQ(Output(File(L"b.zip"), L"", L".cab"), NotReadable + L"\\b.cab");
}

// The name is the source's own long name, never the 8.3 alias the
// selection may carry: "QUAR~0KW.zip" can be another archive's alias.
TEST_F(OutputPath, NamedByTheSourcesLongName)
{
    const std::wstring source = File(L"Quarterly figures.tar");
    wchar_t alias[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(source.c_str(), alias, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(alias), source) << "the volume gives no short names";
    EXPECT_EQ(Output(alias, nullptr, L".zip"), std::wstring(alias).substr(0, std::wstring(alias).rfind(L'\\')) +
                                                   L"\\Quarterly figures.zip");
    EXPECT_EQ(Output(folder / L"gone.tar", nullptr, L".zip"),
              L"変換元のファイルが見つかりません。\n\n" + (folder / L"gone.tar"));
}

// A name ending in a dot is read by Win32 as the name without it: the
// archiver gets the entry's short form instead, and the output carries the
// long name with its extension.
TEST_F(OutputPath, NameEndingInADotTravelsInItsShortForm)
{
    File(L"report");
    const std::wstring dotted = File(L"report.");
    EXPECT_EQ(Output(dotted, nullptr, L".zip"), folder / L"report.zip");
    wchar_t alias[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW((L"\\\\?\\" + dotted).c_str(), alias, MAX_PATH), 0u);
    EXPECT_EQ(L"\\\\?\\" + converted, alias);
    EXPECT_NE(ReadBytes(converted), "") << "opens the chosen entry";
}

// A folder too long for the whole path is used in its short form; only a
// path that fits in no form is refused, named in its long form.
TEST_F(OutputPath, PathThatFitsOnlyThroughTheFoldersShortFormUsesIt)
{
    std::wstring deep = folder.path();
    while (deep.size() + 27 < 245)
        deep += L"\\a folder with a long name";
    deep += L"\\" + std::wstring(245 - deep.size() - 1, L'x');
    ASSERT_TRUE(SHCreateDirectoryExW(nullptr, deep.c_str(), nullptr) == ERROR_SUCCESS);
    wchar_t shortDeep[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(deep.c_str(), shortDeep, MAX_PATH), 0u);
    const std::wstring source = File(L"b.zip");
    EXPECT_EQ(Output(source, deep.c_str(), L".tar"), deep + L"\\b.tar");  // 251 units
    const std::wstring name = L"Quarterly figures of the northern region";
    EXPECT_EQ(Output(File(name + L".zip"), deep.c_str(), L".tar"), std::wstring(shortDeep) + L"\\" + name + L".tar");
    const std::wstring missing = L"E:\\" + std::wstring(250, L'f');
    EXPECT_EQ(Output(File(L"bcdef.zip"), missing.c_str(), L".zip"), TooLong + missing + L"\\bcdef.zip");
}

}  // namespace
