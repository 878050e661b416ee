// Tests that need our handler registered: regsvr32 once for the suite, the
// menu switches and a scratch folder (sample.txt, dest\) for each test.
#pragma once
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace menuhost_test {

class RegisteredHandler : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered_ = Regsvr32(false); }
    // The registry as it was before: no registration of ours.
    static void TearDownTestSuite() { Regsvr32(true); }

    void SetUp() override
    {
        ASSERT_EQ(0, registered_) << "regsvr32 /s " << Utf8(MORVANE_DLL);
        SettingsScope::EnableMenus({L"zip", L"tar"});
        WriteBytes(Sample(), "sample\n");
        MakeFolder(Dest());
    }

    std::wstring Sample() const { return scratch_ / L"sample.txt"; }
    std::wstring Dest() const { return scratch_ / L"dest"; }

    SettingsScope settings_;
    TempFolder scratch_{L"menuhost"};
    inline static long registered_ = -1;
};

}  // namespace menuhost_test
