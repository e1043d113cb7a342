// The box text after a GPIB failure: status bits by name in their order, the
// iberr texts, the count, and the closing line.
#include "engineering/gpib_failure_text.h"

#include <gtest/gtest.h>
#include <QStringList>

namespace ksx4::test {
namespace {

struct TextCase {
    const char* name;
    uint16_t ibsta, iberr, ibcnt;
    QString expected;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class GpibFailureTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(GpibFailureTextTest, ShowsTheStatusOfTheFailedCall) {
    const TextCase& c = GetParam();
    EXPECT_EQ(gpibFailureText("Error writing to device.", c.ibsta, c.iberr, c.ibcnt), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GpibFailureTextTest,
    ::testing::Values(
        TextCase{"TimeoutWithoutListener", 0xC100, 2, 4,
                 "Error writing to device.\r\nibsta = &HC100 < ERR TIMO CMPL>\r\n"
                 "iberr = ENOL <No Listener>\r\nibcnt = 0x4\r\rI'm quitting!"},
        // 0x0200 and 0x0400 have no name; the others in their listed order.
        TextCase{"EveryBit", 0xFFFF, 20, 0xABCD,
                 "Error writing to device.\r\nibsta = &HFFFF < ERR TIMO END SRQI RQS CMPL LOK REM "
                 "CIC ATN TACS LACS DTAS DCAS>\r\niberr = ETAB <Table overflow>\r\n"
                 "ibcnt = 0xABCD\r\rI'm quitting!"},
        TextCase{"NoBitsAndAnUnknownCode", 0x0000, 9, 0x37F0,
                 "Error writing to device.\r\nibsta = &H0 <>\r\n\r\nibcnt = 0x37F0\r\r"
                 "I'm quitting!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GpibFailureText, NamesEveryKnownErrorCodeAndNothingForOthers) {
    const std::pair<uint16_t, QString> known[] = {
        {0, "iberr = EDVR <DOS Error>"},         {1, "iberr = ECIC <Not CIC>"},
        {2, "iberr = ENOL <No Listener>"},       {3, "iberr = EADR <Address Error>"},
        {4, "iberr = EARG <Invalid argument>"},  {5, "iberr = ESAC <Not Sys Ctrlr>"},
        {6, "iberr = EABO <Op. aborted>"},       {7, "iberr = ENEB <No GPIB board>"},
        {10, "iberr = EOIP <Async I/O in prg>"}, {11, "iberr = ECAP <No capability>"},
        {12, "iberr = EFSO <File sys. error>"},  {14, "iberr = EBUS <Command error>"},
        {15, "iberr = ESTB <Status byte lost>"}, {16, "iberr = ESRQ <SRQ stuck high>"},
        {20, "iberr = ETAB <Table overflow>"},
    };
    const auto errorLine = [](uint16_t iberr) {
        return gpibFailureText("M", 0x8000, iberr, 0).split("\r\n").at(2);
    };
    for (const auto& [code, text] : known) EXPECT_EQ(errorLine(code), text) << code;
    for (const uint16_t unknown : {8, 9, 13, 17, 21, 0xFFFF}) EXPECT_EQ(errorLine(unknown), "");
}

}  // namespace
}  // namespace ksx4::test
