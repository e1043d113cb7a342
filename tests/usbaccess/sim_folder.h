#pragma once
// A fresh simulator state folder per test, named in KSX4_SIM_DIR before the
// link library is loaded.
#include "tester_image.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ksx4::test {

class SimFolderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void plugIn(const sim::TesterImage& image, int index = 1);
    sim::TesterImage stored(int index = 1);

    std::filesystem::path dir;
};

}  // namespace ksx4::test
