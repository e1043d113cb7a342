// The engineering procedures end to end: the real link library against the
// simulated tester and the program's GPIB binding against the simulated
// generator, with the scripted operator and virtual clock.
#include "core/end_program.h"
#include "core/program_state.h"
#include "engineering/cal_form.h"
#include "engineering/cal_handlers.h"
#include "engineering/noise_calibration.h"
#include "engineering/noise_test.h"
#include "platform/gpib_binding.h"
#include "platform/link_library.h"
#include "procedure_fixture.h"
#include "tester_image.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace ksx4::test {
namespace {

std::string joinedLines(const Commands& commands) {
    std::string text;
    for (const std::string& command : commands) text += command + "\n";
    return text;
}

class ProceduresOnSimulatorsTest : public ::testing::Test {
  protected:
    ProceduresOnSimulatorsTest() : root(QDir::tempPath() + QStringLiteral("/ksx4eng-XXXXXX")) {
        dir = root.path().toStdString();
        ::setenv("KSX4_SIM_DIR", dir.c_str(), 1);
        // A tester whose settings all differ from the factory's.
        before = sim::blankTester(false, 1001);
        for (int location = 1; location <= 8; ++location) {
            sim::setEepromText(before, 116 + 15 * (location - 1), 15,
                               "Pump " + std::to_string(location));
        }
        for (int address = 0; address < 112; address += 2) {
            sim::setEepromWord(before, address, static_cast<uint16_t>(7000 + address));
        }
        for (int address = 236; address <= 250; address += 2)
            sim::setEepromWord(before, address, 99);
        sim::setEepromWord(before, 112, 5);
        // Not 21845: the simulated tester would erase its reports and clear it.
        sim::setEepromWord(before, 114, 1234);
        sim::setEepromWord(before, 252, 77);
        EXPECT_TRUE(sim::writeTester(dir, 1, before));
    }

    sim::TesterImage tester() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(dir, 1, image));
        return image;
    }
    std::string generatorLog() const {
        std::ifstream file(dir / "generator.log", std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    // The eight default names and limits, and the DC calibration.
    void expectFactoryDefaults(const sim::TesterImage& image) const {
        for (int location = 1; location <= 8; ++location) {
            const auto at = static_cast<std::size_t>(116 + 15 * (location - 1));
            const std::string stored(image.eeprom.begin() + static_cast<long>(at),
                                     image.eeprom.begin() + static_cast<long>(at + 15));
            EXPECT_EQ(stored, "Report " + std::to_string(location) + "       ");
        }
        const std::array<uint16_t, 8> limits{9000, 150, 150, 150, 75, 75, 150, 150};
        for (std::size_t i = 0; i < limits.size(); ++i) {
            EXPECT_EQ(wordAt(image.eeprom, 236 + 2 * static_cast<int>(i)), limits[i]);
        }
        for (const auto& [address, value] : {std::pair{0, 3160}, {2, 2160}, {4, 212}, {6, 0}}) {
            EXPECT_EQ(wordAt(image.eeprom, address), value) << address;
        }
    }

    QTemporaryDir root;
    std::filesystem::path dir;
    sim::TesterImage before;
    VirtualClock clock;
    ScriptedOperator ui{clock};
    LinkLibrary link;
    GpibBinding gpib;
    ProgramState state{ui, clock, link};
    RecordingWindow window;
    AnswerBook book{ui};
    CalTexts form;
};

TEST_F(ProceduresOnSimulatorsTest, CalibrationLeavesTheTableInTheTesterAndEveryCommandLogged) {
    book.answer(kPaQuestion, Answer::No);
    queueCalibrationInputs(ui, "23", kExampleReadings, "4321");

    ASSERT_EQ(mnuManCal_Click(state, window, gpib), Outcome::Done) << gpib.loadError();

    const sim::TesterImage after = tester();
    for (const int band : {8, 44, 80}) EXPECT_EQ(rowsAt(after.eeprom, band), kExampleRows);
    EXPECT_EQ(wordAt(after.eeprom, 252), 23);
    EXPECT_EQ(wordAt(after.eeprom, 112), 0);
    EXPECT_EQ(wordAt(after.eeprom, 114), 0);
    EXPECT_EQ(wordAt(after.eeprom, 254), 4321);
    expectFactoryDefaults(after);
    // The areas between the bands are no one's.
    EXPECT_EQ(wordAt(after.eeprom, 32), 7032);
    EXPECT_EQ(wordAt(after.eeprom, 104), 7104);
    EXPECT_EQ(generatorLog(), joinedLines(calibrationCommands()));
    EXPECT_EQ(ui.status(), "KSX-4 calibration complete");
}

TEST_F(ProceduresOnSimulatorsTest, NoiseTestWritesItsCommandsAndLeavesTheTesterAlone) {
    EXPECT_EQ(mnuManTest_Click(state, window, gpib), Outcome::Done) << gpib.loadError();
    EXPECT_EQ(generatorLog(), joinedLines(noiseTestCommands()));
    EXPECT_EQ(tester().eeprom, before.eeprom);
}

TEST_F(ProceduresOnSimulatorsTest, DefaultDataTouchesOnlyNamesLimitsAndDcCalibration) {
    EXPECT_EQ(cmdSaveDefaultData_Click(state, form), Outcome::Done);

    sim::TesterImage after = tester();
    expectFactoryDefaults(after);
    // Everything else as it was: put the defaults' fields back and compare.
    for (int address = 116; address < 252; ++address) {
        after.eeprom[static_cast<std::size_t>(address)] =
            before.eeprom[static_cast<std::size_t>(address)];
    }
    for (int address = 0; address < 8; ++address) {
        after.eeprom[static_cast<std::size_t>(address)] =
            before.eeprom[static_cast<std::size_t>(address)];
    }
    EXPECT_EQ(after.eeprom, before.eeprom);
    EXPECT_EQ(ui.status(), "Default data write complete");
}

TEST_F(ProceduresOnSimulatorsTest, FailureAtLocationFiveLeavesTheLaterFieldsAsTheyWere) {
    // Each EEPROM write is a write and a read-back exchange: the ninth
    // exchange is location 5's write.
    sim::setFaults(dir, "9 write-timeout\n");

    EXPECT_THROW(cmdSaveDefaultData_Click(state, form), EndProgram);

    const sim::TesterImage after = tester();
    for (int location = 1; location <= 4; ++location) {
        const auto at = static_cast<std::size_t>(116 + 15 * (location - 1));
        EXPECT_EQ(std::string(after.eeprom.begin() + static_cast<long>(at),
                              after.eeprom.begin() + static_cast<long>(at + 15)),
                  "Report " + std::to_string(location) + "       ");
    }
    // From location 5 on, nothing changed.
    EXPECT_TRUE(
        std::equal(after.eeprom.begin() + 176, after.eeprom.end(), before.eeprom.begin() + 176));
    EXPECT_TRUE(
        std::equal(after.eeprom.begin(), after.eeprom.begin() + 116, before.eeprom.begin()));
    EXPECT_EQ(ui.messages.back().text,
              "Unable to save default data\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
    EXPECT_EQ(ui.list.back(), "TessCommCloseDevice");
}

}  // namespace
}  // namespace ksx4::test
