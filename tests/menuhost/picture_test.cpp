// --png: the menu shown with TrackPopupMenuEx on the test display and captured.
#include "png_check.h"
#include "registered_fixture.h"

namespace menuhost_test {
namespace {

TEST_F(RegisteredHandler, PictureHoldsTheMenuWithItsFirstPopupOpen)
{
    // Under an English prefix Wine draws the Japanese labels as boxes; this
    // test looks only at what the host does, not at the glyphs.
    const std::wstring png = scratch_ / L"menu.png";
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--png", png});
    ASSERT_TRUE(run.started && !run.timedOut);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    // TPM_RETURNCMD and EndMenu: nothing was chosen, nothing invoked.
    EXPECT_NE(std::string::npos, run.out.find("TrackPopupMenuEx = 0\n")) << run.out;
    EXPECT_EQ(0, CountLines(run.out, "invoke ")) << run.out;

    const PngPicture picture = ReadStoredPng(ReadBytes(png));
    ASSERT_TRUE(picture.ok) << picture.problem;
    const std::string size = std::to_string(picture.width) + "x" + std::to_string(picture.height);
    // The top level and the opened "解凍(&E)" popup.
    EXPECT_NE(std::string::npos, run.out.find("picture " + Utf8(png) + " " + size + ", menus shown 2\n"))
        << run.out;
    // Frame, text, highlight and background: a blank capture has one colour.
    EXPECT_GT(ColourCount(picture), 2u);
}

}  // namespace
}  // namespace menuhost_test
