// ksx4sim: create, inspect and run programs against simulated testers.
#include "commands.h"

#include <algorithm>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

namespace ksx4::sim {

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: ksx4sim init DIR [OPTION...]\n"
           "  or:  ksx4sim init DIR --from FILE.json [--force]\n"
           "  or:  ksx4sim show DIR\n"
           "  or:  ksx4sim run DIR -- COMMAND [ARG...]\n"
           "  or:  ksx4sim [init|show|run] --help\n"
           "  or:  ksx4sim --version\n"
           "Creates simulated KSX-4 testers, describes them and runs programs against them.\n"
           "\n"
           "  init DIR  write a simulated tester with stored reports into DIR/1\n"
           "  show DIR  describe the simulated testers in DIR\n"
           "  run DIR   run the COMMAND after -- so that it talks to the simulated\n"
           "            testers and signal generator in DIR\n"
           "\n"
           "Options of init:\n"
           "  --pa            a KSX-4-PA instead of a KSX-4\n"
           "  --serial N      serial number, 0 to 32767 (1001)\n"
           "  --reports N     stored reports, 0 to 8 (8)\n"
           "  --devices N     devices in each report, 0 to 32 (12)\n"
           "  --seed N        another seed gives other measurements (1)\n"
           "  --varied-names  location names such as \"Pump Station A\" instead of \"Report 1\"\n"
           "  --from FILE     the tester and its reports as FILE describes them (JSON:\n"
           "                  kind, serial, firmware_marker, limits, report_names,\n"
           "                  reports); nothing is written when FILE has a fault\n"
           "  --force         overwrite a tester already in DIR/1\n";
}

bool isHelp(std::string_view argument) {
    return argument == "--help" || argument == "-h";
}

// --help (or -h) after a command's name gives the help, whatever the other
// arguments hold. Those of run count up to its "--" only: after it they are
// the started command's own.
bool asksForHelp(std::string_view command, std::span<char* const> args) {
    const auto own = command == "run"
                         ? std::find_if(args.begin(), args.end(),
                                        [](const char* a) { return a == std::string_view("--"); })
                         : args.end();
    return std::any_of(args.begin(), own, [](const char* a) { return isHelp(a); });
}

}  // namespace

int usage(std::string_view problem) {
    if (!problem.empty()) std::cerr << "ksx4sim: " << problem << "\n";
    printUsage(std::cerr);
    return kExitUsage;
}

}  // namespace ksx4::sim

int main(int argc, char** argv) {
    using namespace ksx4::sim;
    if (argc < 2) return usage("");
    const std::string_view command = argv[1];
    const std::span<char* const> after(argv + 2, static_cast<size_t>(argc - 2));
    if ((command == "init" || command == "show" || command == "run") &&
        asksForHelp(command, after)) {
        printUsage(std::cout);
        return kExitDone;
    }
    if (command == "run") return runCommand(after, argv[0]);
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "init") return initCommand(args);
    if (command == "show") return showCommand(args);
    if (isHelp(command) || command == "help") {
        printUsage(std::cout);
        return kExitDone;
    }
    if (command == "--version") {
        std::cout << "ksx4sim " KSX4_PROJECT_VERSION "\n";
        return kExitDone;
    }
    return usage("unknown command '" + std::string(command) + "'");
}
