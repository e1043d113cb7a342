#include "sim_folder.h"

#include <stdlib.h>

namespace ksx4::test {

void SimFolderTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ksx4-sim-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    setenv("KSX4_SIM_DIR", dir.c_str(), 1);
}

void SimFolderTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void SimFolderTest::plugIn(const sim::TesterImage& image, int index) {
    std::string error;
    ASSERT_TRUE(sim::writeTester(dir, index, image, &error)) << error;
}

sim::TesterImage SimFolderTest::stored(int index) {
    sim::TesterImage image;
    std::string error;
    EXPECT_TRUE(sim::readTester(dir, index, image, &error)) << error;
    return image;
}

}  // namespace ksx4::test
