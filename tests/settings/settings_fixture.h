#pragma once
// A settings operation against a simulated tester through the real link
// library, with the scripted operator, the virtual clock and fake forms of
// the two editors. Each test gets its own simulator state folder.
#include "core/program_state.h"
#include "recording_link.h"
#include "scripted_operator.h"
#include "settings/limits_form.h"
#include "settings/report_names_form.h"
#include "tester_image.h"

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace ksx4::test {

class FakeLimitsForm final : public LimitsForm {
  public:
    QString text(LimitBox box) const override;
    void setText(LimitBox box, const QString& text) override { boxes[box] = text; }
    QLocale numberFormat() const override { return format; }
    void show() override { shown = true; }
    void hide() override { shown = false; }

    std::map<LimitBox, QString> boxes;
    QLocale format = QLocale::c();
    bool shown = false;
};

class FakeNamesForm final : public ReportNamesForm {
  public:
    QString text(int location) const override { return boxes.at(location - 1); }
    void setText(int location, const QString& text) override { boxes.at(location - 1) = text; }
    void show() override { shown = true; }
    void hide() override { shown = false; }

    std::array<QString, 8> boxes;
    bool shown = false;
};

// A fresh simulator state folder, named in KSX4_SIM_DIR before the link
// library (and with it the simulator) is loaded.
struct SimFolder {
    SimFolder();
    QTemporaryDir root;
    std::filesystem::path dir;
};

class SettingsTest : public ::testing::Test {
  protected:
    // A KSX-4 with the factory settings.
    SettingsTest();

    void putTester(const sim::TesterImage& image);
    sim::TesterImage tester() const;
    std::array<uint8_t, 256> eeprom() const { return tester().eeprom; }
    // The simulator's fault plan (see ksx4sim).
    void setFaults(const std::string& rules);

    SimFolder folder;
    const std::filesystem::path& simDir = folder.dir;
    sim::TesterImage initial;  // what putTester last stored

    VirtualClock clock;
    ScriptedOperator ui{clock};
    RecordingLink recorder;
    ProgramState state{ui, clock, recorder.link()};
};

// A high-byte-first word of an EEPROM copy.
inline uint16_t wordAt(const std::array<uint8_t, 256>& eeprom, int address) {
    const auto a = static_cast<std::size_t>(address);
    return static_cast<uint16_t>(eeprom[a] << 8 | eeprom[a + 1]);
}

}  // namespace ksx4::test
