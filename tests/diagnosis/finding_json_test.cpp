// The findings' order and their JSON form, which scripts read: its keys,
// its nulls and its numbers.
#include "healthy_segment.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace ksx4::diagnosis::test {
namespace {

TEST(FindingOrder, WorstFirstThenInTheOrderOfTheRulesThenByAddress) {
    Visits visits;
    visits.everywhere([](SegmentReading& r) {
        r.voltageMv = 9500;              // voltage-margin, a note
        r.lasAddress.reset();            // no-las, a warning
        device(r, 26).retransmits = 12;  // retransmits-high, a warning
        r.shieldShortCode = 5;           // shield-short, an alarm
    });
    SegmentReading& r = visits.latest;
    r.devices.push_back({.address = 45, .signalMv = 850});  // device-new, a note
    r.devices.push_back({.address = 41, .signalMv = 850});  // device-new, a note
    device(r, 22).status = EntryStatus::Dropped;            // device-dropped, an alarm
    const auto findings = visits.diagnose();
    EXPECT_EQ(codes(findings),
              (QStringList{"shield-short", "device-dropped", "retransmits-high", "no-las",
                           "voltage-margin", "device-new", "device-new"}));
    EXPECT_EQ(findings[5].device, 41);
    EXPECT_EQ(findings[6].device, 45);
    EXPECT_EQ(findings[0].causes.first(),
              QStringLiteral("moisture in a junction box or a connector"));
}

TEST(FindingJson, HasExactlyTheListedKeys) {
    Visits visits;
    device(visits.latest, 22).signalMv = 540;
    visits.latest.lasAddress.reset();
    const auto findings = visits.diagnose();
    ASSERT_EQ(codes(findings), (QStringList{"no-las", "signal-device-down"}));

    const QJsonObject segment = toJson(findings[0]);
    EXPECT_EQ(segment.keys(), (QStringList{"causes", "check", "code", "device", "severity",
                                           "subject", "summary", "values"}));
    EXPECT_EQ(segment[QStringLiteral("subject")].toString(), QStringLiteral("segment"));
    EXPECT_TRUE(segment[QStringLiteral("device")].isNull());
    EXPECT_EQ(segment[QStringLiteral("severity")].toString(), QStringLiteral("warning"));
    EXPECT_TRUE(segment[QStringLiteral("values")].toObject().isEmpty());

    const QJsonObject device = toJson(findings[1]);
    EXPECT_EQ(device[QStringLiteral("code")].toString(), QStringLiteral("signal-device-down"));
    EXPECT_EQ(device[QStringLiteral("subject")].toString(), QStringLiteral("device"));
    EXPECT_EQ(device[QStringLiteral("device")].toInt(), 22);
    EXPECT_EQ(device[QStringLiteral("summary")].toString(), findings[1].summary);
    EXPECT_EQ(device[QStringLiteral("causes")].toArray().size(), findings[1].causes.size());
    EXPECT_EQ(device[QStringLiteral("check")].toString(), findings[1].check);
    const QJsonObject values = device[QStringLiteral("values")].toObject();
    EXPECT_EQ(values[QStringLiteral("baseline_mv")].toDouble(), 820);
    EXPECT_EQ(values[QStringLiteral("signal_mv")].toDouble(), 540);
    EXPECT_EQ(values[QStringLiteral("change_percent")].toDouble(), -34);

    const QJsonArray array = toJson(findings);
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[1].toObject(), device);
    // The document parses back as written (no NaN or infinity slips in).
    EXPECT_EQ(QJsonDocument::fromJson(QJsonDocument(array).toJson()).array(), array);
}

TEST(FindingJson, SeverityNames) {
    EXPECT_EQ(severityName(Severity::Alarm), QStringLiteral("alarm"));
    EXPECT_EQ(severityName(Severity::Warning), QStringLiteral("warning"));
    EXPECT_EQ(severityName(Severity::Note), QStringLiteral("note"));
}

}  // namespace
}  // namespace ksx4::diagnosis::test
