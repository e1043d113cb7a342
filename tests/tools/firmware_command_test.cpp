// ksx4ctl firmware in-process against the simulated tester on a virtual
// clock: the file from the command line with the dialog's checks, the
// confirmation on standard input or --yes, the exit codes, and the elapsed
// time on a terminal.
#include "ctl_command.h"
#include "firmware_fixture.h"
#include "intel_hex_text.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ksx4::ctl {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr size_t kApplicationStart = 0x0800;

class FirmwareCommandTest : public ::testing::Test {
  protected:
    FirmwareCommandTest() : root(QDir::tempPath() + "/ksx4ctl-firmware-XXXXXX") {
        dir = root.path().toStdString();
        simDir = dir / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        before = sim::blankTester(false, 1001);
        for (size_t a = 0; a < before.flash.size(); ++a)
            before.flash[a] = static_cast<uint8_t>(a % 253);
        EXPECT_TRUE(sim::writeTester(simDir, 1, before));
    }

    // 0x0000 to 0x0FFF, without a marker: fit for a KSX-4.
    QString smallFirmware(const char* name = "small.hex") {
        firmware.resize(0x1000);
        for (size_t a = 0; a < firmware.size(); ++a) firmware[a] = static_cast<uint8_t>(a * 3 + 1);
        const auto file = dir / name;
        std::ofstream(file) << test::hexImageFile(0, firmware);
        return QString::fromStdString(file.string());
    }

    int run(const QStringList& arguments, const std::string& input = {}, bool terminal = false) {
        std::istringstream in(input);
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        context.outIsTerminal = terminal;
        return runKsx4ctl(arguments, context);
    }

    QStringList stdoutLines() const {
        return QString::fromStdString(stdoutText.str()).split('\n', Qt::SkipEmptyParts);
    }
    std::string errors() const { return stderrText.str(); }
    sim::TesterImage stored() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(simDir, 1, image));
        return image;
    }
    bool holdsSmallFirmware() const {
        const sim::TesterImage image = stored();
        return std::equal(image.flash.begin(), image.flash.begin() + kApplicationStart,
                          before.flash.begin()) &&
               std::equal(image.flash.begin() + kApplicationStart, image.flash.begin() + 0x1000,
                          firmware.begin() + kApplicationStart);
    }
    bool untouched() const { return stored().flash == before.flash; }

    QTemporaryDir root;
    std::filesystem::path dir, simDir;
    sim::TesterImage before;
    std::vector<uint8_t> firmware;
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(FirmwareCommandTest, LoadsGpasmFirmwareWithYes) {
    if (!test::haveTool("gpasm") || !test::haveTool("srec_cat")) {
        GTEST_SKIP() << "needs gpasm (Debian gputils) and srec_cat (Debian srecord)";
    }
    std::string problem;
    const auto hexFile = test::assembleFirmware("ksx4_firmware", dir, true, &problem);
    ASSERT_TRUE(hexFile) << problem;
    const auto application = test::applicationAreaBySrecCat(*hexFile, &problem);
    ASSERT_TRUE(application) << problem;

    EXPECT_EQ(run({"firmware", QString::fromStdString(hexFile->string()), "--yes"}), kExitDone);

    EXPECT_EQ(stdoutLines(), (QStringList{"Opening KSX-4", "Select Hex File",
                                          "Firmware update will take a few moments. Please wait...",
                                          "KSX-4 firmware loaded.  Ready..."}));
    EXPECT_THAT(errors(),
                HasSubstr("Final check!: All data saved in the KSX-4 will be erased.\n\nAre you "
                          "sure you want to update the firmware?\n[ok/cancel] ok (--yes)\n"));
    const sim::TesterImage loaded = stored();
    EXPECT_TRUE(std::equal(application->begin(), application->end(),
                           loaded.flash.begin() + kApplicationStart));
    EXPECT_TRUE(std::equal(loaded.flash.begin(), loaded.flash.begin() + kApplicationStart,
                           before.flash.begin()));
    EXPECT_EQ(loaded.eeprom, before.eeprom);
}

struct AnswerCase {
    const char* name;
    std::string input;
    int exitCode;
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
    *out << c.name;
}

class ConfirmationTest : public FirmwareCommandTest,
                         public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ConfirmationTest, IsAnsweredOnStandardInput) {
    const AnswerCase& c = GetParam();
    EXPECT_EQ(run({"firmware", smallFirmware()}, c.input), c.exitCode);
    EXPECT_THAT(errors(), HasSubstr("Final check!: "));
    if (c.exitCode == kExitDone) {
        EXPECT_EQ(stdoutLines().last(), "KSX-4 firmware loaded.  Ready...");
        EXPECT_TRUE(holdsSmallFirmware());
    } else {
        EXPECT_EQ(stdoutLines().mid(stdoutLines().size() - 2),
                  (QStringList{"User Canceled", "Ready"}));
        EXPECT_TRUE(untouched());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, ConfirmationTest,
                         ::testing::Values(AnswerCase{"Ok", "ok\n", kExitDone},
                                           AnswerCase{"AskedAgainAfterNonsense", "sure\no\n",
                                                      kExitDone},
                                           AnswerCase{"Cancel", "cancel\n", kExitFailed},
                                           AnswerCase{"EndOfInputIsCancel", "", kExitFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareCommandTest, APathWithoutHexFailsTheFileSelection) {
    const QString binFile = QString::fromStdString((dir / "small.bin").string());
    std::filesystem::copy_file(smallFirmware().toStdString(), binFile.toStdString());

    EXPECT_EQ(run({"firmware", binFile, "--yes"}), kExitFailed);

    EXPECT_THAT(errors(), HasSubstr("File extension is NOT .HEX\nError: Failed File Selection\n\n"
                                    "Exiting Program\n"));
    EXPECT_EQ(stdoutLines().last(), "Failed File Selection");
    EXPECT_TRUE(untouched());
}

TEST_F(FirmwareCommandTest, AMissingFileIsRefusedAsTheDialogRefusesIt) {
    const QString missing = QString::fromStdString((dir / "gone.hex").string());

    EXPECT_EQ(run({"firmware", missing, "--yes"}), kExitFailed);

    EXPECT_THAT(errors(), HasSubstr(missing.toStdString() +
                                    "\nFile not found.\nCheck the file name and try again.\n"));
    EXPECT_THAT(errors(), Not(HasSubstr("Final check!")));
    EXPECT_EQ(stdoutLines().mid(stdoutLines().size() - 2), (QStringList{"User Canceled", "Ready"}));
    EXPECT_TRUE(untouched());
}

TEST_F(FirmwareCommandTest, ARelativePathIsTakenFromTheCurrentFolder) {
    smallFirmware("relative.hex");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    const int exitCode = run({"firmware", "relative.hex", "--yes"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(exitCode, kExitDone);
    EXPECT_TRUE(holdsSmallFirmware());
}

TEST_F(FirmwareCommandTest, ATerminalShowsTheElapsedTimeOnOneLine) {
    for (const bool terminal : {false, true}) {
        stdoutText.str({});
        EXPECT_EQ(run({"firmware", smallFirmware(), "--yes"}, {}, terminal), kExitDone);
        const std::string shown = stdoutText.str();
        if (terminal) {
            // Written over, then wiped before the next status line.
            EXPECT_THAT(shown, HasSubstr("Please wait...\n\r  working, 0:00 elapsed"));
            const std::string line = "  working, 0:00 elapsed";
            EXPECT_THAT(shown, HasSubstr(line + "\r" + std::string(line.size(), ' ') +
                                         "\rKSX-4 firmware loaded."));
        } else {
            EXPECT_EQ(shown.find('\r'), std::string::npos) << shown;
        }
        EXPECT_THAT(shown, EndsWith("KSX-4 firmware loaded.  Ready...\n"));
    }
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* problem;  // on standard error; nullptr: the usage on standard output
};

void PrintTo(const UsageCase& c, std::ostream* out) {
    *out << c.name;
}

class FirmwareUsageTest : public FirmwareCommandTest,
                          public ::testing::WithParamInterface<UsageCase> {};

TEST_P(FirmwareUsageTest, ExplainsItselfWithoutTouchingTheTester) {
    const UsageCase& c = GetParam();
    QStringList arguments = c.arguments;
    arguments.replaceInStrings("FILE", smallFirmware());

    EXPECT_EQ(run(arguments), c.exitCode);

    if (c.problem) {
        EXPECT_THAT(errors(), HasSubstr(c.problem));
        EXPECT_THAT(errors(), HasSubstr("Usage: ksx4ctl firmware FILE"));
    } else {
        EXPECT_THAT(stdoutText.str(), HasSubstr("Usage: ksx4ctl firmware FILE [--yes]"));
    }
    EXPECT_TRUE(untouched());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, FirmwareUsageTest,
    ::testing::Values(
        UsageCase{"Help", {"firmware", "--help"}, kExitDone, nullptr},
        UsageCase{"NoFile", {"firmware", "--yes"}, kExitUsage, "no firmware file given"},
        UsageCase{"TwoFiles", {"firmware", "FILE", "FILE"}, kExitUsage, "unexpected argument: "},
        UsageCase{"UnknownOption",
                  {"firmware", "FILE", "--force"},
                  kExitUsage,
                  "unexpected argument: --force"},
        UsageCase{"WaitWithoutSeconds",
                  {"firmware", "FILE", "--wait"},
                  kExitUsage,
                  "--wait needs a number of seconds"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::ctl
