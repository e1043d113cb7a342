// Testers built from a JSON description: every described value lands in the
// report it names (compared with the same report stored field by field), the
// defaults, the time stamps, and descriptions refused with the field named.
#include "described_tester.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

using sim::DescribedTester;

DescribedTester described(const std::string& json) {
    auto result = sim::describedTester(json);
    if (const auto* problem = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << *problem << "\n" << json;
        return {};
    }
    return std::get<DescribedTester>(std::move(result));
}

std::string refusal(const std::string& json) {
    const auto result = sim::describedTester(json);
    const auto* problem = std::get_if<std::string>(&result);
    return problem ? *problem : "(accepted)";
}

uint32_t ticks(const char* text) {
    return sim::ticksFromText(text).value();
}

void setName(sim::TesterImage& image, int slot, const std::string& name) {
    sim::setEepromText(image, 116 + 15 * (slot - 1), 15, name);
}

TEST(DescribedTester, EveryDescribedValueLandsInItsFieldOfAKsx4Report) {
    const DescribedTester tester = described(R"({
        "kind": "KSX-4", "serial": 2345, "firmware_marker": 0,
        "limits": {"voltage": 10500, "signal": 200, "lf-avg": 100, "lf-peak": 120,
                   "ff-avg": 50, "ff-peak": 60, "hf-avg": 110, "hf-peak": 130,
                   "retransmits": 7},
        "report_names": ["Tank 3", null, "North"],
        "reports": [{
            "slot": 3, "location": "Tank 3 Süd", "comment": "read by nobody",
            "connected": "2026-03-01T09:50", "saved": "2026-03-01T10:30:00",
            "voltage": 23810,
            "lowest_signal": {"value": 540, "address": 23, "time": "2026-03-01T10:00"},
            "noise": {"low": {"avg": 41, "peak": 92, "peak_time": "2026-03-01T10:01"},
                      "fieldbus": {"avg": 7, "peak": 15, "peak_time": "2026-03-01T10:02"},
                      "high": {"avg": 22, "peak": 48, "peak_time": null}},
            "shield_short": 4, "las": 17,
            "add_drop": {"address": 27, "kind": "dropped", "time": "2026-03-01T10:10"},
            "active_devices": 3,
            "devices": [{"address": 20, "signal": 820, "status": "present", "retransmits": 2},
                        {"address": 23, "signal": 540, "status": 9, "entry": 5},
                        {"address": 27, "signal": 0, "status": "dropped"}]
        }]})");
    EXPECT_TRUE(tester.image.flash[0x7500 + 255] != 2);  // slot 1 stays empty
    ASSERT_EQ(tester.reports, 1);
    EXPECT_FALSE(tester.pa);
    EXPECT_EQ(tester.serial, 2345);

    sim::TesterImage expected = sim::blankTester(false, 2345);
    expected.flash[32001] = 0;
    const uint16_t limits[8] = {10500, 200, 100, 120, 50, 60, 110, 130};
    for (int i = 0; i < 8; ++i) sim::setEepromWord(expected, 236 + 2 * i, limits[i]);
    sim::setEepromWord(expected, 112, 7);
    setName(expected, 1, "Tank 3");
    setName(expected, 3, "North");
    sim::Report r;
    r.locationName =
        "Tank 3 S\xFC"
        "d";
    r.connectedTicks = ticks("2026-03-01T09:50");
    r.savedTicks = ticks("2026-03-01T10:30:00");
    r.voltage = 23810;
    r.lowestSignal = 540;
    r.lowestSignalAddress = 23;
    r.lowestSignalTicks = ticks("2026-03-01T10:00");
    r.avgLowNoise = 41;
    r.peakLowNoise = 92;
    r.peakLowTicks = ticks("2026-03-01T10:01");
    r.avgFieldbusNoise = 7;
    r.peakFieldbusNoise = 15;
    r.peakFieldbusTicks = ticks("2026-03-01T10:02");
    r.avgHighNoise = 22;
    r.peakHighNoise = 48;
    r.peakHighTicks = 0;
    r.shieldShort = 4;
    r.lasAddress = 17;
    r.addDropAddress = 27;
    r.addDropKind = 3;
    r.addDropTicks = ticks("2026-03-01T10:10");
    r.activeDevices = 3;
    r.devices[0] = sim::DeviceEntry{20, 820, 1, 0, 2};
    r.devices[4] = sim::DeviceEntry{23, 540, 9, 0, 0};
    r.devices[2] = sim::DeviceEntry{27, 0, 3, 0, 0};
    sim::storeReport(expected, false, 3, r);
    EXPECT_EQ(tester.image.eeprom, expected.eeprom);
    EXPECT_EQ(tester.image.flash, expected.flash);
}

TEST(DescribedTester, APaReportHasItsRolesAndNoneOfTheKsx4Fields) {
    const DescribedTester tester = described(R"({"kind": "KSX-4-PA", "serial": 77,
        "reports": [{"location": "Line 2", "voltage": 19000,
                     "devices": [{"address": 3, "signal": 700, "role": "master"},
                                 {"address": 4, "signal": 650, "role": 0}]}]})");
    EXPECT_TRUE(tester.pa);
    sim::TesterImage expected = sim::blankTester(true, 77);
    setName(expected, 1, "Line 2");
    sim::Report r;
    r.locationName = "Line 2";
    r.voltage = 19000;
    r.lowestSignal = 650;
    r.lowestSignalAddress = 4;
    r.avgLowNoise = 15, r.peakLowNoise = 30;
    r.avgFieldbusNoise = 6, r.peakFieldbusNoise = 12;
    r.avgHighNoise = 20, r.peakHighNoise = 40;
    r.addDropAddress = 255;  // none, in this layout
    r.activeDevices = 2;
    r.devices[0] = sim::DeviceEntry{3, 700, 1, 1, 0};
    r.devices[1] = sim::DeviceEntry{4, 650, 1, 0, 0};
    sim::storeReport(expected, true, 1, r);
    EXPECT_EQ(tester.image.flash, expected.flash);
    EXPECT_EQ(tester.image.eeprom, expected.eeprom);

    for (const char* field : {R"("saved": "2026-01-01T10:00")", R"("las": 16)",
                              R"("lowest_signal": {"time": "2026-01-01T10:00"})"}) {
        std::string json = R"({"kind": "KSX-4-PA", "reports": [{)";
        json.append(field).append("}]}");
        EXPECT_NE(refusal(json).find("KSX-4"), std::string::npos) << field;
    }
    EXPECT_EQ(refusal(R"({"reports": [{"devices": [{"address": 3, "role": "master"}]}]})"),
              "reports[0].devices[0].role: only a KSX-4-PA report stores a bus role");
}

TEST(DescribedTester, DefaultsArePlausibleAndDerivedFromTheDevices) {
    // Nothing described: a tester as it leaves the factory, without reports.
    const DescribedTester empty = described("{}");
    EXPECT_EQ(empty.reports, 0);
    EXPECT_EQ(empty.image.eeprom, sim::blankTester(false, 1001).eeprom);
    EXPECT_EQ(empty.image.flash, sim::blankTester(false, 1001).flash);

    // The lowest signal from the devices still on the segment, the active
    // count without the dropped one, the location from the report name.
    const DescribedTester tester = described(R"({"report_names": [null, "Tank 9"],
        "reports": [{"slot": 2, "saved": "2026-05-04T08:00",
                     "devices": [{"address": 20, "signal": 610},
                                 {"address": 21, "signal": 300, "status": "dropped"},
                                 {"address": 22}]}]})");
    const uint8_t* slot = tester.image.flash.data() + 0x7600;
    auto word = [&](int offset) { return slot[offset] | slot[offset + 1] << 8; };
    auto time = [&](int offset) {
        return uint32_t{slot[offset]} << 24 | slot[offset + 1] << 16 | slot[offset + 2] << 8 |
               slot[offset + 3];
    };
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot), 15), "Tank 9         ");
    EXPECT_EQ(word(26), 610);              // lowest signal
    EXPECT_EQ(word(28), 20);               // its device
    EXPECT_EQ(slot[68], 2);                // active devices
    EXPECT_EQ(word(69 + 5 * 2 + 1), 850);  // a device without a signal
    EXPECT_EQ(word(59), 16);               // a LAS
    EXPECT_EQ(word(61), 65535);            // nothing added or dropped
    EXPECT_EQ(slot[58], 2);                // no shield shorts
    EXPECT_EQ(time(20), ticks("2026-05-04T08:00"));
    // Connected 40 minutes before, to the tick.
    EXPECT_NEAR((time(20) - time(16)) * 2.048, 2400, 2.048);
    for (int offset : {30, 38, 46, 54}) {  // every peak while connected
        EXPECT_GT(time(offset), time(16)) << offset;
        EXPECT_LT(time(offset), time(20)) << offset;
    }
    // A location that can be a report name names its slot.
    const DescribedTester named = described(R"({"reports": [{"location": "Tank 4"}]})");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(named.image.eeprom.data() + 116), 15),
              "Tank 4         ");
    const DescribedTester unnamed = described(R"({"reports": [{"location": "A/B"}]})");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(unnamed.image.eeprom.data() + 116), 15),
              "Report 1       ");
}

TEST(DescribedTester, TimesAreShownAtTheGivenSecondOrUpTo2SecondsAfter) {
    using namespace std::chrono;
    struct Moment {
        const char* text;
        year_month_day date;
        int seconds;  // into the day
    };
    for (const Moment& m :
         std::vector<Moment>{{"2026-03-01T10:30", 2026y / 3 / 1, 10 * 3600 + 30 * 60},
                             {"2026-03-01T10:30:01", 2026y / 3 / 1, 10 * 3600 + 30 * 60 + 1},
                             {"2025-12-31T23:59:57", 2025y / 12 / 31, 86397},
                             {"1973-02-01T16:22:18", 1973y / 2 / 1, 16 * 3600 + 22 * 60 + 18},
                             {"2100-02-28T00:00:07", 2100y / 2 / 28, 7}}) {
        const auto stored = sim::ticksFromText(m.text);
        ASSERT_TRUE(stored) << m.text;
        // What the transfer shows: ticks x 2.048 s, rounded to the second.
        const int64_t shown = (int64_t{*stored} * 2048 + 500) / 1000;
        const int64_t given = (sys_days(m.date) - sys_days(1972y / 1 / 1)) / 1s + m.seconds;
        EXPECT_GE(shown, given) << m.text;
        EXPECT_LE(shown, given + 2) << m.text;
    }
    for (const char* text :
         {"", "2026-03-01", "2026-03-01 10:30", "2026-3-01T10:30", "2026-02-29T10:30",
          "2026-03-01T24:00", "2026-03-01T10:60", "2026-03-01T10:30:60", "2026-03-01T10:30Z",
          "1972-06-01T00:00", "1973-02-01T16:22:15", "2300-01-01T00:00"}) {
        EXPECT_FALSE(sim::ticksFromText(text)) << text;
    }
}

TEST(DescribedTester, BadDescriptionsAreRefusedNamingTheField) {
    struct Case {
        const char* json;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"", "not JSON (line 1, column 1: "},
        {"{\"serial\": 1,\n \"kind\" \"KSX-4\"}", "not JSON (line 2, column "},
        {"[1, 2]", "not a tester description: the text must be one JSON object {...}"},
        {R"({"kind": "KSX-5"})", R"(kind: "KSX-4" or "KSX-4-PA", not "KSX-5")"},
        {R"({"serial": 32768})", "serial: a whole number from 0 to 32767, not 32768"},
        {R"({"serial": 12.5})", "serial: a whole number from 0 to 32767, not 12.5"},
        {R"({"serial": "12"})", R"(serial: a whole number from 0 to 32767, not "12")"},
        {R"({"firmware_marker": -1})", "firmware_marker: a whole number from 0 to 255, not -1"},
        {R"({"colour": "red"})", R"(unknown key "colour")"},
        {R"({"limits": {"signal": 50}})", "limits.signal: a whole number from 100 to 1000, not 50"},
        {R"({"limits": {"lf_avg": 50}})", R"(limits: unknown key "lf_avg")"},
        {R"({"limits": [9000]})", "limits: an object {...}, not a list"},
        {R"({"report_names": ["Tank/3"]})",
         R"(report_names[0]: "Tank/3" holds a character the tester cannot store)"},
        {R"({"report_names": [""]})", "report_names[0]: 1 to 15 characters, not 0"},
        {R"({"report_names": [1,2,3,4,5,6,7,8,9]})", "report_names: at most 8 entries, not 9"},
        {R"({"reports": {}})", "reports: a list [...], not an object"},
        {R"({"reports": [{}, {}, {}, {}, {}, {}, {}, {}, {}]})", "reports: at most 8 entries"},
        {R"({"reports": [{"slot": 2}, {}]})", "reports[1].slot: slot 2 already holds reports[0]"},
        {R"({"reports": [{"slot": 9}]})", "reports[0].slot: a whole number from 1 to 8, not 9"},
        {R"({"reports": [{"location": "Sixteen letters!"}]})",
         "reports[0].location: 0 to 15 characters, not 16"},
        {R"({"reports": [{"location": "Tank\u0007"}]})",
         "reports[0].location: \"Tank\a\" holds a character the tester cannot store"},
        {R"({"reports": [{"location": "Tank €"}]})",
         R"(reports[0].location: "Tank €" holds a character the tester cannot store)"},
        {R"({"reports": [{"saved": "2026-02-30T10:00"}]})",
         R"(reports[0].saved: a time YYYY-MM-DDTHH:MM[:SS] from 1973-02-01T16:22:18 on, or null, not "2026-02-30T10:00")"},
        {R"({"reports": [{"voltage": 65536}]})",
         "reports[0].voltage: a whole number from 0 to 65535"},
        {R"({"reports": [{"voltge": 24000}]})", R"(reports[0]: unknown key "voltge")"},
        {R"({"reports": [{"noise": {"low": {"avg": 1e6}}}]})",
         "reports[0].noise.low.avg: a whole number from 0 to 65535, not 1000000"},
        {R"({"reports": [{"noise": {"mid": {}}}]})", R"(reports[0].noise: unknown key "mid")"},
        {R"({"reports": [{"lowest_signal": 540}]})",
         "reports[0].lowest_signal: an object {...}, not 540"},
        {R"({"reports": [{"las": 256}]})", "reports[0].las: a whole number from 0 to 255"},
        {R"({"reports": [{"add_drop": {"kind": "dropped"}}]})",
         "reports[0].add_drop.address: missing"},
        {R"({"reports": [{"add_drop": {"address": 5, "kind": "lost"}}]})",
         R"(reports[0].add_drop.kind: "added", "dropped", or a code from 0 to 255, not "lost")"},
        {R"({"reports": [{"devices": [{"signal": 800}]}]})",
         "reports[0].devices[0].address: missing"},
        {R"({"reports": [{"devices": [{"address": 20}, {"address": 20}]}]})",
         "reports[0].devices[1].address: 20 stands twice in this report"},
        {R"({"reports": [{"devices": [{"address": 20, "entry": 2}, {"address": 21}]}]})",
         "reports[0].devices[1].entry: entry 2 is taken"},
        {R"({"reports": [{"devices": [{"address": 20, "status": 0}]}]})",
         "reports[0].devices[0].status: \"present\", \"added\", \"dropped\", or a code from 1"},
        {R"({"reports": [{"devices": [{"address": 20, "retransmits": 256}]}]})",
         "reports[0].devices[0].retransmits: a whole number from 0 to 255"},
        {R"({"reports": [{"devices": "many"}]})",
         R"(reports[0].devices: a list [...], not "many")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(refusal(c.json).rfind(c.reason, 0), 0u) << c.json << "\n" << refusal(c.json);

    std::string devices;
    for (int d = 0; d < 33; ++d)
        devices.append(d ? ",{\"address\":" : "{\"address\":")
            .append(std::to_string(d))
            .append("}");
    EXPECT_EQ(refusal(R"({"reports": [{"devices": [)" + devices + "]}]}"),
              "reports[0].devices: at most 32 entries, not 33");
}

TEST(DescribedTester, AFileThatCannotBeADescriptionIsNamed) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("described-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto missing = sim::readDescribedTester(dir / "none.json");
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_EQ(std::get<std::string>(missing).rfind((dir / "none.json").string() + ": ", 0), 0u);

    const auto huge = dir / "huge.json";
    std::ofstream(huge).put('{');
    std::filesystem::resize_file(huge, (1 << 20) + 1);
    const auto tooLarge = sim::readDescribedTester(huge);
    ASSERT_TRUE(std::holds_alternative<std::string>(tooLarge));
    EXPECT_NE(std::get<std::string>(tooLarge).find("at most 1 MiB"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ksx4::test
