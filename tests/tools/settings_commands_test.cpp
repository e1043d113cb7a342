// ksx4ctl limits, names and erase in-process against the simulated tester on
// a virtual clock: what they print, the bytes they leave in the EEPROM, the
// checks they share with the editors, and their exit codes.
#include "ctl_command.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace ksx4::ctl {
namespace {

using ::testing::HasSubstr;

class SettingsCommandsTest : public ::testing::Test {
  protected:
    SettingsCommandsTest() : root(QDir::tempPath() + "/ksx4ctl-settings-XXXXXX") {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        putTester(sim::blankTester(false, 1001));
    }

    void putTester(const sim::TesterImage& image) {
        ASSERT_TRUE(sim::writeTester(simDir, 1, image));
        initial = image.eeprom;
    }
    std::array<uint8_t, 256> eeprom() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(simDir, 1, image));
        return image.eeprom;
    }

    int run(const QStringList& arguments, const std::string& input = {}) {
        std::istringstream in(input);
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        return runKsx4ctl(arguments, context);
    }

    QStringList stdoutLines() const {
        return QString::fromStdString(stdoutText.str()).split('\n', Qt::SkipEmptyParts);
    }
    std::string errors() const { return stderrText.str(); }

    QTemporaryDir root;
    std::filesystem::path simDir;
    std::array<uint8_t, 256> initial{};
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

// A tester whose limits and names all differ from the defaults.
sim::TesterImage customisedTester() {
    auto image = sim::blankTester(false, 1001);
    for (int address = 236; address <= 250; address += 2) sim::setEepromWord(image, address, 500);
    sim::setEepromWord(image, 238, 400);
    sim::setEepromWord(image, 112, 12);
    for (int n = 1; n <= 8; ++n) {
        sim::setEepromText(image, 116 + 15 * (n - 1), 15, "Site " + std::to_string(n));
    }
    return image;
}

TEST_F(SettingsCommandsTest, LimitsPrintsTheBoxesAndWritesNothing) {
    auto image = customisedTester();
    sim::setEepromWord(image, 236, 12345);
    putTester(image);

    EXPECT_EQ(run({"limits"}), kExitDone);

    EXPECT_EQ(stdoutLines(),
              (QStringList{"Opening KSX-4", "Set OK/BAD limits", "voltage=12.345", "signal=400",
                           "ff-avg=500", "ff-peak=500", "lf-avg=500", "lf-peak=500", "hf-avg=500",
                           "hf-peak=500", "retransmits=12"}));
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(eeprom(), initial);
}

TEST_F(SettingsCommandsTest, LimitsDefaultsLeaveExactlyTheFactoryBytes) {
    putTester(customisedTester());

    EXPECT_EQ(run({"limits", "--defaults"}), kExitDone);

    auto expected = initial;
    const std::vector<std::pair<int, std::array<uint8_t, 2>>> bytes = {
        {236, {0x23, 0x28}}, {238, {0x00, 0x96}}, {240, {0x00, 0x96}},
        {242, {0x00, 0x96}}, {244, {0x00, 0x4B}}, {246, {0x00, 0x4B}},
        {248, {0x00, 0x96}}, {250, {0x00, 0x96}}, {112, {0x00, 0x00}}};
    for (const auto& [address, word] : bytes) {
        expected[static_cast<std::size_t>(address)] = word[0];
        expected[static_cast<std::size_t>(address) + 1] = word[1];
    }
    EXPECT_EQ(eeprom(), expected);
    EXPECT_EQ(stdoutLines().last(), "OK/BAD limits written to KSX-4.  Ready...");
}

TEST_F(SettingsCommandsTest, NamesDefaultsLeaveExactlyTheFactoryBytes) {
    putTester(customisedTester());

    EXPECT_EQ(run({"names", "--defaults"}), kExitDone);

    auto expected = initial;
    for (int n = 1; n <= 8; ++n) {
        const std::string name = "Report " + std::to_string(n) + "       ";
        std::copy(name.begin(), name.end(), expected.begin() + 101 + 15 * n);
    }
    EXPECT_EQ(eeprom(), expected);
    EXPECT_EQ(stdoutLines().last(), "Report names written to KSX-4.  Ready...");
}

TEST_F(SettingsCommandsTest, SetChangesOnlyTheNamedBoxesOverTheTestersValues) {
    putTester(customisedTester());

    EXPECT_EQ(run({"limits", "--set", "voltage=12.3456", "retransmits=250"}), kExitDone);
    // The voltage, not named, keeps its word to the millivolt.
    EXPECT_EQ(run({"limits", "--set", "signal=200"}), kExitDone);
    EXPECT_EQ(run({"names", "--set", "2=  Pump A", "8=Café €"}), kExitDone);

    auto expected = initial;
    expected[236] = 12346 >> 8;
    expected[237] = 12346 & 0xFF;
    expected[238] = 0;
    expected[239] = 200;
    expected[113] = 250;
    const QByteArray pump("Pump A         ", 15), cafe("Caf\xE9 \x80         ", 15);
    std::copy(pump.begin(), pump.end(), expected.begin() + 131);
    std::copy(cafe.begin(), cafe.end(), expected.begin() + 221);
    EXPECT_EQ(eeprom(), expected);
}

TEST_F(SettingsCommandsTest, NamesPrintsTheStoredNamesTrimmedOnOneLineEach) {
    auto image = customisedTester();
    sim::setEepromText(image, 131, 15, "  Tank\n2");
    sim::setEepromText(image, 146, 15, "Z\xFCrich");
    putTester(image);

    EXPECT_EQ(run({"names"}), kExitDone);

    EXPECT_EQ(stdoutLines().mid(2),
              (QStringList{"1=Site 1", "2=  Tank\\x0a2", "3=Zürich", "4=Site 4", "5=Site 5",
                           "6=Site 6", "7=Site 7", "8=Site 8"}));
}

// Run by its own test with LC_ALL=de_DE.UTF-8: the console reads and
// prints numbers in the environment's number format.
TEST_F(SettingsCommandsTest, NumbersInACommaDecimalFormat) {
    if (QLocale::system().decimalPoint() != ",") GTEST_SKIP() << "needs a comma as decimal sign";

    EXPECT_EQ(run({"limits", "--set", "voltage=12.5"}), kExitFailed);
    EXPECT_EQ(run({"limits", "--set", "voltage=12,5", "signal=1.000"}), kExitDone);
    EXPECT_EQ(run({"limits"}), kExitDone);

    EXPECT_TRUE(stdoutLines().contains("voltage=12,500"));
    EXPECT_TRUE(stdoutLines().contains("signal=1000"));
}

struct RefusalCase {
    const char* name;
    QStringList arguments;
    const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalTest : public SettingsCommandsTest,
                    public ::testing::WithParamInterface<RefusalCase> {};

// The editors' checks, with their messages on standard error: exit 1 and
// nothing written.
TEST_P(RefusalTest, ExitsWith1AndWritesNothing) {
    const RefusalCase& c = GetParam();

    EXPECT_EQ(run(c.arguments), kExitFailed);

    EXPECT_THAT(errors(), HasSubstr(c.message));
    EXPECT_EQ(eeprom(), initial);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, RefusalTest,
    ::testing::Values(
        RefusalCase{"SignalBelowItsBound",
                    {"limits", "--set", "signal=99"},
                    "Set OK/BAD Limits: Signal Level limit should be at least 100mV.\n"
                    "Change this limit before saving to the KSX-4.\n"},
        RefusalCase{"EmptyBox",
                    {"limits", "--set", "retransmits="},
                    "Set OK/BAD Limits: Be sure that only numbers are entered for OK/BAD limits."},
        RefusalCase{"NameWithASlash",
                    {"names", "--set", "4=a/b"},
                    "Display/Edit Report Names: Location 4 name cannot contain"},
        RefusalCase{"NameTheCodePageLacks",
                    {"names", "--defaults", "--set", "6=東京"},
                    "Display/Edit Report Names: Location 6 name contains characters the KSX-4 "
                    "cannot store.\nChange this name before saving to the KSX-4.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* shown;  // on standard output (help) or standard error
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsUsageTest : public SettingsCommandsTest,
                          public ::testing::WithParamInterface<UsageCase> {};

TEST_P(SettingsUsageTest, ArgumentsAreCheckedBeforeTheTester) {
    const UsageCase& c = GetParam();

    EXPECT_EQ(run(c.arguments), c.exitCode);

    EXPECT_THAT(c.exitCode == kExitDone ? stdoutText.str() : errors(), HasSubstr(c.shown));
    EXPECT_EQ(eeprom(), initial);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SettingsUsageTest,
    ::testing::Values(
        UsageCase{"GeneralHelp", {"--help"}, kExitDone, "  limits     print or change"},
        UsageCase{"LimitsHelp", {"limits", "--help"}, kExitDone, "Usage: ksx4ctl limits"},
        UsageCase{"NamesHelp", {"names", "-h"}, kExitDone, "Usage: ksx4ctl names"},
        UsageCase{"EraseHelp", {"erase", "--help"}, kExitDone, "Usage: ksx4ctl erase"},
        UsageCase{"UnknownLimit",
                  {"limits", "--set", "voltage=9", "noise=3"},
                  kExitUsage,
                  "ksx4ctl: unknown limit: noise"},
        UsageCase{"SetWithNoPair",
                  {"limits", "--set", "--yes"},
                  kExitUsage,
                  "ksx4ctl: --set needs NAME=VALUE after it"},
        UsageCase{"SetAtTheEnd", {"names", "--set"}, kExitUsage, "--set needs NAME=VALUE"},
        UsageCase{"PairWithoutSign",
                  {"limits", "--set", "voltage"},
                  kExitUsage,
                  "not NAME=VALUE: voltage"},
        UsageCase{
            "LocationNine", {"names", "--set", "9=x"}, kExitUsage, "not a location from 1 to 8: 9"},
        UsageCase{"LocationZero", {"names", "--set", "0=x"}, kExitUsage, "from 1 to 8: 0"},
        UsageCase{"LocationWithABlank", {"names", "--set", " 1=x"}, kExitUsage, "from 1 to 8:  1"},
        UsageCase{"LocationWithASign", {"names", "--set", "+1=x"}, kExitUsage, "from 1 to 8: +1"},
        UsageCase{"LocationOfTwoDigits", {"names", "--set", "01=x"}, kExitUsage, "to 8: 01"},
        UsageCase{"EraseOption", {"erase", "--force"}, kExitUsage, "unexpected argument: --force"}),
    [](const auto& info) { return std::string(info.param.name); });

struct EraseCase {
    const char* name;
    QStringList options;
    std::string input;
    int exitCode;
    bool erased;
};

void PrintTo(const EraseCase& c, std::ostream* os) {
    *os << c.name;
}

class EraseCommandTest : public SettingsCommandsTest,
                         public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseCommandTest, AsksAndWritesTheIndicatorOnlyOnOk) {
    const EraseCase& c = GetParam();

    EXPECT_EQ(run(QStringList{"erase"} + c.options, c.input), c.exitCode);

    EXPECT_THAT(errors(), HasSubstr("Erase all Reports Stored in the KSX-4?\n[ok/cancel] "));
    auto expected = initial;
    if (c.erased) expected[114] = expected[115] = 0x55;
    EXPECT_EQ(eeprom(), expected);
    EXPECT_EQ(stdoutLines(), (QStringList{"Opening KSX-4", "Ready"}));
}

INSTANTIATE_TEST_SUITE_P(Answers, EraseCommandTest,
                         ::testing::Values(EraseCase{"Ok", {}, "ok\n", kExitDone, true},
                                           EraseCase{"Yes", {"--yes"}, "", kExitDone, true},
                                           EraseCase{"Cancel", {}, "c\n", kExitFailed, false},
                                           EraseCase{
                                               "EndOfInputIsCancel", {}, "", kExitFailed, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::ctl
