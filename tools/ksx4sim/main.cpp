// ksx4sim: create, inspect and run programs against simulated testers.
#include "commands.h"

#include <iostream>
#include <string_view>
#include <vector>

namespace ksx4::sim {

int usage(std::string_view problem) {
    if (!problem.empty()) std::cerr << "ksx4sim: " << problem << "\n";
    std::cerr << "Usage:\n"
                 "  ksx4sim init DIR [--pa] [--serial N] [--reports N] [--devices N] [--seed N]\n"
                 "               [--varied-names] [--force]\n"
                 "      write a simulated tester with stored reports into DIR/1\n"
                 "  ksx4sim show DIR\n"
                 "      describe the simulated testers in DIR\n"
                 "  ksx4sim run DIR -- COMMAND [ARG...]\n"
                 "      run COMMAND so that it talks to the simulated testers and signal\n"
                 "      generator in DIR\n";
    return kExitUsage;
}

}  // namespace ksx4::sim

int main(int argc, char** argv) {
    using namespace ksx4::sim;
    if (argc < 2) return usage("");
    const std::string_view command = argv[1];
    if (command == "run") return runCommand({argv + 2, static_cast<size_t>(argc - 2)}, argv[0]);
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "init") return initCommand(args);
    if (command == "show") return showCommand(args);
    if (command == "--help" || command == "-h" || command == "help") {
        usage("");
        return kExitDone;
    }
    return usage("unknown command '" + std::string(command) + "'");
}
