#pragma once
// The ksx4sim commands. Each returns the process exit code: 0 done, 1 failed
// (with a message on stderr), 2 bad arguments.
#include <span>
#include <string_view>

namespace ksx4::sim {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// args: everything after the command name.
int initCommand(std::span<const std::string_view> args);
int showCommand(std::span<const std::string_view> args);
// program: argv[0], used when /proc/self/exe is not available.
int runCommand(std::span<char* const> args, const char* program);

// Prints the usage message to stderr and returns kExitUsage.
int usage(std::string_view problem);

}  // namespace ksx4::sim
