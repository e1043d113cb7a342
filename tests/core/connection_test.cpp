// The connection routines every operation uses, against a fake tester.
#include "core/connection.h"
#include "core/end_program.h"
#include "fake_program.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

using test::FakeProgram;

const QString kNotFound =
    QStringLiteral("Unable to find a connected KSX-4\r\n\r\nConnect KSX-4 to the PC USB port");

TEST(ReturnCodeName, NamesEveryCodeAndNothingForNegativeOnes) {
    const std::vector<std::pair<int32_t, QString>> cases = {
        {-1, ""},
        {0, "OPERATION_SUCCESS"},
        {1, "DEVICE_ALREADY_OPENED"},
        {2, "DEVICE_NOT_OPENED_YET"},
        {3, "COULD_NOT_OPEN_FILE"},
        {4, "BAD_HEX_LINE_CHECKSUM"},
        {5, "SHORT_HEX_FILE"},
        {6, "UNKNOWN_LINE_IN_HEX_FILE"},
        {7, "UNKNOWN_HEX_FILE_FAILURE"},
        {8, "DEVICE_COULD_NOT_BE_OPENED"},
        {9, "OPERATION_FAILURE"},
        {10, "BAD_BUFFER_LENGTH"},
        {11, "BAD_MEMORY_ADDRESS"},
        {12, "MEMORY_OPERATION_OVERRUN"},
        {13, "UNKNOWN_ERROR"},
        {INT32_MAX, "UNKNOWN_ERROR"},
    };
    for (const auto& [code, name] : cases) EXPECT_EQ(returnCodeName(code), name) << code;
}

TEST(WaitForTester, OneTesterReturnsAfterThePauseWithOneLine) {
    FakeProgram p;
    const auto start = p.clock.now();
    EXPECT_EQ(waitForTester(p.state), 0);
    EXPECT_GE(p.clock.now() - start, std::chrono::seconds(1));
    EXPECT_EQ(p.ui.list, QStringList{"TessCommGetDeviceCount = 1"});
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(WaitForTester, NoneOrTwoTestersPollTheFullRoundThenAsk) {
    for (int attached : {0, 2}) {
        FakeProgram p;
        p.tester.attached = attached;
        p.ui.answers = {Answer::Cancel};
        EXPECT_EQ(waitForTester(p.state), 2);
        EXPECT_EQ(p.tester.deviceCountCalls, 2001);
        ASSERT_EQ(p.ui.list.size(), 2001);
        EXPECT_EQ(p.ui.list.back(), "TessCommGetDeviceCount = " + QString::number(attached));
        ASSERT_EQ(p.ui.messages.size(), 1u);
        EXPECT_EQ(p.ui.messages[0].text, kNotFound);
        EXPECT_EQ(p.ui.messages[0].buttons, Buttons::OkCancel);
        EXPECT_EQ(p.ui.messages[0].icon, Icon::Critical);
        EXPECT_EQ(p.ui.messages[0].title, kProgramTitle);
    }
}

TEST(WaitForTester, OkSearchesAgainAndTheListKeepsEveryRound) {
    FakeProgram p;
    p.tester.attached = 0;
    p.ui.onMessage = [&](const test::ShownMessage&) { p.tester.attached = 1; };
    EXPECT_EQ(waitForTester(p.state), 0);
    EXPECT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.list.size(), 2002);
    EXPECT_EQ(p.ui.list.back(), "TessCommGetDeviceCount = 1");
}

TEST(OpenTesterConnection, ClosesTwiceWaitsAndOpens) {
    FakeProgram p;
    p.tester.connectionOpen = true;  // left over from an earlier operation
    openTesterConnection(p.state);
    EXPECT_TRUE(p.tester.connectionOpen);
    EXPECT_EQ(p.tester.closeCalls, 2);
    EXPECT_EQ(p.tester.openCalls, 1);
    EXPECT_EQ(p.ui.statusHistory, std::vector<QString>{"Opening KSX-4"});
}

TEST(OpenTesterConnection, RetryPassDoesNotShowOpening) {
    FakeProgram p;
    p.ui.setStatus("Data transmission error, retrying...");
    openTesterConnection(p.state, false);
    EXPECT_EQ(p.ui.status(), "Data transmission error, retrying...");
}

TEST(OpenTesterConnection, CancelledSearchEndsTheProgram) {
    FakeProgram p;
    p.tester.attached = 0;
    p.ui.answers = {Answer::Cancel};
    EXPECT_THROW(openTesterConnection(p.state), EndProgram);
    EXPECT_EQ(p.tester.openCalls, 0);
}

TEST(OpenTesterConnection, GivesUpAfter501FailedOpens) {
    FakeProgram p;
    p.tester.openResults.assign(501, DEVICE_COULD_NOT_BE_OPENED);
    EXPECT_THROW(openTesterConnection(p.state), EndProgram);
    EXPECT_EQ(p.tester.openCalls, 501);
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text,
              "Unable to Open KSX-4. Return Value: 8\r\n\r\nDEVICE_COULD_NOT_BE_OPENED\r\n\r\n"
              "Exiting Program");
    EXPECT_EQ(p.ui.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(p.ui.messages[0].icon, Icon::Critical);
}

TEST(OpenTesterConnection, SucceedsOnTheLastAttempt) {
    FakeProgram p;
    p.tester.openResults.assign(500, DEVICE_COULD_NOT_BE_OPENED);
    openTesterConnection(p.state);
    EXPECT_EQ(p.tester.openCalls, 501);
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(CloseTesterConnection, ClosesSilentlyOrEndsWithTheCodeName) {
    FakeProgram p;
    p.tester.connectionOpen = true;
    closeTesterConnection(p.state);
    EXPECT_FALSE(p.tester.connectionOpen);
    EXPECT_TRUE(p.ui.messages.empty());

    EXPECT_THROW(closeTesterConnection(p.state), EndProgram);  // nothing open: 2
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text,
              "Unable to Close KSX-4\r\n\r\nDEVICE_NOT_OPENED_YET\r\n\r\nExiting Program");
    EXPECT_EQ(p.ui.messages[0].icon, Icon::Critical);
}

}  // namespace
}  // namespace ksx4
