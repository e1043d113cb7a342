// ksx4ctl engineering in-process: kept out of the general usage, its own
// help, and its four functions against the simulated tester and generator on
// a virtual clock, answered on standard input.
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
#include <fstream>
#include <iterator>
#include <sstream>

namespace ksx4::ctl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The noise calibration's answers: OK to the calibration screen, the
// temperature, then per band OK to the reset and the five readings.
std::string calibrationInput(const std::string& serialAnswers) {
    std::string input = "ok\n25\n";
    for (int band = 0; band < 3; ++band) input += "ok\n100\n150\n200\n300\n400\n";
    return input + serialAnswers;
}

// The noise test's answers: OK to the first screen, then per band the
// screen and reset prompts and five questions.
std::string noiseTestInput(const std::string& firstLowAnswer) {
    std::string input = "ok\nok\ny\ny\ny\ny\ny\n";
    input += "ok\nok\n" + firstLowAnswer + "\ny\ny\ny\ny\n";
    return input + "ok\nok\ny\ny\ny\ny\ny\n";
}

class EngineeringCommandTest : public ::testing::Test {
  protected:
    EngineeringCommandTest() : root(QDir::tempPath() + "/ksx4ctl-eng-XXXXXX") {
        simDir = root.path().toStdString();
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        EXPECT_TRUE(sim::writeTester(simDir, 1, sim::blankTester(false, 1001)));
    }

    int run(const QStringList& arguments, const std::string& input = {},
            const std::string& gpibLibrary = GpibBinding::kDefaultLibrary) {
        std::istringstream in(input);
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        context.gpibLibrary = gpibLibrary;
        return runKsx4ctl(arguments, context);
    }
    sim::TesterImage tester() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(simDir, 1, image));
        return image;
    }
    void setWord(int address, uint16_t value) {
        auto image = tester();
        sim::setEepromWord(image, address, value);
        ASSERT_TRUE(sim::writeTester(simDir, 1, image));
    }
    uint16_t word(int address) const {
        const auto image = tester();
        const auto at = static_cast<std::size_t>(address);
        return static_cast<uint16_t>(image.eeprom[at] << 8 | image.eeprom[at + 1]);
    }
    std::string generatorLog() const {
        std::ifstream file(simDir / "generator.log", std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    QStringList boxLines() const {
        QStringList lines;
        for (const QString& line : QString::fromStdString(stdoutText.str()).split('\n')) {
            if (line.contains('=')) lines.append(line);
        }
        return lines;
    }
    std::string errors() const { return stderrText.str(); }

    QTemporaryDir root;
    std::filesystem::path simDir;
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(EngineeringCommandTest, HiddenFromTheGeneralHelpAndExplainedByItsOwn) {
    EXPECT_EQ(run({"--help"}), kExitDone);
    EXPECT_THAT(stdoutText.str(), Not(HasSubstr("engineering")));
    stdoutText.str({});
    EXPECT_EQ(run({"engineering", "--help"}), kExitDone);
    EXPECT_THAT(stdoutText.str(), HasSubstr("These commands change a tester's\ncalibration"));
    EXPECT_THAT(stdoutText.str(), HasSubstr("noise-calibration"));
}

TEST_F(EngineeringCommandTest, BadArgumentsAreUsageErrors) {
    for (const QStringList& arguments :
         {QStringList{"engineering"}, QStringList{"engineering", "frob"},
          QStringList{"engineering", "read", "defaults"},
          QStringList{"engineering", "noise-test", "--yes"},
          QStringList{"engineering", "noise-calibration", "--yes"}}) {
        EXPECT_EQ(run(arguments), kExitUsage) << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(generatorLog(), "");
}

TEST_F(EngineeringCommandTest, ReadPrintsEveryBoxWithItsIndex) {
    setWord(14, 10000);  // box 7: reported, still shown
    setWord(252, 21);
    setWord(114, 1234);

    EXPECT_EQ(run({"engineering", "read"}), kExitDone);

    const QStringList lines = boxLines();
    ASSERT_EQ(lines.size(), 43);
    EXPECT_EQ(lines[0], "0=" + QString::number(word(0)));
    EXPECT_EQ(lines[7], "7=10000");
    EXPECT_EQ(lines[15].section('=', 0, 0), "15");
    EXPECT_EQ(lines[16].section('=', 0, 0), "22");
    EXPECT_EQ(lines[39].section('=', 0, 0), "51");
    EXPECT_EQ(lines.mid(40), (QStringList{"58=21", "59=1001", "60=1234"}));
    EXPECT_THAT(errors(), HasSubstr("Calibration value too large.\n\ntextLoc: 7\n"));
}

// set writes the named words through the window's saves and leaves every
// other byte as it was; the table save runs before the single fields'.
TEST_F(EngineeringCommandTest, SetWritesTheNamedWordsAndNothingElse) {
    const auto before = tester();

    EXPECT_EQ(run({"engineering", "set", "7=1234"}), kExitDone) << errors();
    auto expected = before.eeprom;
    expected[14] = 1234 >> 8;
    expected[15] = 1234 & 0xFF;
    EXPECT_EQ(tester().eeprom, expected);
    EXPECT_EQ(tester().flash, before.flash);

    stdoutText.str({});
    EXPECT_EQ(run({"engineering", "set", "60=0", "51=1023", "58=30", "--yes"}), kExitDone);
    expected[102] = 1023 >> 8;
    expected[103] = 1023 & 0xFF;
    expected[252] = 0;
    expected[253] = 30;
    expected[114] = expected[115] = 0;
    EXPECT_EQ(tester().eeprom, expected);
    const std::string out = stdoutText.str();
    const auto table = out.find("Calibration write complete\n");
    ASSERT_NE(table, std::string::npos);
    EXPECT_NE(out.find("EEPROM write complete\n", table), std::string::npos);
}

struct SetFailureCase {
    const char* name;
    QStringList pairs;
    int exitCode;
    const char* shown;                              // on standard error
    std::vector<std::pair<int, uint16_t>> written;  // address and word of each change
};

void PrintTo(const SetFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class SetFailureTest : public EngineeringCommandTest,
                       public ::testing::WithParamInterface<SetFailureCase> {};

// Names are checked before the tester is reached; values by the window's
// save, field by field, with its messages.
TEST_P(SetFailureTest, StopsWithTheWindowsMessage) {
    const SetFailureCase& c = GetParam();
    setWord(8, 77);
    auto expected = tester().eeprom;

    EXPECT_EQ(run(QStringList{"engineering", "set"} + c.pairs), c.exitCode);

    EXPECT_THAT(errors(), HasSubstr(c.shown));
    for (const auto& [address, word] : c.written) {
        expected[static_cast<std::size_t>(address)] = static_cast<uint8_t>(word >> 8);
        expected[static_cast<std::size_t>(address) + 1] = static_cast<uint8_t>(word & 0xFF);
    }
    EXPECT_EQ(tester().eeprom, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetFailureTest,
    ::testing::Values(
        SetFailureCase{"NoPair", {}, kExitUsage, "set needs NAME=VALUE after it", {}},
        SetFailureCase{"NotABox", {"16=1"}, kExitUsage, "not a calibration box: 16", {}},
        SetFailureCase{"PastTheLastBox", {"61=1"}, kExitUsage, "not a calibration box: 61", {}},
        SetFailureCase{"LeadingBlank", {"4=1", " 7=1"}, kExitUsage, "box:  7", {}},
        SetFailureCase{"Sign", {"+7=1"}, kExitUsage, "not a calibration box: +7", {}},
        SetFailureCase{"LeadingZero", {"07=1"}, kExitUsage, "not a calibration box: 07", {}},
        SetFailureCase{
            "Negative", {"4=-1"}, kExitFailed, "Entered values should not be negative", {}},
        SetFailureCase{"Empty", {"58="}, kExitFailed, "Enter value", {}},
        SetFailureCase{"TooLarge", {"59=65536"}, kExitFailed, "less than 4 digits", {}},
        // Written in table order: 4 before 5, which is refused.
        SetFailureCase{"SecondRefused", {"5=x", "4=300"}, kExitFailed, "Type mismatch", {{8, 300}}},
        SetFailureCase{"ReadBackDiffers",
                       {"4=0500"},
                       kExitFailed,
                       "Verification of calibration write failed",
                       {{8, 500}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineeringCommandTest, DefaultsWriteTheFactorySettings) {
    setWord(236, 12000);
    setWord(0, 1);
    EXPECT_EQ(run({"engineering", "defaults"}), kExitDone);
    EXPECT_EQ(word(236), 9000);
    EXPECT_EQ(word(0), 3160);
    EXPECT_THAT(stdoutText.str(), HasSubstr("Default data write complete\n"));
}

TEST_F(EngineeringCommandTest, NoiseCalibrationWithTheExampleReadings) {
    EXPECT_EQ(run({"engineering", "noise-calibration"}, calibrationInput("yes\n5\n")), kExitDone)
        << errors();
    const std::array<uint16_t, 12> rows{30, 25, 150, 40, 40, 200, 460, 880, 300, 500, 1000, 1024};
    for (const int band : {8, 44, 80}) {
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(word(band + 2 * i), rows[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(word(254), 32773);
    EXPECT_EQ(word(252), 25);
    EXPECT_THAT(generatorLog(), HasSubstr("APPL:SIN 125000,980E-3,0\n"));
    EXPECT_THAT(stdoutText.str(), HasSubstr("KSX-4 calibration complete\n"));
}

TEST_F(EngineeringCommandTest, NoiseCalibrationCancelledAtTheEndOfInput) {
    const auto before = tester();
    EXPECT_EQ(run({"engineering", "noise-calibration"}, "ok\n25\nok\n100\n"), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("Error: Calibration problem: calNoise\n\n\n\nExiting Program"));
    EXPECT_EQ(tester().eeprom, before.eeprom);
}

TEST_F(EngineeringCommandTest, NoiseTestPassesOrFailsWithItsExitStatus) {
    EXPECT_EQ(run({"engineering", "noise-test"}, noiseTestInput("y")), kExitDone) << errors();
    EXPECT_THAT(errors(), HasSubstr("KSX-4 noise test passed\n"));

    stderrText.str({});
    EXPECT_EQ(run({"engineering", "noise-test"}, noiseTestInput("n")), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("KSX-4 noise test failed\n"));

    stderrText.str({});
    EXPECT_EQ(run({"engineering", "noise-test"}), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("Error: Calibration test problem\n\n\n\nExiting Program"));
}

// The GPIB failure text breaks its last line with two bare CRs: on a
// terminal they would put "I'm quitting!" over the ibcnt line.
TEST_F(EngineeringCommandTest, GpibFailureKeepsEveryLineAndVerboseNamesWhy) {
    EXPECT_EQ(run({"engineering", "noise-test", "--verbose"}, noiseTestInput("y"),
                  "/nonexistent/libgpib.so.0"),
              kExitFailed);

    EXPECT_THAT(errors(), HasSubstr("iberr = ENEB <No GPIB board>\nibcnt = 0x0\n\nI'm quitting!"));
    EXPECT_EQ(errors().find('\r'), std::string::npos);
    EXPECT_THAT(errors(),
                HasSubstr("\nksx4ctl: GPIB library: none loaded (/nonexistent/libgpib.so.0"));
    EXPECT_EQ(errors().back(), '\n');
    EXPECT_EQ(errors().find("ksx4ctl: GPIB library"), errors().rfind("ksx4ctl: "));
}

// The last line of a verbose run names the GPIB library bound, or says why
// none was.
TEST_F(EngineeringCommandTest, VerboseEndsByNamingTheGpibLibrary) {
    const auto lastLine = [this] {
        const std::string err = errors();
        return err.substr(err.rfind('\n', err.size() - 2) + 1);
    };
    EXPECT_EQ(run({"engineering", "noise-test", "--verbose"}, noiseTestInput("y")), kExitDone);
    EXPECT_THAT(lastLine(),
                ::testing::MatchesRegex("ksx4ctl: GPIB library: /.*/libgpib\\.so\\.0\n"));

    stderrText.str({});
    EXPECT_EQ(run({"engineering", "read", "--verbose"}), kExitDone);
    EXPECT_EQ(lastLine(), "ksx4ctl: GPIB library: none loaded (engineering read uses no GPIB)\n");
}

}  // namespace
}  // namespace ksx4::ctl
