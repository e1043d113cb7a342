// ksx4sim run: starts a command with the simulator folder (the simulated
// tester's USB access library and the simulated generator's GPIB library)
// first in the search order and KSX4_SIM_DIR pointing at DIR.
#include "commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace ksx4::sim {
namespace {

std::filesystem::path ownFolder(const char* program) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(program, ec);
    return self.parent_path();
}

}  // namespace

int runCommand(std::span<char* const> args, const char* program) {
    if (args.size() < 3 || std::strcmp(args[1], "--") != 0)
        return usage("run needs a folder, then --, then a command");
    std::error_code ec;
    const auto dir = std::filesystem::absolute(args[0], ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        std::cerr << "ksx4sim: " << args[0] << " is not a folder\n";
        return kExitFailed;
    }
    // bin/ksx4sim -> lib/ksx4/sim (the simulators) and lib/ksx4 (the link library).
    const auto lib = (ownFolder(program) / ".." / "lib" / "ksx4").lexically_normal();
    std::string searchPath = (lib / "sim").string() + ":" + lib.string();
    if (const char* old = std::getenv("LD_LIBRARY_PATH"); old && *old)
        searchPath += std::string(":") + old;
    setenv("LD_LIBRARY_PATH", searchPath.c_str(), 1);
    setenv("KSX4_SIM_DIR", dir.c_str(), 1);

    execvp(args[2], args.subspan(2).data());
    std::cerr << "ksx4sim: cannot run " << args[2] << ": " << std::strerror(errno) << "\n";
    return 127;
}

}  // namespace ksx4::sim
