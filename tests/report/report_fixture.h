#pragma once
// A program state with a scripted operator and a blank flash and EEPROM
// image, plus helpers that store report fields and limits the way the
// tester does.
#include "core/program_state.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "settings/memory_map.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdint>

namespace ksx4::test {

class ReportStateTest : public ::testing::Test {
  public:
    VirtualClock clock;
    ScriptedOperator ui{clock};
    LinkLibrary link{"ksx4_com_not_loaded_in_these_tests"};
    ProgramState state{ui, clock, link};

    static constexpr int kSlot = 1;
    const int base = flash::slotBase(kSlot);

    void setByte(int offset, uint8_t value) {
        state.flashImage[static_cast<std::size_t>(base + offset)] = value;
    }
    // Report words are stored low byte first.
    void setWord(int offset, uint16_t value) {
        setByte(offset, static_cast<uint8_t>(value & 0xFF));
        setByte(offset + 1, static_cast<uint8_t>(value >> 8));
    }
    void setBytes(int offset, std::initializer_list<uint8_t> bytes) {
        for (const uint8_t b : bytes) setByte(offset++, b);
    }
    // EEPROM words are stored high byte first.
    void setLimit(const eeprom::Field& field, uint16_t value) {
        state.eepromImage[static_cast<std::size_t>(field.address)] =
            static_cast<uint8_t>(value >> 8);
        state.eepromImage[static_cast<std::size_t>(field.address + 1)] =
            static_cast<uint8_t>(value & 0xFF);
    }
    void setReportName(int location, const QString& name) {
        const eeprom::Field field = eeprom::reportName(location);
        const QByteArray bytes = name.toLatin1().leftJustified(field.length, ' ');
        for (int i = 0; i < field.length; ++i) {
            state.eepromImage[static_cast<std::size_t>(field.address + i)] =
                static_cast<uint8_t>(bytes[i]);
        }
    }
};

}  // namespace ksx4::test
