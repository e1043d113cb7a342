// An archived report read for the findings: a simulated tester's memory
// with a report in each layout, filled and judged as the transfer does,
// stored in a real SQLite archive and read back.
#include "archive_engines.h"
#include "healthy_segment.h"
#include "report/fill_report.h"
#include "report/flash_fields.h"
#include "report/report_record.h"
#include "report/segment_reading.h"
#include "sheet_fixture.h"
#include "tester_image.h"

#include <QTimeZone>

namespace ksx4::test {
namespace {

using diagnosis::AddDrop;
using diagnosis::EntryStatus;
using diagnosis::NoiseBand;

// 2.048-second ticks from 1 January 1972: 125 of them are 256 whole seconds.
constexpr uint32_t kSavedTicks = 125u * 6'000'000u;

sim::Report describedReport(bool pa) {
    sim::Report r;
    r.locationName = "Tank 3";
    r.savedTicks = kSavedTicks;
    r.connectedTicks = kSavedTicks - 1000;
    r.voltage = 9400;
    r.lowestSignal = 140;
    r.lowestSignalAddress = 22;
    r.avgFieldbusNoise = 11, r.peakFieldbusNoise = 41;
    r.avgLowNoise = 160, r.peakLowNoise = 180;
    r.avgHighNoise = 13, r.peakHighNoise = 43;
    r.shieldShort = 4;
    r.lasAddress = pa ? 65535 : 16;
    r.addDropAddress = 27;
    r.addDropKind = 3;
    r.activeDevices = 3;
    r.devices[0] = sim::DeviceEntry{.address = 20, .signal = 820, .status = 1, .retransmits = 2};
    r.devices[4] = sim::DeviceEntry{.address = 22, .signal = 140, .status = 1, .retransmits = 0};
    r.devices[8] = sim::DeviceEntry{.address = 27, .signal = 0, .status = 3, .retransmits = 7};
    r.devices[11] = sim::DeviceEntry{.address = 31, .signal = 790, .status = 2, .retransmits = 1};
    r.devices[13] = sim::DeviceEntry{.address = 33, .signal = 800, .status = 9, .retransmits = 1};
    return r;
}

class ArchivedReading : public ReportSheetTest,
                        public ::testing::WithParamInterface<bool>,
                        protected FreshArchive {
  protected:
    void SetUp() override { make(Engine::Sqlite); }

    // The report as the transfer archives it, read back from the archive.
    std::optional<archive::ArchivedReport> archivedAndReadBack(bool pa) {
        sim::TesterImage image = sim::blankTester(pa, 1001);
        sim::storeReport(image, pa, kSlot, describedReport(pa));
        std::copy(image.flash.begin(), image.flash.end(), state.flashImage.begin());
        std::copy(image.eeprom.begin(), image.eeprom.end(), state.eepromImage.begin());
        state.testerType = pa ? kKsx4Pa : kKsx4;
        setLimit(eeprom::kVoltageLimit, 9000);
        setLimit(eeprom::kSignalLimit, 150);
        setLimit(eeprom::kAvgFieldbusNoiseLimit, 75);
        setLimit(eeprom::kPeakFieldbusNoiseLimit, 76);
        setLimit(eeprom::kAvgLowNoiseLimit, 150);
        setLimit(eeprom::kPeakLowNoiseLimit, 151);
        setLimit(eeprom::kAvgHighNoiseLimit, 152);
        setLimit(eeprom::kPeakHighNoiseLimit, 153);
        setLimit(eeprom::kRetransmitLimit, 5);
        std::vector<archive::JudgedValue> judged;
        const QLocale us(QStringLiteral("en_US"));
        EXPECT_TRUE(
            fillReport(state, session, kSlot, base, countDeviceEntries(state, kSlot), us, &judged));
        const archive::ArchivedReport report = archivedReport(
            state, kSlot, std::move(judged), folder.filePath(QStringLiteral("none.xls")),
            QDateTime(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc()), us);

        auto opened = archive::Archive::open(location);
        auto& archive = std::get<std::unique_ptr<archive::Archive>>(opened);
        const auto stored = std::get<archive::StoreResult>(archive->store(report));
        return std::get<std::optional<archive::ArchivedReport>>(archive->report(stored.id));
    }
};

TEST_P(ArchivedReading, HoldsTheReportsValuesAndLimits) {
    if (IsSkipped()) return;
    const bool pa = GetParam();
    const auto archived = archivedAndReadBack(pa);
    ASSERT_TRUE(archived);
    const auto reading = segmentReading(*archived);
    ASSERT_TRUE(reading);
    const diagnosis::SegmentReading& r = *reading;

    EXPECT_EQ(r.reportId, archived->summary.id);
    EXPECT_EQ(r.segment, QStringLiteral("Tank 3"));
    EXPECT_EQ(r.time, archived->summary.reportTime());
    if (!pa) {
        const QDateTime saved = QDateTime(QDate(1972, 1, 1), QTime(0, 0), QTimeZone::utc())
                                    .addSecs(qint64(kSavedTicks) / 125 * 256);
        EXPECT_EQ(r.time, saved.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    }
    EXPECT_EQ(r.testerKind, pa ? diagnosis::TesterKind::Ksx4Pa : diagnosis::TesterKind::Ksx4);
    EXPECT_EQ(r.voltageMv, 9400);
    EXPECT_EQ(r.voltageLimitMv, 9000);
    EXPECT_EQ(r.lowestSignalMv, 140);
    EXPECT_EQ(r.lowestSignalAddress, 22);
    EXPECT_EQ(r.signalLimitMv, 150);
    const auto band = [&](NoiseBand b) {
        const diagnosis::NoiseReading& n = r.band(b);
        return std::vector<std::optional<int>>{n.avgMv, n.peakMv, n.avgLimitMv, n.peakLimitMv};
    };
    using V = std::vector<std::optional<int>>;
    EXPECT_EQ(band(NoiseBand::Fieldbus), (V{11, 41, 75, 76}));
    EXPECT_EQ(band(NoiseBand::Low), (V{160, 180, 150, 151}));
    EXPECT_EQ(band(NoiseBand::High), (V{13, 43, 152, 153}));
    EXPECT_EQ(r.shieldShortCode, 4);
    EXPECT_EQ(r.addDrop, AddDrop::Dropped);
    EXPECT_EQ(r.addDropAddress, 27);
    EXPECT_EQ(r.lasAddress, pa ? std::nullopt : std::optional<int>(16));
    EXPECT_EQ(r.activeDevices, 3);
    EXPECT_EQ(r.retransmitLimit, 5);

    ASSERT_EQ(r.devices.size(), 5u);
    const std::vector<std::tuple<int, int, EntryStatus, int>> expected{
        {20, 820, EntryStatus::Present, 2},
        {22, 140, EntryStatus::Present, 0},
        {27, 0, EntryStatus::Dropped, 7},
        {31, 790, EntryStatus::Added, 1},
        {33, 800, EntryStatus::Unknown, 1}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [address, signal, status, retransmits] = expected[i];
        EXPECT_EQ(r.devices[i].address, address);
        EXPECT_EQ(r.devices[i].signalMv, signal);
        EXPECT_EQ(r.devices[i].status, status);
        EXPECT_EQ(r.devices[i].retransmits, retransmits);
    }

    // What the report holds, read as findings.
    EXPECT_EQ(
        diagnosis::test::codes(diagnosis::diagnose(r, nullptr, {})),
        (QStringList{"signal-low", "noise-high", "shield-short", "device-dropped",
                     "signal-noise-margin", "retransmits-high", "voltage-margin", "device-added"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ArchivedReading, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Ksx4Pa" : "Ksx4"; });

// Archive contents are untrusted: source bytes of another length or an
// unknown tester kind are not read as a report.
TEST(ArchivedReadingRefused, WhenTheSourceBytesAreNotOneSlotOrTheKindIsUnknown) {
    archive::ArchivedReport report;
    report.slotBytes = QByteArray(archive::kSourceBytes, '\0');
    EXPECT_TRUE(segmentReading(report));
    report.summary.testerKind = 2;
    EXPECT_FALSE(segmentReading(report));
    report.summary.testerKind = 0;
    report.slotBytes.chop(1);
    EXPECT_FALSE(segmentReading(report));
    report.slotBytes.clear();
    EXPECT_FALSE(segmentReading(report));
}

}  // namespace
}  // namespace ksx4::test
