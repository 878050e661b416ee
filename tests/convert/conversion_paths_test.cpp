// The conversion request string both ways, and where the new archive goes.
#include <gtest/gtest.h>

#include "convert/conversion_request.h"
#include "convert/conversion_output.h"

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

TEST(ConversionRequest, SourceWithSpacesArrivesWhole)
{
    ConversionRequest request;
    const std::wstring text = L"20 D:\\a b\\c d.zip";
    Decoded d = Decode(text, request);
    EXPECT_EQ(d.code, 20);
    EXPECT_EQ(std::wstring(d.source), L"D:\\a b\\c d.zip");
    EXPECT_EQ(d.source, text.c_str() + 3);  // used in place
    EXPECT_EQ(d.target, nullptr);
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

TEST(ConversionRequest, MarkRightAfterTheSpaceGivesAnEmptySource)
{
    ConversionRequest request;
    const std::wstring text = std::wstring(L"20 ") + L'\x0001' + L"E:\\out";
    Decoded d = Decode(text, request);
    EXPECT_EQ(std::wstring(d.source), L"");
    EXPECT_EQ(std::wstring(d.target), L"E:\\out");
}

TEST(ConversionRequest, MarkAsLastUnitGivesAnEmptyTarget)
{
    ConversionRequest request;
    const std::wstring text = std::wstring(L"22 D:\\a.tar") + L'\x0001';
    Decoded d = Decode(text, request);
    EXPECT_EQ(std::wstring(d.source), L"D:\\a.tar");
    ASSERT_NE(d.target, nullptr);
    EXPECT_EQ(std::wstring(d.target), L"");
}

TEST(ConversionRequest, NumbersAreReadLikeWcstol)
{
    ConversionRequest request;
    EXPECT_EQ(Decode(L"18 D:\\a.zip", request).code, 18);
    EXPECT_EQ(Decode(L"D:\\a.zip", request).code, 0);
    EXPECT_EQ(Decode(L"  +24 x", request).code, 24);
    EXPECT_EQ(Decode(L"-7 x", request).code, -7);
    EXPECT_EQ(Decode(L"99999999999 x", request).code, 0x7FFFFFFF);
    EXPECT_EQ(Decode(L"-99999999999 x", request).code, static_cast<int>(0x80000000));
    EXPECT_EQ(Decode(L"26 x", request).code, 26);
}

TEST(ConversionRequest, SourceLongerThanAPathIsNotCut)
{
    ConversionRequest request;
    const std::wstring longSource = L"D:\\" + std::wstring(297, L'a');
    EXPECT_EQ(Decode(L"20 " + longSource, request).source, nullptr);
    EXPECT_EQ(Decode(L"20 " + longSource + L'\x0001' + L"E:\\out", request).source, nullptr);
    const std::wstring fits = L"D:\\" + std::wstring(257, L'a');
    EXPECT_EQ(std::wstring(Decode(L"20 " + fits + L'\x0001' + L"E:\\o", request).source), fits);
    EXPECT_EQ(std::wstring(Decode(L"20 " + fits, request).source), fits);
}

std::wstring Output(const wchar_t* source, const wchar_t* target, const wchar_t* extension)
{
    wchar_t output[MAX_PATH + 1];
    if (!FormOutputPath(source, target, extension, output))
        return L"(refused)";
    return output;
}

TEST(OutputPath, ExtensionReplacesTheTextFromTheFileNamesLastDot)
{
    EXPECT_EQ(Output(L"D:\\a\\b.zip", nullptr, L".lzh"), L"D:\\a\\b.lzh");
    EXPECT_EQ(Output(L"D:\\a\\b.zip", L"E:\\out", L".tgz"), L"E:\\out\\b.tgz");
    EXPECT_EQ(Output(L"D:\\a\\b.tar.gz", nullptr, L".zip"), L"D:\\a\\b.tar.zip");
    EXPECT_EQ(Output(L"D:\\a\\readme", nullptr, L".zip"), L"D:\\a\\readme.zip");
    // A dot in a folder name must not move the output out of its folder.
    EXPECT_EQ(Output(L"D:\\x.y\\readme", nullptr, L".zip"), L"D:\\x.y\\readme.zip");
    EXPECT_EQ(Output(L"archive.tar", nullptr, L".exe"), L"archive.exe");
}

TEST(OutputPath, TargetIsJoinedWithOneSeparator)
{
    EXPECT_EQ(Output(L"D:\\a\\b.zip", L"E:\\", L".cab"), L"E:\\b.cab");
    EXPECT_EQ(Output(L"D:\\a\\b.zip", L"", L".cab"), L"\\b.cab");
}

TEST(OutputPath, PathThatDoesNotFitIsRefused)
{
    const std::wstring folder = L"E:\\" + std::wstring(250, L'f');
    EXPECT_EQ(Output(L"D:\\a\\bcdef.zip", folder.c_str(), L".zip"), L"(refused)");
    const std::wstring exact = L"D:\\" + std::wstring(253, L'n') + L".tar";  // 260 characters
    EXPECT_EQ(Output(exact.c_str(), nullptr, L".tgz"), L"D:\\" + std::wstring(253, L'n') + L".tgz");
    EXPECT_EQ(Output(exact.c_str(), nullptr, L".tbz2"), L"(refused)");
}

}  // namespace
