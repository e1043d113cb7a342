// The help of ksx4ctl and ksx4sim, as a technician and help2man (which makes
// the manual pages from it) see it: every command and subcommand, asked with
// --help or -h anywhere among its arguments, prints its help on standard
// output, ending with a line break, and exits 0. The table is checked
// against the commands the helps themselves list.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// program with arguments through the shell: no quoting needed by the table.
ProgramRun run(const std::string& program, const std::string& arguments) {
    const fs::path err = fs::temp_directory_path() / ("help-texts-" + std::to_string(getpid()));
    ProgramRun result;
    FILE* pipe = popen((program + " " + arguments + " 2>" + err.string()).c_str(), "r");
    if (!pipe) return result;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.out.append(chunk, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = contents(err);
    fs::remove(err);
    return result;
}

struct HelpCase {
    const char* program;  // KSX4CTL_PATH or KSX4SIM_PATH
    std::string arguments;
    std::string usage;  // how the help starts
};

void PrintTo(const HelpCase& c, std::ostream* out) {
    *out << fs::path(c.program).filename().string() << " " << c.arguments;
}

const std::string kCtlUsage = "Usage: ksx4ctl COMMAND [OPTIONS]\n";
const std::string kSimUsage = "Usage: ksx4sim init DIR [OPTION...]\n";

HelpCase ctl(std::string arguments, std::string command) {
    return {KSX4CTL_PATH, std::move(arguments), "Usage: ksx4ctl " + command + " "};
}

HelpCase sim(std::string arguments) {
    return {KSX4SIM_PATH, std::move(arguments), kSimUsage};
}

const std::vector<HelpCase>& helpCases() {
    static const std::vector<HelpCase> cases{
        {KSX4CTL_PATH, "--help", kCtlUsage},
        {KSX4CTL_PATH, "-h", kCtlUsage},
        {KSX4CTL_PATH, "help", kCtlUsage},
        ctl("transfer --help", "transfer"),
        ctl("limits --help", "limits"),
        ctl("names --help", "names"),
        ctl("erase --help", "erase"),
        ctl("firmware --help", "firmware"),
        ctl("archive --help", "archive"),
        ctl("archive list --help", "archive"),
        ctl("archive show --help", "archive"),
        ctl("archive workbook --help", "archive"),
        ctl("archive pdf --help", "archive"),
        ctl("archive trend --help", "archive"),
        ctl("archive segments --help", "archive"),
        ctl("archive diagnose --help", "archive"),
        ctl("archive baseline --help", "archive"),
        ctl("archive baseline --clear --help", "archive"),
        ctl("engineering --help", "engineering"),
        ctl("engineering read --help", "engineering"),
        ctl("engineering set --help", "engineering"),
        ctl("engineering defaults --help", "engineering"),
        ctl("engineering noise-calibration --help", "engineering"),
        ctl("engineering noise-test --help", "engineering"),
        // After arguments that would be refused.
        ctl("transfer --folder /nonexistent/folder --help", "transfer"),
        ctl("limits --wait --help", "limits"),
        ctl("names --set -h", "names"),
        ctl("firmware a.hex b.hex --help", "firmware"),
        ctl("engineering set 7=1 -h", "engineering"),
        ctl("archive pdf 1 2 --help", "archive"),
        sim("--help"),
        sim("-h"),
        sim("help"),
        sim("init --help"),
        sim("show --help"),
        sim("run --help"),
        sim("init /nonexistent/folder --serial --help"),
        sim("show a b -h"),
        sim("run /nonexistent/folder --help -- true"),
    };
    return cases;
}

class HelpText : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpText, GoesToStandardOutputEndsWithALineBreakAndExits0) {
    const HelpCase& c = GetParam();
    const ProgramRun result = run(c.program, c.arguments);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.substr(0, c.usage.size()), c.usage) << result.out;
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.back(), '\n')
        << "the help's last line: " << result.out.substr(result.out.rfind('\n') + 1);
}

// "ksx4ctl --help" becomes ksx4ctl___help.
std::string caseName(const ::testing::TestParamInfo<HelpCase>& info) {
    std::string name =
        fs::path(info.param.program).filename().string() + " " + info.param.arguments;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Tools, HelpText, ::testing::ValuesIn(helpCases()), caseName);

// The names a help lists as items ("  transfer   copy the ..."), from the
// line after heading (from the start when empty) to the next blank line.
std::vector<std::string> itemsOf(const std::string& help, const std::string& heading = "") {
    static const std::regex item("  ([a-z][a-z-]*)( .*)?");
    std::vector<std::string> names;
    std::istringstream lines(help);
    bool inside = heading.empty();
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!inside) {
            inside = line == heading;
        } else if (!heading.empty() && line.empty() && !names.empty()) {
            break;
        } else if (std::regex_match(line, match, item)) {
            names.push_back(match[1]);
        }
    }
    return names;
}

TEST(HelpText, TheTableWalksEveryCommandTheHelpsList) {
    std::set<std::string> walked;
    for (const HelpCase& c : helpCases())
        walked.insert(fs::path(c.program).filename().string() + " " + c.arguments);
    const auto expectWalked = [&](const std::string& prefix,
                                  const std::vector<std::string>& names) {
        EXPECT_FALSE(names.empty()) << prefix;
        for (const std::string& name : names)
            EXPECT_TRUE(walked.contains(prefix + name + " --help")) << prefix + name;
    };
    expectWalked("ksx4ctl ", itemsOf(run(KSX4CTL_PATH, "--help").out, "Commands:"));
    expectWalked("ksx4ctl engineering ", itemsOf(run(KSX4CTL_PATH, "engineering --help").out));
    expectWalked("ksx4ctl archive ", itemsOf(run(KSX4CTL_PATH, "archive --help").out));
    expectWalked("ksx4sim ", itemsOf(run(KSX4SIM_PATH, "--help").out));
}

// After run's "--" the arguments are the started command's own.
TEST(HelpText, Ksx4simRunPassesHelpAfterItsDashesToTheCommand) {
    const fs::path dir = fs::temp_directory_path();
    const ProgramRun result =
        run(KSX4SIM_PATH, "run " + dir.string() + " -- sh -c 'echo \"$0\"' --help");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "--help\n");
}

}  // namespace
}  // namespace ksx4::test
