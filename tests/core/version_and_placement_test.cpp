// The version text and where the main window opens.
#include "core/center_window.h"
#include "core/version.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

TEST(VersionText, MinorAndPatchAreWrittenTogether) {
    EXPECT_EQ(versionText(2, 0, 9), "2.09");
    EXPECT_EQ(versionText(3, 12, 0), "3.120");
    EXPECT_EQ(programVersionText(), QString::fromLatin1(KSX4_TEST_PROJECT_VERSION_TEXT));
}

TEST(CenterWindow, CentredAndRaisedButNeverOffTheScreen) {
    // 1920 x 1080 screen, 400 x 300 window: top = 534.6 - 150 - 33.3.
    EXPECT_EQ(centeredWindowTopLeft({0, 0, 1920, 1080}, {400, 300}), QPoint(760, 351));
    // The screen's own origin counts (a second monitor).
    EXPECT_EQ(centeredWindowTopLeft({1920, 20, 1920, 1080}, {400, 300}), QPoint(2680, 371));
    // Taller than the screen allows: the title bar stays visible.
    EXPECT_EQ(centeredWindowTopLeft({0, 0, 800, 600}, {1000, 700}), QPoint(0, 0));
}

}  // namespace
}  // namespace ksx4
