// No usable GPIB library: every call fails with ENEB, so the program ends
// through gpibFailure's box instead of crashing.
#include "core/end_program.h"
#include "engineering/gpib_instrument.h"
#include "platform/gpib_binding.h"
#include "scripted_operator.h"

#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

class MissingLibraryTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingLibraryTest, EveryCallFailsWithNoBoard) {
    GpibBinding gpib(GetParam());
    EXPECT_EQ(gpib.registerGlobals(), 0);
    EXPECT_EQ(gpib.ibdev(0, 1, 0, 13, 1, 0), -1);
    EXPECT_EQ(gpib.ibsta(), gpib::kErr);
    EXPECT_EQ(gpib.iberr(), gpib::kEneb);
    EXPECT_EQ(gpib.ibcnt(), 0);
    EXPECT_FALSE(gpib.loadError().empty());
    EXPECT_EQ(gpib.ibclr(0), gpib::kErr);
    EXPECT_EQ(gpib.ibwrt(0, "x", 1), gpib::kErr);
    EXPECT_EQ(gpib.ibonl(0, 0), gpib::kErr);
    EXPECT_EQ(gpib.iberr(), gpib::kEneb);
}

TEST_P(MissingLibraryTest, OpeningEndsWithTheNoBoardBox) {
    VirtualClock clock;
    ScriptedOperator ui(clock);
    GpibBinding gpib(GetParam());
    GpibInstrument instrument(gpib, ui);
    EXPECT_THROW((void)instrument.openInstrument(), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error opening device.\r\nibsta = &H8000 < ERR>\r\n"
              "iberr = ENEB <No GPIB board>\r\nibcnt = 0x0\r\rI'm quitting!");
    EXPECT_EQ(ui.messages[0].title, "Error");
    EXPECT_EQ(ui.messages[0].icon, Icon::Exclamation);
}

// Absent, and present but without the GPIB calls.
INSTANTIATE_TEST_SUITE_P(Libraries, MissingLibraryTest,
                         ::testing::Values("/nonexistent/libgpib.so.0", "libm.so.6"),
                         [](const auto& info) { return info.index == 0 ? "Absent" : "NoCalls"; });

}  // namespace
}  // namespace ksx4::test
