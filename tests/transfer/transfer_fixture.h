#pragma once
// A transfer against a simulated tester through the real link library, with
// the scripted operator and virtual clock. Each test process gets its own
// simulator state folder and output folder.
#include "core/outcome.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "report/transfer_session.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include <filesystem>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace ksx4::test {

// How often text was set as the status.
inline long timesShown(const std::vector<QString>& history, const QString& text) {
    return std::count(history.begin(), history.end(), text);
}

// 2005-03-15 14:07:59 (and a half second), in 2.048-second ticks from 1972.
inline constexpr uint32_t kSaved20050315At140759 = 511632656;
inline const QString kSavedStamp = QStringLiteral("2005-03-15 14-07");

class TransferTest : public ::testing::Test {
  protected:
    TransferTest();

    // Writes the tester into simulator folder DIR/index.
    void putTester(const sim::TesterImage& image, int index = 1);
    sim::TesterImage tester(int index = 1) const;
    // The erase-all indicator word of the tester's EEPROM.
    uint16_t eraseIndicator(int index = 1) const;

    // Runs the transfer with folder as the folder browser's answer, keeping
    // its outcome.
    void transfer(const QString& folder);
    void transfer() { transfer(out); }

    // File names in the output folder, sorted.
    QStringList workbooks() const;
    QString outFile(const QString& name) const { return out + QLatin1Char('/') + name; }

    QTemporaryDir root;
    std::filesystem::path simDir;
    QString out;

    VirtualClock clock;
    ScriptedOperator ui{clock};
    LinkLibrary link;
    ProgramState state{ui, clock, link};
    TransferSession session;
    Outcome outcome = Outcome::Failed;  // of the last transfer
};

// A KSX-4 report saved at a known moment, with a few devices.
sim::Report timedReport(const std::string& locationName);
sim::TesterImage ksx4Tester();
// A KSX-4-PA tester with the marker its firmware carries (128).
sim::TesterImage paTester();

}  // namespace ksx4::test
