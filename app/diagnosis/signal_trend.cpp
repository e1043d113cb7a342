// signal-falling: a device whose signal fell report after report, and when
// a straight line through those reports reaches the signal limit.
#include "diagnosis/devices.h"
#include "diagnosis/rules.h"
#include "diagnosis/thresholds.h"
#include "diagnosis/wording.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace ksx4::diagnosis::rules {
namespace {

using namespace wording;
constexpr const Thresholds& t = kThresholds;
constexpr double kMsPerDay = 86'400'000.0;

// The report time "YYYY-MM-DDTHH:MM:SS" as milliseconds since 1970, read
// as UTC so that no daylight saving shift bends the line. Read by hand: a
// trend over a long history reads hundreds of times.
std::optional<int64_t> reportMs(const QString& time) {
    if (time.size() < 19) return std::nullopt;
    const auto number = [&](int from, int digits) -> std::optional<int> {
        int value = 0;
        for (int i = from; i < from + digits; ++i) {
            const QChar c = time[i];
            if (c < u'0' || c > u'9') return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    if (time[4] != u'-' || time[7] != u'-' || time[10] != u'T' || time[13] != u':' ||
        time[16] != u':') {
        return std::nullopt;
    }
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    const int64_t days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return (days * 86'400 + *hour * 3'600 + *minute * 60 + *second) * int64_t{1000};
}

// Each report's time read once, when a trend first needs it.
class ReportTimes {
  public:
    std::optional<int64_t> of(const SegmentReading& report) {
        auto [it, added] = times_.try_emplace(&report);
        if (added) it->second = reportMs(report.time);
        return it->second;
    }

  private:
    std::unordered_map<const SegmentReading*, std::optional<int64_t>> times_;
};

struct Point {
    const SegmentReading* report;
    int signalMv;
};

// The least-squares line's mV per day and its moment at the limit; empty
// when the times do not spread (or fail to read) or the line does not fall.
struct Projection {
    double slopeMvPerDay;
    int64_t reachesLimitMs;
};
std::optional<Projection> project(const std::vector<Point>& run, int limitMv, ReportTimes& times) {
    std::vector<double> days;
    std::optional<int64_t> origin;
    for (const Point& p : run) {
        const std::optional<int64_t> ms = times.of(*p.report);
        if (!ms) return std::nullopt;
        if (!origin) origin = *ms;
        days.push_back(double(*ms - *origin) / kMsPerDay);
    }
    const double n = double(run.size());
    double sx = 0, sy = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        sx += days[i];
        sy += run[i].signalMv;
    }
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        sxx += (days[i] - mx) * (days[i] - mx);
        sxy += (days[i] - mx) * (run[i].signalMv - my);
    }
    if (sxx <= 0) return std::nullopt;
    const double slope = sxy / sxx;
    if (slope >= 0) return std::nullopt;
    const double atLimitDays = mx + (limitMv - my) / slope;
    const double ms = double(*origin) + atLimitDays * kMsPerDay;
    if (!std::isfinite(ms) || std::abs(ms) > 8.0e15) return std::nullopt;  // beyond any date
    return Projection{slope, static_cast<int64_t>(std::llround(ms))};
}

QString monthOf(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM"));
}

}  // namespace

void signalFalling(const SegmentReading& latest, std::span<const SegmentReading> history,
                   Findings& out) {
    ReportTimes times;
    for (const DeviceReading* device : liveDevices(latest)) {
        // Back from the latest report while each earlier signal is higher.
        std::vector<Point> run{{&latest, *device->signalMv}};
        for (auto it = history.rbegin(); it != history.rend(); ++it) {
            if (it->reportId == latest.reportId) continue;  // the latest passed twice
            const DeviceReading* earlier = deviceAt(*it, device->address);
            if (earlier == nullptr || !isLive(*earlier)) break;
            if (*earlier->signalMv <= run.back().signalMv) break;
            run.push_back({&*it, *earlier->signalMv});
        }
        const int falls = static_cast<int>(run.size()) - 1;
        if (falls < t.fallingReportsMin) continue;
        std::reverse(run.begin(), run.end());
        const int from = run.front().signalMv;
        const int to = run.back().signalMv;
        const double ratio = double(to) / from;
        if (double(from - to) / from < t.fallingTotal) continue;

        const QString since = date(run.front().report->time);
        QList<std::pair<QString, double>> values{
            {QStringLiteral("from_mv"), from},
            {QStringLiteral("signal_mv"), to},
            {QStringLiteral("change_percent"), std::round((ratio - 1.0) * 100.0)},
            {QStringLiteral("falls"), falls}};
        QString outlook;
        if (latest.signalLimitMv) {
            const int limit = *latest.signalLimitMv;
            values << std::pair{QStringLiteral("limit_mv"), double(limit)};
            if (to < limit) {
                outlook =
                    QStringLiteral("; it is below the %1 limit already").arg(millivolts(limit));
            } else if (const std::optional<Projection> p = project(run, limit, times)) {
                outlook = QStringLiteral("; at this rate it reaches %1 about %2")
                              .arg(millivolts(limit), monthOf(p->reachesLimitMs));
                values << std::pair{QStringLiteral("slope_mv_per_day"), p->slopeMvPerDay}
                       << std::pair{QStringLiteral("projected_ms"), double(p->reachesLimitMs)};
            }
        }
        out.push_back({
            .code = code::kSignalFalling,
            .severity = Severity::Warning,
            .device = device->address,
            .summary =
                QStringLiteral("Device %1's signal fell at each of its last %2 reports, "
                               "from %3 to %4 (%5) since %6%7.")
                    .arg(device->address)
                    .arg(falls)
                    .arg(millivolts(from), millivolts(to), percentChange(ratio), since, outlook),
            .headline = QStringLiteral("device %1's signal falling, down %2 since %3")
                            .arg(device->address)
                            .arg(percent(1.0 - ratio), since),
            .causes = {QStringLiteral("its spur or connector corroding or taking in water"),
                       QStringLiteral("the device's transmitter ageing")},
            .check = QStringLiteral("Open the device's connector and junction box and look for "
                                    "water and corrosion before the signal reaches the limit."),
            .values = values,
        });
    }
}

}  // namespace ksx4::diagnosis::rules
