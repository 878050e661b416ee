// The DLL's version resource, read back as Explorer's Properties > Details
// and Windows Installer read it, against the package that carries the DLL.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/installer_support.h"

using namespace installer_test;

namespace {

struct VersionResource {
    std::wstring fixedFileVersion;     // "a.b.c.d" of VS_FIXEDFILEINFO
    std::wstring fixedProductVersion;
    std::vector<std::wstring> strings;  // "name=value" of the first translation
};

std::wstring FourPart(DWORD high, DWORD low)
{
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

VersionResource ReadVersionResource(const std::wstring& file)
{
    VersionResource result;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    EXPECT_NE(size, 0u) << "no version resource in " << Narrow(file) << " (error " << GetLastError() << ")";
    if (size == 0)
        return result;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        ADD_FAILURE() << "GetFileVersionInfoW failed: " << GetLastError();
        return result;
    }
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        result.fixedFileVersion = FourPart(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        result.fixedProductVersion = FourPart(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    }
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4) {
        ADD_FAILURE() << "no translation in the version resource";
        return result;
    }
    const WORD* translation = static_cast<const WORD*>(value);
    wchar_t block[32] = {};
    swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        std::wstring text = L"(missing)";
        if (VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(), &value, &length))
            text = static_cast<const wchar_t*>(value);
        result.strings.push_back(std::wstring(name) + L"=" + text);
    }
    return result;
}

std::string Describe(const VersionResource& r)
{
    std::string text = "fixed file " + Narrow(r.fixedFileVersion) + ", fixed product " +
                       Narrow(r.fixedProductVersion) + "\n";
    for (const std::wstring& line : r.strings)
        text += "  " + Narrow(line) + "\n";
    return text;
}

}  // namespace

// One version number for the DLL and its package: a build that bumps one and
// not the other ships a file that Windows Installer and support staff misread.
TEST(VersionResource, MatchesTheMainPackage)
{
    const std::wstring package = MainPackage();
    ASSERT_TRUE(FileExists(package)) << Narrow(package) << " not built";
    const std::wstring version = PackageProperty(package, L"ProductVersion");
    const std::wstring maker = PackageProperty(package, L"Manufacturer");
    const std::wstring product = PackageProperty(package, L"ProductName");
    ASSERT_FALSE(version.empty());

    VersionResource expected;
    expected.fixedFileVersion = version + L".0";
    expected.fixedProductVersion = version + L".0";
    expected.strings = {
        L"CompanyName=" + maker,
        L"FileDescription=" + std::wstring(Description),
        L"FileVersion=" + version,
        L"InternalName=MorvaneX64",
        L"OriginalFilename=MorvaneX64.dll",
        L"ProductName=" + product,
        L"ProductVersion=" + version,
    };
    const VersionResource actual = ReadVersionResource(MORVANE_DLL);
    EXPECT_EQ(Describe(actual), Describe(expected));
    // The maker under whose name the extension keeps its own settings.
    EXPECT_EQ(Narrow(maker), "Brantix");
    EXPECT_EQ(Narrow(version), MORVANE_VERSION_TEXT);
}
