#include "settings_fixture.h"

#include <QDir>

#include <cstdlib>

namespace ksx4::test {

QString FakeLimitsForm::text(LimitBox box) const {
    const auto found = boxes.find(box);
    return found == boxes.end() ? QString() : found->second;
}

SimFolder::SimFolder() : root(QDir::tempPath() + QStringLiteral("/ksx4settings-XXXXXX")) {
    dir = std::filesystem::path(root.path().toStdString()) / "tester";
    std::filesystem::create_directories(dir);
    ::setenv("KSX4_SIM_DIR", dir.c_str(), 1);
}

SettingsTest::SettingsTest() {
    putTester(sim::blankTester(false, 1001));
}

void SettingsTest::putTester(const sim::TesterImage& image) {
    std::string error;
    ASSERT_TRUE(sim::writeTester(simDir, 1, image, &error)) << error;
    initial = image;
}

sim::TesterImage SettingsTest::tester() const {
    sim::TesterImage image;
    std::string error;
    EXPECT_TRUE(sim::readTester(simDir, 1, image, &error)) << error;
    return image;
}

void SettingsTest::setFaults(const std::string& rules) {
    sim::setFaults(simDir, rules);
}

}  // namespace ksx4::test
