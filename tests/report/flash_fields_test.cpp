#include "report/flash_fields.h"

#include "report/record_layout.h"
#include "report_fixture.h"

namespace ksx4::test {
namespace {

using FlashFieldsTest = ReportStateTest;

TEST_F(FlashFieldsTest, SlotStatusAndChecksum) {
    // Erased flash and a zero status byte are both empty slots.
    state.flashImage.fill(0xFF);
    EXPECT_FALSE(slotHoldsReport(state, kSlot));
    setByte(flash::kSlotStatusOffset, 0);
    EXPECT_FALSE(slotHoldsReport(state, kSlot));
    setByte(flash::kSlotStatusOffset, 2);
    EXPECT_TRUE(slotHoldsReport(state, kSlot));

    // All zero bytes with a zero checksum pass.
    for (int offset = 0; offset <= flash::kSlotChecksumOffset; ++offset) setByte(offset, 0);
    EXPECT_TRUE(slotChecksumGood(state, kSlot));

    // 200 + 100 + 0xFF wraps twice: 555 - 512 = 43. The status byte is not summed.
    setBytes(0, {200, 100});
    setByte(253, 0xFF);
    setByte(flash::kSlotChecksumOffset, 43);
    setByte(flash::kSlotStatusOffset, 99);
    EXPECT_TRUE(slotChecksumGood(state, kSlot));
    setByte(flash::kSlotChecksumOffset, 44);
    EXPECT_FALSE(slotChecksumGood(state, kSlot));
}

TEST_F(FlashFieldsTest, WordsAreLowByteFirstAndTextIsKeptWhole) {
    setBytes(26, {0xCA, 0x08});
    EXPECT_EQ(readFlashField(state, base + 26, 2, FlashFieldKind::Number), "2250");
    setBytes(26, {0x08, 0xCA});
    EXPECT_EQ(readFlashField(state, base + 26, 2, FlashFieldKind::Number), "51720");
    EXPECT_EQ(readFlashField(state, base + 26, 1, FlashFieldKind::Number), "8");

    setBytes(0, {'T', 'a', 'n', 'k', 0xE9, ' ', ' '});
    EXPECT_EQ(readFlashField(state, base, 7, FlashFieldKind::Text),
              QString::fromUtf8("Tank\u00e9  "));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FlashFieldsTest, FieldsOutsideTheImageAreRefused) {
    for (const auto& [start, length, kind] :
         {std::tuple{-1, 1, FlashFieldKind::Number}, std::tuple{32768, 1, FlashFieldKind::Number},
          std::tuple{32767, 2, FlashFieldKind::Number},
          std::tuple{32766, 4, FlashFieldKind::TimeStamp},
          std::tuple{32760, 15, FlashFieldKind::Text}}) {
        ui.messages.clear();
        EXPECT_EQ(readFlashField(state, start, length, kind), QString()) << start;
        ASSERT_EQ(ui.messages.size(), 1u) << start;
        EXPECT_EQ(ui.messages[0].text, "Error Extracting data from Raw Array");
        EXPECT_EQ(ui.messages[0].icon, Icon::None);
    }
    EXPECT_EQ(readFlashField(state, 32767, 1, FlashFieldKind::Number), "0");
}

TEST_F(FlashFieldsTest, TimeStamps) {
    const QLocale us("en_US");
    setBytes(16, {0x00, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(readFlashField(state, base + 16, 4, FlashFieldKind::TimeStamp, us), "Not Available");
    EXPECT_FALSE(flashTimeStamp(state, base + 16));

    // 16777216 ticks are 34359738.368 seconds.
    setBytes(16, {0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(flashTimeStamp(state, base + 16),
              QDateTime(QDate(1973, 2, 1), QTime(16, 22, 18), Qt::UTC));
    EXPECT_EQ(readFlashField(state, base + 16, 4, FlashFieldKind::TimeStamp, us),
              " 2/1/73 4:22:18 PM");
    EXPECT_EQ(readFlashField(state, base + 16, 4, FlashFieldKind::TimeStamp, QLocale::c()),
              " 1 Feb 1973 16:22:18");

    // Rounded to the nearest second: 16777217 ticks are 34359740.416 s,
    // 16777219 ticks 34359744.512 s, 16777471 ticks 34360260.608 s.
    for (const auto& [bytes, seconds] :
         {std::pair{std::array<uint8_t, 4>{0x01, 0, 0, 1}, 34359740},
          std::pair{std::array<uint8_t, 4>{0x01, 0, 0, 3}, 34359745},
          std::pair{std::array<uint8_t, 4>{0x01, 0, 0, 0xFF}, 34360261}}) {
        setBytes(16, {bytes[0], bytes[1], bytes[2], bytes[3]});
        EXPECT_EQ(flashTimeStamp(state, base + 16),
                  QDateTime(QDate(1972, 1, 1), QTime(0, 0), Qt::UTC).addSecs(seconds));
    }
    // The largest stamp lies in 2250 and is still a valid moment.
    setBytes(16, {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(flashTimeStamp(state, base + 16)->date().year(), 2250);
}

TEST(GeneralDateText, MidnightShowsTheDateAloneAndNoZoneIsWritten) {
    const QDateTime midnight(QDate(2005, 3, 15), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(generalDateText(midnight, QLocale("en_US")), "3/15/05");
    EXPECT_EQ(generalDateText(midnight.addSecs(1), QLocale("en_US")), "3/15/05 12:00:01 AM");
    EXPECT_EQ(generalDateText(midnight.addSecs(14 * 3600 + 7 * 60 + 59), QLocale("de_DE")),
              "15.03.05 14:07:59");
    // Some locales put the zone in brackets: they go with it.
    EXPECT_EQ(generalDateText(midnight.addSecs(14 * 3600 + 7 * 60 + 59), QLocale("es_ES")),
              "15/3/05 14:07:59");
}

TEST_F(FlashFieldsTest, DeviceEntriesAreCountedWhereverTheyLie) {
    for (const uint16_t type : {uint16_t{kKsx4}, uint16_t{kKsx4Pa}}) {
        state.testerType = type;
        state.flashImage.fill(0);
        const record::Layout& layout = type == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
        auto setStatus = [&](int entry, uint8_t status) {
            setByte(record::deviceEntryOffset(layout, entry) + layout.entryStatus, status);
        };
        // An entry with status 0 is empty whatever else it holds.
        setByte(record::deviceEntryOffset(layout, 3), 0x55);
        EXPECT_EQ(countDeviceEntries(state, kSlot), 0);
        setStatus(2, 1);  // address 0 still counts
        setStatus(7, 9);  // unrecognised status counts too
        setStatus(32, 3);
        EXPECT_EQ(countDeviceEntries(state, kSlot), 3) << type;
    }
}

}  // namespace
}  // namespace ksx4::test
