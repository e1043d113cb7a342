// `ksx4sim run T -- program` alone (no search path of the caller) makes the
// program's libgpib.so.0 the simulated generator, logging into T.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ksx4::test {
namespace {

TEST(Ksx4simRun, PicksTheSimulatedGenerator) {
    std::string dir = (std::filesystem::temp_directory_path() / "ksx4-gpib-run-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string command = std::string("env -u LD_LIBRARY_PATH -u KSX4_SIM_DIR ") +
                                KSX4SIM_PATH + " run " + dir + " -- " + GPIB_PROBE_PATH +
                                " '*RST' 'APPL:SIN 1000,16E-3,0' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    std::ifstream file(std::filesystem::path(dir) / "generator.log");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
              "*RST\nAPPL:SIN 1000,16E-3,0\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace ksx4::test
