// The simulated signal generator (libgpib.so.0 from the simulator folder)
// through the program's real binding: the log of written strings, the fault
// plan, the call count, and the program's routines on top.
#include "core/end_program.h"
#include "engineering/gpib_instrument.h"
#include "platform/gpib_binding.h"
#include "scripted_operator.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace ksx4::test {
namespace {

class SimulatedGeneratorTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = freshFolder(); }
    void TearDown() override {
        std::error_code ec;
        for (const auto& folder : folders) std::filesystem::remove_all(folder, ec);
    }

    // A new simulator folder, named in KSX4_SIM_DIR.
    std::filesystem::path freshFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ksx4-gpib-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        folders.emplace_back(pattern);
        setenv("KSX4_SIM_DIR", pattern.c_str(), 1);
        return pattern;
    }
    void setFaults(const std::string& rules) { std::ofstream(dir / "gpib-faults") << rules; }
    std::string log() const {
        std::ifstream file(dir / "generator.log", std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    int write(int ud, const std::string& text) {
        return gpib.ibwrt(ud, text.data(), static_cast<long>(text.size()));
    }
    void expectStatus(int ibsta, int iberr, long ibcnt, const char* what) {
        EXPECT_EQ(gpib.ibsta(), ibsta) << what;
        EXPECT_EQ(gpib.iberr(), iberr) << what;
        EXPECT_EQ(gpib.ibcnt(), ibcnt) << what;
    }

    std::vector<std::filesystem::path> folders;
    std::filesystem::path dir;
    GpibBinding gpib;  // libgpib.so.0 through the search order
    VirtualClock clock;
    ScriptedOperator ui{clock};
};

TEST_F(SimulatedGeneratorTest, LogsEveryWrittenStringOnALineOfItsOwn) {
    GpibInstrument instrument(gpib, ui);
    ASSERT_TRUE(instrument.openInstrument()) << gpib.loadError();
    instrument.writeInstrument("APPL:SIN 23000,1500E-3,0");
    instrument.writeInstrument("OUTPUT OFF");
    const int ud = instrument.instrumentHandle();
    EXPECT_EQ(write(ud, "A\nB\\"), gpib::kCmpl);
    EXPECT_EQ(write(ud, ""), gpib::kCmpl);
    EXPECT_EQ(log(), "*RST\n*CLS\nAPPL:SIN 23000,1500E-3,0\nOUTPUT OFF\nA\\x0AB\\x5C\n\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SimulatedGeneratorTest, FaultPlanFailsTheNamedCallsCountedTogether) {
    setFaults("# call iberr\n1 3\n\n3 2\n5 6\n");
    EXPECT_EQ(gpib.ibdev(0, 1, 0, 13, 1, 0), -1);
    expectStatus(gpib::kErr, 3, 0, "call 1, ibdev");
    const int ud = gpib.ibdev(0, 1, 0, 13, 1, 0);
    EXPECT_GE(ud, 0);
    expectStatus(gpib::kCmpl, 0, 0, "call 2, ibdev");
    EXPECT_EQ(gpib.ibclr(ud), gpib::kErr);
    expectStatus(gpib::kErr, 2, 0, "call 3, ibclr");
    EXPECT_EQ(write(ud, "*RST"), gpib::kCmpl);
    expectStatus(gpib::kCmpl, 0, 4, "call 4, ibwrt");
    EXPECT_EQ(gpib.ibonl(ud, 0), gpib::kErr);
    expectStatus(gpib::kErr, 6, 0, "call 5, ibonl");
    EXPECT_EQ(write(ud, "*CLS"), gpib::kCmpl);  // the failed ibonl left it online
    EXPECT_EQ(log(), "*RST\n*CLS\n");
}

TEST_F(SimulatedGeneratorTest, FailedWriteIsNotLoggedAndEndsTheProgram) {
    setFaults("4 2\n");  // ibdev, ibclr, "*RST", then "*CLS" fails
    GpibInstrument instrument(gpib, ui);
    EXPECT_THROW((void)instrument.openInstrument(), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error writing to device.\r\nibsta = &H8000 < ERR>\r\n"
              "iberr = ENOL <No Listener>\r\nibcnt = 0x0\r\rI'm quitting!");
    EXPECT_EQ(log(), "*RST\n");
    // gpibFailure took it offline (call 5): the descriptor is released.
    EXPECT_EQ(write(instrument.instrumentHandle(), "*RST"), gpib::kErr);
    EXPECT_EQ(gpib.iberr(), gpib::kEdvr);
}

TEST_F(SimulatedGeneratorTest, MalformedPlanMeansNoGenerator) {
    for (const char* rules : {"1 frob\n", "0 2\n", "2 2\n2 3\n", "1 -1\n", "1\n"}) {
        setFaults(rules);
        EXPECT_EQ(gpib.ibdev(0, 1, 0, 13, 1, 0), -1) << rules;
        expectStatus(gpib::kErr, gpib::kEneb, 0, rules);
    }
}

TEST_F(SimulatedGeneratorTest, AFreshFolderCountsFromOneAgain) {
    EXPECT_GE(gpib.ibdev(0, 1, 0, 13, 1, 0), 0);
    EXPECT_GE(gpib.ibdev(0, 1, 0, 13, 1, 0), 0);
    dir = freshFolder();
    setFaults("1 14\n");
    EXPECT_EQ(gpib.ibdev(0, 1, 0, 13, 1, 0), -1);
    expectStatus(gpib::kErr, 14, 0, "first call in the new folder");
}

TEST_F(SimulatedGeneratorTest, WithoutAFolderItWorksAndLogsNowhere) {
    unsetenv("KSX4_SIM_DIR");
    GpibInstrument instrument(gpib, ui);
    ASSERT_TRUE(instrument.openInstrument());
    instrument.writeInstrument("OUTPUT OFF");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(SimulatedGeneratorTest, RefusesBadArgumentsAndUnknownDescriptors) {
    EXPECT_EQ(gpib.ibdev(1, 1, 0, 13, 1, 0), -1);
    expectStatus(gpib::kErr, gpib::kEneb, 0, "board 1");
    EXPECT_EQ(gpib.ibdev(0, 31, 0, 13, 1, 0), -1);
    expectStatus(gpib::kErr, gpib::kEarg, 0, "primary address 31");
    EXPECT_EQ(gpib.ibclr(12345), gpib::kErr);
    EXPECT_EQ(gpib.iberr(), gpib::kEdvr);
    const int ud = gpib.ibdev(0, 1, 0, 13, 1, 0);
    EXPECT_EQ(gpib.ibwrt(ud, nullptr, 3), gpib::kErr);
    expectStatus(gpib::kErr, gpib::kEarg, 0, "no data");
    EXPECT_EQ(log(), "");
}

}  // namespace
}  // namespace ksx4::test
