// ksx4ctl in-process: arguments, the console operator's prompts and answers,
// and the exit codes, against the simulated tester on a virtual clock.
#include "ctl_command.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QDir>
#include <QFile>
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

constexpr uint32_t kSaved20050315At140759 = 511632656;

class Ksx4ctlTest : public ::testing::Test {
  protected:
    Ksx4ctlTest() : root(QDir::tempPath() + "/ksx4ctl-XXXXXX") {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        out = root.filePath("out");
        QDir().mkpath(out);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        ::setenv("KSX4_ARCHIVE", "none", 1);  // the archive has tests of its own
    }

    void putTester(const sim::TesterImage& image) {
        ASSERT_TRUE(sim::writeTester(simDir, 1, image));
    }

    // A tester with one KSX-4 report; saved: whether it carries its saved time.
    void putOneReport(bool saved) {
        auto image = sim::blankTester(false, 1001);
        sim::Report report;
        report.savedTicks = saved ? kSaved20050315At140759 : 0;
        sim::storeReport(image, false, 1, report);
        putTester(image);
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
    QStringList workbooks() const { return QDir(out).entryList(QDir::Files, QDir::Name); }
    uint16_t eraseIndicator() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(simDir, 1, image));
        return static_cast<uint16_t>(image.eeprom[114] << 8 | image.eeprom[115]);
    }

    QTemporaryDir root;
    std::filesystem::path simDir;
    QString out;
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(Ksx4ctlTest, TransfersEveryReportWithStatusLinesOnStandardOutput) {
    putTester(sim::sampleTester({.reports = 8, .devices = 32}));

    EXPECT_EQ(run({"transfer", "--folder", out}), kExitDone);

    EXPECT_EQ(workbooks().size(), 8);
    EXPECT_EQ(stdoutLines().first(), "Opening KSX-4");
    EXPECT_EQ(stdoutLines().last(), "Transferred all reports.  Ready...");
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(eraseIndicator(), 0x5555);
}

struct FileNameCase {
    const char* name;
    QStringList options;
    std::string input;  // standard input
    int exitCode;
    const char* workbook;  // nullptr: none
};

void PrintTo(const FileNameCase& c, std::ostream* os) {
    *os << c.name;
}

class FileNamePromptTest : public Ksx4ctlTest,
                           public ::testing::WithParamInterface<FileNameCase> {};

// A report without its saved time: the file dialog becomes a path prompt.
TEST_P(FileNamePromptTest, AnswersThePathPrompt) {
    const FileNameCase& c = GetParam();
    putOneReport(false);
    std::string input = c.input;
    const std::string folder = out.toStdString();
    for (auto at = input.find("OUT"); at != std::string::npos; at = input.find("OUT")) {
        input.replace(at, 3, folder);
    }

    EXPECT_EQ(run(QStringList{"transfer", "--folder", out} + c.options, input), c.exitCode);

    EXPECT_THAT(errors(), HasSubstr("Select Location and Type file Name\nPath [" + folder +
                                    "/Report 1.xls]: "));
    if (c.workbook) {
        EXPECT_EQ(workbooks(), QStringList{c.workbook});
        EXPECT_EQ(stdoutLines().last(), "Transferred all reports.  Ready...");
    } else {
        EXPECT_TRUE(workbooks().isEmpty());
        EXPECT_THAT(errors(), HasSubstr("Report transfer cancelled.  Transferred 0 reports.\n"
                                        "Reports will not be erased in the the KSX-4.\n"));
        EXPECT_EQ(stdoutLines().last(), "Report transfer cancelled.  Ready...");
        EXPECT_EQ(eraseIndicator(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, FileNamePromptTest,
    ::testing::Values(FileNameCase{"EndOfInputCancels", {}, "", kExitFailed, nullptr},
                      FileNameCase{"TypedPath", {}, "OUT/chosen\n", kExitDone, "chosen.xls"},
                      FileNameCase{"EmptyLineTakesProposal", {}, "\n", kExitDone, "Report 1.xls"},
                      FileNameCase{"YesTakesProposal", {"--yes"}, "", kExitDone, "Report 1.xls"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Ksx4ctlTest, QuestionsAreAnsweredFromStandardInput) {
    putOneReport(true);
    const QString earlier = out + "/Report 1 2005-03-15 14-07.xls";
    QFile(earlier).open(QIODevice::WriteOnly);

    // An unknown answer asks again; No refuses the replace, then a new name.
    EXPECT_EQ(run({"transfer", "--folder", out}, "maybe\nn\n" + out.toStdString() + "/new\n"),
              kExitDone);

    EXPECT_EQ(QFile(earlier).size(), 0);
    EXPECT_EQ(workbooks(), QStringList({"Report 1 2005-03-15 14-07.xls", "new.xls"}));
    const std::string question = "Do you want to replace it?\n[yes/no] ";
    const auto first = errors().find(question);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(errors().find(question, first + 1), std::string::npos);
}

TEST_F(Ksx4ctlTest, EndingTheProgramExitsWithFailure) {
    putOneReport(true);
    std::string faults;
    for (int attempt = 1; attempt <= 11; ++attempt)
        faults += std::to_string(2 * attempt) + " read-timeout\n";
    sim::setFaults(simDir, faults);

    EXPECT_EQ(run({"transfer", "--folder", out}), kExitFailed);

    EXPECT_THAT(errors(), HasSubstr("Error: Unable to Read KSX-4\n\n"));
    EXPECT_TRUE(workbooks().isEmpty());
}

// --yes answers the tester search OK only for --wait seconds, then Cancel:
// a script without a tester ends instead of hanging.
TEST_F(Ksx4ctlTest, YesGivesUpTheTesterSearchAfterTheWait) {
    putOneReport(true);
    sim::setAttached(simDir, 0);
    const auto start = clock.now();

    EXPECT_EQ(run({"transfer", "--folder", out, "--yes", "--wait", "5"}), kExitFailed);

    const auto waited = clock.now() - start;
    EXPECT_GE(waited, std::chrono::seconds(5));
    EXPECT_LT(waited, std::chrono::seconds(8));
    EXPECT_THAT(errors(), HasSubstr("Connect KSX-4 to the PC USB port\n[ok/cancel] ok (--yes)"));
    EXPECT_THAT(errors(), HasSubstr("[ok/cancel] cancel (no tester within 5 s)"));
    EXPECT_TRUE(workbooks().isEmpty());
}

// The simulator keeps no reason for a failed open; --verbose says so after
// naming it.
TEST_F(Ksx4ctlTest, VerboseNamesTheBoundAccessLibrary) {
    putOneReport(true);

    EXPECT_EQ(run({"transfer", "--folder", out, "--verbose"}), kExitDone);

    EXPECT_THAT(errors(), HasSubstr("ksx4ctl: USB access library: "));
    EXPECT_THAT(errors(), HasSubstr("/sim/libmpusbapi.so\nksx4ctl: last failed open of the tester: "
                                    "this access library keeps no reason\n"));
}

TEST_F(Ksx4ctlTest, MissingLinkLibraryIsReported) {
    LinkLibrary missing("ksx4_com_missing");
    std::istringstream in;
    CtlContext context{in,         stdoutText,
                       stderrText, clock,
                       missing,    [this](std::chrono::milliseconds wait) { clock.advance(wait); }};

    EXPECT_EQ(runKsx4ctl({"transfer", "--folder", out}, context), kExitFailed);

    EXPECT_THAT(errors(), HasSubstr("ksx4ctl: "));
    EXPECT_THAT(errors(), HasSubstr("ksx4_com_missing"));
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* problem;  // on standard error; nullptr: the usage on standard output
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class UsageTest : public Ksx4ctlTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTest, ExplainsItselfWithoutTouchingTheTester) {
    const UsageCase& c = GetParam();
    putOneReport(true);

    EXPECT_EQ(run(c.arguments), c.exitCode);

    if (c.problem) {
        EXPECT_THAT(errors(), HasSubstr(c.problem));
        EXPECT_THAT(errors(), HasSubstr("Usage: ksx4ctl transfer"));
    } else {
        EXPECT_THAT(stdoutText.str(),
                    HasSubstr("Usage: ksx4ctl transfer [--folder DIR] [--pdf] [--yes]"));
    }
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_EQ(eraseIndicator(), 0);
}

// Each invocation in a command's synopsis (up to the first empty line of its
// help, continuation lines joined) offers --verbose.
TEST_F(Ksx4ctlTest, EverySynopsisLineListsVerbose) {
    for (const char* command :
         {"transfer", "limits", "names", "erase", "firmware", "engineering"}) {
        stdoutText.str({});
        ASSERT_EQ(run({command, "--help"}), kExitDone) << command;
        const QString help = QString::fromStdString(stdoutText.str());
        QStringList invocations;
        for (const QString& line : help.left(help.indexOf("\n\n")).split('\n')) {
            if (line.trimmed().startsWith("Usage:") || line.trimmed().startsWith("ksx4ctl ")) {
                invocations.append(line);
            } else {
                invocations.last() += line;
            }
        }
        ASSERT_FALSE(invocations.isEmpty()) << command;
        for (const QString& invocation : invocations) {
            EXPECT_TRUE(invocation.contains("[--verbose]")) << invocation.toStdString();
        }
    }
}

TEST_F(Ksx4ctlTest, VersionNamesTheProgramAndItsVersionAlone) {
    EXPECT_EQ(run({"--version"}), kExitDone);
    EXPECT_EQ(stdoutText.str(), "ksx4ctl " KSX4_TEST_PROJECT_VERSION "\n");
    EXPECT_EQ(errors(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageTest,
    ::testing::Values(UsageCase{"Help", {"--help"}, kExitDone, nullptr},
                      UsageCase{"TransferHelp", {"transfer", "--help"}, kExitDone, nullptr},
                      UsageCase{"NoCommand", {}, kExitUsage, "no command given"},
                      UsageCase{"UnknownCommand", {"bogus"}, kExitUsage, "unknown command: bogus"},
                      UsageCase{"UnknownOption",
                                {"transfer", "--force"},
                                kExitUsage,
                                "unexpected argument: --force"},
                      UsageCase{"FolderMissingItsValue",
                                {"transfer", "--folder"},
                                kExitUsage,
                                "unexpected argument: --folder"},
                      UsageCase{"WaitWithoutSeconds",
                                {"transfer", "--wait"},
                                kExitUsage,
                                "--wait needs a number of seconds"},
                      UsageCase{"WaitNotANumber",
                                {"transfer", "--wait", "soon"},
                                kExitUsage,
                                "not a number of seconds: soon"},
                      UsageCase{"NotAFolder",
                                {"transfer", "--folder", "/nonexistent/out"},
                                kExitUsage,
                                "not a folder: /nonexistent/out"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::ctl
