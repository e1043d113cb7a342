// Failed reads from the tester, injected with the simulator's faults file:
// each failure retries from the opening pass with a notice, and the 11th
// failed EEPROM or flash read (or the 101st type read) ends the program.
#include "transfer_fixture.h"

#include "core/end_program.h"
#include "settings/memory_map.h"

namespace ksx4::test {
namespace {

const QString kRetrying = "Data transmission error, retrying...";

// Exchanges with the tester: the type read takes 1, the EEPROM read 5, the
// flash read 556; a read stops at its first failed exchange.
constexpr int kTypeExchanges = 1;
constexpr int kEepromExchanges = 5;

// One fault rule per failed attempt: 'T' the type read, 'E' the first EEPROM
// exchange, 'F' the first flash exchange.
std::string faultsFor(const std::string& attempts) {
    std::string rules;
    int exchange = 0;
    for (char attempt : attempts) {
        exchange += attempt == 'T'   ? kTypeExchanges
                    : attempt == 'E' ? kTypeExchanges + 1
                                     : kTypeExchanges + kEepromExchanges + 1;
        rules += std::to_string(exchange) + " read-timeout\n";
    }
    return rules;
}

struct FailureCase {
    const char* name;
    std::string attempts;
    bool ends;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadFailureTest : public TransferTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ReadFailureTest, RetriesThenEnds) {
    const FailureCase& c = GetParam();
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    sim::setFaults(simDir, faultsFor(c.attempts));

    if (c.ends) {
        EXPECT_THROW(transfer(), EndProgram);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(ui.messages[0].text.startsWith(
            c.attempts.back() == 'T' ? "Unable to Read KSX-4 Type from EEPROM\r\n\r\n"
                                     : "Unable to Read KSX-4\r\n\r\n"));
        EXPECT_TRUE(ui.messages[0].text.endsWith("\r\n\r\nExiting Program"));
        EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
        EXPECT_TRUE(ui.folderTitles.empty());
        EXPECT_TRUE(workbooks().isEmpty());
    } else {
        transfer();
        EXPECT_EQ(ui.status(), "Transferred all reports.  Ready...");
        EXPECT_EQ(eraseIndicator(), 0x5555);
    }
    EXPECT_EQ(timesShown(ui.statusHistory, kRetrying), static_cast<long>(c.attempts.size()));
    EXPECT_EQ(timesShown(ui.statusHistory, "Opening KSX-4"), 1);
    EXPECT_EQ(timesShown(ui.statusHistory, "Transfer will take a few moments.  Please wait..."), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadFailureTest,
    ::testing::Values(FailureCase{"TenFailedReads", "EEEEEFFFFF", false},
                      // The type counter is separate from the read counter.
                      FailureCase{"TypeFailuresApart", "TTTEEEEEEEEEE", false},
                      FailureCase{"EleventhFailedReadEnds", "EEEEEFFFFFF", true},
                      FailureCase{"HundredFirstTypeFailureEnds", std::string(101, 'T'), true}),
    [](const auto& info) { return std::string(info.param.name); });

// The tester is unplugged during the flash read; the wait for a tester asks
// to connect one, a tester is plugged in, and the transfer reads it afresh.
TEST_F(TransferTest, TesterUnpluggedDuringTheFlashReadIsWaitedFor) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image, 1);
    putTester(image, 2);
    sim::setAttached(simDir, 1);
    sim::setFaults(simDir, "100 unplug\n");
    ui.onMessage = [this](const ShownMessage& shown) {
        if (shown.text.startsWith("Unable to find a connected KSX-4")) sim::setAttached(simDir, 2);
    };

    transfer();

    EXPECT_TRUE(timesShown(ui.statusHistory, kRetrying) > 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(ui.status(), "Transferred all reports.  Ready...");
    EXPECT_EQ(workbooks().size(), 1);
    EXPECT_EQ(eraseIndicator(1), 0) << "the unplugged tester was never told to erase";
    EXPECT_EQ(eraseIndicator(2), 0x5555);
}

// An exit asked for while the whole flash is read (seconds with a slow
// tester) ends the transfer right after the read, before the folder dialog.
TEST_F(TransferTest, AnExitDuringTheFlashReadEndsRightAfterIt) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    bool asked = false;
    ui.duringWait = [this, &asked] {
        asked = true;
        ui.requestEnd();
    };

    EXPECT_THROW(transfer(), EndProgram);

    EXPECT_TRUE(asked) << "the flash read ran through waitFor";
    EXPECT_TRUE(ui.folderTitles.empty());
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_EQ(eraseIndicator(), 0);
}

TEST_F(TransferTest, TesterUnpluggedAndNotReturnedEndsWithoutWriting) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    sim::setFaults(simDir, "100 unplug\n");
    ui.answers.push_back(Answer::Cancel);

    EXPECT_THROW(transfer(), EndProgram);

    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_EQ(eraseIndicator(), 0);
}

// A tester whose firmware always cuts the same flash reply short: the rest
// of the chunk is asked for again, so the slot's status byte comes from the
// tester and every stored report becomes a workbook before the reports are
// erased. (Were the short reply a failed read, all 11 passes would fail.)
TEST_F(TransferTest, ShortReplyAtASlotStatusByteStillWritesEveryWorkbook) {
    auto image = ksx4Tester();
    for (int slot = 1; slot <= 8; ++slot) sim::storeReport(image, false, slot, timedReport("Loc"));
    putTester(image);
    const int statusByte = flash::slotBase(1) + flash::kSlotStatusOffset;
    const int exchangesToTheShortReply = kTypeExchanges + kEepromExchanges + statusByte / 59 + 1;
    std::string rules;
    for (int pass = 1; pass <= 11; ++pass) {
        rules += std::to_string(pass * exchangesToTheShortReply) + " short-reply\n";
    }
    sim::setFaults(simDir, rules);

    transfer();

    EXPECT_EQ(workbooks().size(), 8);
    EXPECT_EQ(ui.status(), "Transferred all reports.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0x5555);
    EXPECT_EQ(outcome, Outcome::Done);
}

}  // namespace
}  // namespace ksx4::test
