#include "transfer_fixture.h"

#include "report/transfer.h"
#include "settings/memory_map.h"

#include <QDir>

#include <cstdlib>

namespace ksx4::test {

TransferTest::TransferTest() : root(QDir::tempPath() + QStringLiteral("/ksx4transfer-XXXXXX")) {
    simDir = std::filesystem::path(root.path().toStdString()) / "tester";
    std::filesystem::create_directories(simDir);
    out = root.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
}

void TransferTest::putTester(const sim::TesterImage& image, int index) {
    std::string error;
    ASSERT_TRUE(sim::writeTester(simDir, index, image, &error)) << error;
}

sim::TesterImage TransferTest::tester(int index) const {
    sim::TesterImage image;
    std::string error;
    EXPECT_TRUE(sim::readTester(simDir, index, image, &error)) << error;
    return image;
}

uint16_t TransferTest::eraseIndicator(int index) const {
    const auto image = tester(index);
    const auto address = static_cast<std::size_t>(eeprom::kEraseIndicator.address);
    return static_cast<uint16_t>(image.eeprom[address] << 8 | image.eeprom[address + 1]);
}

void TransferTest::transfer(const QString& folder) {
    ui.folders.push_back(folder);
    outcome = cmddownloaddata_Click(state, session);
}

QStringList TransferTest::workbooks() const {
    QStringList names = QDir(out).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

sim::Report timedReport(const std::string& locationName) {
    sim::Report report;
    report.locationName = locationName;
    report.connectedTicks = kSaved20050315At140759 - 100;
    report.savedTicks = kSaved20050315At140759;
    for (int d = 0; d < 3; ++d) {
        report.devices[static_cast<std::size_t>(d)] =
            sim::DeviceEntry{static_cast<uint8_t>(20 + d), 400, 1, 0, 0};
    }
    report.activeDevices = 3;
    return report;
}

sim::TesterImage ksx4Tester() {
    return sim::blankTester(false, 1001);
}

sim::TesterImage paTester() {
    auto image = sim::blankTester(true, 1002);
    image.flash[32001] = 128;
    return image;
}

}  // namespace ksx4::test
