// Opening, writing to and failing on the instrument, with a recording GPIB
// stand-in: the call sequence, the registration results, and every failure
// ending the program through its box.
#include "engineering/gpib_instrument.h"
#include "core/end_program.h"
#include "fake_gpib.h"
#include "scripted_operator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ksx4::test {
namespace {

using Calls = std::vector<std::string>;

class GpibInstrumentTest : public ::testing::Test {
  protected:
    long timesCalled(const std::string& call) const {
        return std::count(gpib.calls.begin(), gpib.calls.end(), call);
    }

    VirtualClock clock;
    ScriptedOperator ui{clock};
    FakeGpib gpib;
    GpibInstrument instrument{gpib, ui};
};

TEST_F(GpibInstrumentTest, OpenRegistersOnceOpensClearsAndResets) {
    ASSERT_TRUE(instrument.openInstrument());
    instrument.writeInstrument("APPL:SIN 1000,16E-3,0");
    EXPECT_EQ(gpib.calls, (Calls{"register", "ibdev 0 1 0 13 1 0", "ibclr 16", "ibwrt 16 *RST",
                                 "ibwrt 16 *CLS", "ibwrt 16 APPL:SIN 1000,16E-3,0"}));
    EXPECT_EQ(instrument.instrumentHandle(), FakeGpib::kDescriptor);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GpibInstrumentTest, WritesTheTextsEightBitCharactersWithoutTerminator) {
    ASSERT_TRUE(instrument.openInstrument());
    instrument.writeInstrument(QString::fromUtf8("VOLT 5\u00B0"));
    EXPECT_EQ(gpib.written.back(), "VOLT 5\xB0");
    EXPECT_EQ(instrument.ibcnt(), 7);
}

TEST_F(GpibInstrumentTest, UnexpectedErrorIsShownAsCommandError) {
    gpib.throwAt = "ibclr 16";
    EXPECT_FALSE(instrument.openInstrument());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Command Error: ibclr went wrong");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(ui.messages[0].icon, Icon::None);
    EXPECT_EQ(ui.messages[0].title, kProgramTitle);
    EXPECT_EQ(timesCalled("ibwrt 16 *RST"), 0);
}

struct FailureCase {
    const char* name;
    std::string failingCall;
    FakeGpib::Failure status;
    QString expectedText;
    Calls expectedCalls;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class GpibFailureTest : public GpibInstrumentTest,
                        public ::testing::WithParamInterface<FailureCase> {};

TEST_P(GpibFailureTest, ShowsTheBoxTakesTheInstrumentOfflineAndEnds) {
    const FailureCase& c = GetParam();
    gpib.fail[c.failingCall] = c.status;
    EXPECT_THROW((void)instrument.openInstrument(), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.expectedText);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(ui.messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(ui.messages[0].title, "Error");
    EXPECT_EQ(gpib.calls, c.expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, GpibFailureTest,
    ::testing::Values(FailureCase{"Open",
                                  "ibdev 0 1 0 13 1 0",
                                  {0x8000, 7, 0},
                                  "Error opening device.\r\nibsta = &H8000 < ERR>\r\n"
                                  "iberr = ENEB <No GPIB board>\r\nibcnt = 0x0\r\rI'm quitting!",
                                  {"register", "ibdev 0 1 0 13 1 0", "ibonl -1 0"}},
                      FailureCase{"Clear",
                                  "ibclr 16",
                                  {0xC000, 6, 0},
                                  "Error clearing device.\r\nibsta = &HC000 < ERR TIMO>\r\n"
                                  "iberr = EABO <Op. aborted>\r\nibcnt = 0x0\r\rI'm quitting!",
                                  {"register", "ibdev 0 1 0 13 1 0", "ibclr 16", "ibonl 16 0"}},
                      // The count is shown in 16 bits.
                      FailureCase{"SecondResetCommand",
                                  "ibwrt 16 *CLS",
                                  {0x8100, 2, 0x12345},
                                  "Error writing to device.\r\nibsta = &H8100 < ERR CMPL>\r\n"
                                  "iberr = ENOL <No Listener>\r\nibcnt = 0x2345\r\rI'm quitting!",
                                  {"register", "ibdev 0 1 0 13 1 0", "ibclr 16", "ibwrt 16 *RST",
                                   "ibwrt 16 *CLS", "ibonl 16 0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GpibInstrumentTest, LaterWriteFailureEndsTheSameWay) {
    ASSERT_TRUE(instrument.openInstrument());
    gpib.fail["ibwrt 16 OUTPUT OFF"] = {0xC000, 6, 3};
    EXPECT_THROW(instrument.writeInstrument("OUTPUT OFF"), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.startsWith("Error writing to device.\r\nibsta = &HC000"));
    EXPECT_EQ(gpib.calls.back(), "ibonl 16 0");
}

struct RegistrationCase {
    const char* name;
    std::deque<int> results;
    Calls expectedCalls;  // the registration's own calls
    bool succeeds;
};

void PrintTo(const RegistrationCase& c, std::ostream* os) {
    *os << c.name;
}

class GpibRegistrationTest : public GpibInstrumentTest,
                             public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(GpibRegistrationTest, RegistersBeforeTheFirstCall) {
    const RegistrationCase& c = GetParam();
    gpib.registerResults = c.results;
    EXPECT_EQ(instrument.registerGpibGlobals(), c.succeeds);
    EXPECT_EQ(gpib.calls, c.expectedCalls);
    EXPECT_EQ(instrument.globalsRegistered(), c.succeeds);
    if (!c.succeeds) {
        EXPECT_EQ(instrument.ibsta(), 0x8000);
        EXPECT_EQ(instrument.iberr(), 0);
        EXPECT_EQ(instrument.ibcnt(), 0x37F0);  // 0xDEAD37F0 in 16 bits
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, GpibRegistrationTest,
    ::testing::Values(RegistrationCase{"Registered", {0}, {"register"}, true},
                      RegistrationCase{
                          "RegisteredAgain", {1, 0}, {"register", "unregister", "register"}, true},
                      RegistrationCase{"Two", {2}, {"register", "unregister"}, false},
                      RegistrationCase{"Three", {3}, {"register", "unregister"}, false},
                      RegistrationCase{"Four", {4}, {"register"}, false},
                      RegistrationCase{"Negative", {-1}, {"register"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GpibInstrumentTest, FailedRegistrationEndsBeforeOpening) {
    gpib.registerResults = {2};
    EXPECT_THROW((void)instrument.openInstrument(), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error opening device.\r\nibsta = &H8000 < ERR>\r\n"
              "iberr = EDVR <DOS Error>\r\nibcnt = 0x37F0\r\rI'm quitting!");
    EXPECT_EQ(timesCalled("ibdev 0 1 0 13 1 0"), 0);
}

}  // namespace
}  // namespace ksx4::test
