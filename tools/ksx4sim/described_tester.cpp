#include "described_tester.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <system_error>

namespace ksx4::sim {
namespace {

// The first bad field ends the reading: thrown where it is found, caught once
// at the top, so every reader below can simply return good values.
struct BadField {
    std::string path;
    std::string problem;
};

constexpr uintmax_t kMaxFileSize = 1 << 20;  // a description is a few kilobytes
constexpr uint32_t kEarliestStoredTicks = 1u << 24;
constexpr int kNameLength = 15;
constexpr uint16_t kNoAddress = 65535;
constexpr uint16_t kNoAddressPa = 255;
constexpr uint16_t kSignalNotAvailable = 2250;
constexpr uint8_t kStatusPresent = 1, kStatusAdded = 2, kStatusDropped = 3;
// Characters the report names editor refuses: the names become file names.
constexpr std::string_view kForbiddenInNames = "\\/:*?\"<>|";

// The limits block at EEPROM 236 in its stored order, then the retransmits
// limit at 112; with the factory defaults and the limits editor's ranges.
struct LimitField {
    const char* name;
    int address;
    uint16_t factory;
    uint16_t min, max;
};
constexpr LimitField kLimits[] = {
    {"voltage", 236, 9000, 8000, 32000}, {"signal", 238, 150, 100, 1000},
    {"lf-avg", 240, 150, 25, 2000},      {"lf-peak", 242, 150, 25, 2000},
    {"ff-avg", 244, 75, 25, 2000},       {"ff-peak", 246, 75, 25, 2000},
    {"hf-avg", 248, 150, 25, 2000},      {"hf-peak", 250, 150, 25, 2000},
    {"retransmits", 112, 0, 0, 250},
};

std::string describe(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
            return "null";
        case QJsonValue::Bool:
            return value.toBool() ? "true" : "false";
        case QJsonValue::Double:
            return QString::number(value.toDouble(), 'g', 17).toStdString();
        case QJsonValue::String: {
            const QString text = value.toString();
            return "\"" +
                   (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text).toStdString() +
                   "\"";
        }
        case QJsonValue::Array:
            return "a list";
        case QJsonValue::Object:
            return "an object";
        default:
            return "nothing";
    }
}

uint32_t wholeNumber(const QJsonValue& value, const std::string& path, uint32_t min, uint32_t max) {
    const double number = value.toDouble(-1);
    if (!value.isDouble() || std::floor(number) != number || number < min || number > max) {
        throw BadField{path, "a whole number from " + std::to_string(min) + " to " +
                                 std::to_string(max) + ", not " + describe(value)};
    }
    return static_cast<uint32_t>(number);
}

// Text as the tester stores it: one byte per character. Printable Latin-1
// characters are the same bytes in the Windows ANSI code page.
std::string ansiText(const QJsonValue& value, const std::string& path, int minLength,
                     std::string_view forbidden = {}) {
    if (!value.isString()) throw BadField{path, "a text, not " + describe(value)};
    const QString text = value.toString();
    if (text.size() < minLength || text.size() > kNameLength) {
        throw BadField{path, std::to_string(minLength) + " to " + std::to_string(kNameLength) +
                                 " characters, not " + std::to_string(text.size()) + " (" +
                                 describe(value) + ")"};
    }
    std::string bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool printable = (u >= 0x20 && u <= 0x7E) || (u >= 0xA0 && u <= 0xFF);
        if (!printable || forbidden.find(static_cast<char>(u)) != std::string_view::npos) {
            throw BadField{path, describe(value) + " holds a character the tester cannot store" +
                                     (forbidden.empty() ? std::string(" (printable Latin-1 only)")
                                                        : " (printable Latin-1 only, none of " +
                                                              std::string(forbidden) + ")")};
        }
        bytes += static_cast<char>(u);
    }
    return bytes;
}

// A time field: null stores no time (a first byte of 0).
uint32_t timeTicks(const QJsonValue& value, const std::string& path) {
    if (value.isNull()) return 0;
    if (value.isString()) {
        if (const auto ticks = ticksFromText(value.toString().toStdString())) return *ticks;
    }
    throw BadField{path, "a time YYYY-MM-DDTHH:MM[:SS] from 1973-02-01T16:22:18 on, or null, not " +
                             describe(value)};
}

// One JSON object being read: remembers the keys taken, so that a key the
// format does not know (a typo would lose its value silently) is refused.
class Fields {
  public:
    Fields(const QJsonValue& value, std::string path) : path_(std::move(path)) {
        if (!value.isObject()) throw BadField{path_, "an object {...}, not " + describe(value)};
        object_ = value.toObject();
    }

    std::optional<QJsonValue> take(const char* key) {
        known_.insert(key);
        const auto it = object_.constFind(QLatin1String(key));
        if (it == object_.constEnd()) return std::nullopt;
        return *it;
    }
    std::string path(const std::string& key) const {
        return path_.empty() ? key : path_ + "." + key;
    }

    uint32_t number(const char* key, uint32_t min, uint32_t max, uint32_t fallback) {
        const auto value = take(key);
        return value ? wholeNumber(*value, path(key), min, max) : fallback;
    }
    uint32_t time(const char* key, uint32_t fallback) {
        const auto value = take(key);
        return value ? timeTicks(*value, path(key)) : fallback;
    }
    // A key the layout of this kind has no place for.
    void refuse(const char* key, const std::string& why) {
        if (take(key)) throw BadField{path(key), why};
    }

    void refuseUnknownKeys() const {
        for (auto it = object_.constBegin(); it != object_.constEnd(); ++it) {
            const std::string key = it.key().toStdString();
            if (key != "comment" && !known_.contains(key))
                throw BadField{path_, "unknown key \"" + key + "\""};
        }
    }

  private:
    QJsonObject object_;
    std::string path_;
    std::set<std::string, std::less<>> known_;
};

QJsonArray list(const QJsonValue& value, const std::string& path, int maxSize) {
    if (!value.isArray()) throw BadField{path, "a list [...], not " + describe(value)};
    const QJsonArray array = value.toArray();
    if (array.size() > maxSize) {
        throw BadField{path, "at most " + std::to_string(maxSize) + " entries, not " +
                                 std::to_string(array.size())};
    }
    return array;
}

std::string indexed(const std::string& path, qsizetype index) {
    return path + "[" + std::to_string(index) + "]";
}

// A value from a short list of names, or a number for a code the names do
// not cover.
uint8_t code(const QJsonValue& value, const std::string& path,
             std::initializer_list<std::pair<const char*, uint8_t>> names, uint32_t minCode) {
    for (const auto& [name, number] : names)
        if (value.isString() && value.toString() == QLatin1String(name)) return number;
    const double number = value.toDouble(-1);
    if (value.isDouble() && std::floor(number) == number && number >= minCode && number <= 255)
        return static_cast<uint8_t>(number);
    std::string choices;
    for (const auto& [name, number] : names) choices += std::string("\"") + name + "\", ";
    throw BadField{path, choices + "or a code from " + std::to_string(minCode) + " to 255, not " +
                             describe(value)};
}

struct Kind {
    bool pa = false;
};

// A device and the table entry (0..31) it goes in; position: its place in
// the list.
std::pair<DeviceEntry, size_t> readDevice(const QJsonValue& value, const std::string& path,
                                          Kind kind, size_t position) {
    Fields f(value, path);
    DeviceEntry entry;
    const auto address = f.take("address");
    if (!address) throw BadField{f.path("address"), "missing: every device needs its address"};
    entry.address = static_cast<uint8_t>(wholeNumber(*address, f.path("address"), 0, 255));
    entry.signal = static_cast<uint16_t>(f.number("signal", 0, 65535, 850));
    if (const auto status = f.take("status")) {
        entry.status = code(
            *status, f.path("status"),
            {{"present", kStatusPresent}, {"added", kStatusAdded}, {"dropped", kStatusDropped}}, 1);
    }
    entry.retransmits = static_cast<uint8_t>(f.number("retransmits", 0, 255, 0));
    if (kind.pa) {
        if (const auto role = f.take("role"))
            entry.role = code(*role, f.path("role"), {{"slave", 0}, {"master", 1}}, 0);
    } else {
        f.refuse("role", "only a KSX-4-PA report stores a bus role");
    }
    const size_t index = f.number("entry", 1, 32, static_cast<uint32_t>(position + 1)) - 1;
    f.refuseUnknownKeys();
    return {entry, index};
}

void readDevices(const QJsonValue& value, const std::string& path, Kind kind, Report& report) {
    const QJsonArray devices = list(value, path, 32);
    std::set<int> addresses;
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const std::string at = indexed(path, i);
        const auto [entry, index] = readDevice(devices[i], at, kind, static_cast<size_t>(i));
        if (report.devices[index])
            throw BadField{at + ".entry", "entry " + std::to_string(index + 1) + " is taken"};
        if (!addresses.insert(entry.address).second) {
            throw BadField{at + ".address",
                           std::to_string(entry.address) + " stands twice in this report"};
        }
        report.devices[index] = entry;
    }
}

// Between two stored times, a fraction of the way; no time where either is
// missing.
uint32_t during(const Report& r, double fraction) {
    if (r.connectedTicks == 0 || r.savedTicks == 0 || r.connectedTicks > r.savedTicks) return 0;
    return r.connectedTicks +
           static_cast<uint32_t>(std::lround((r.savedTicks - r.connectedTicks) * fraction));
}

void readLowestSignal(Fields& report, Kind kind, Report& r) {
    // Derived from the devices that are still on the segment.
    const DeviceEntry* weakest = nullptr;
    for (const auto& entry : r.devices) {
        if (entry && entry->status != kStatusDropped &&
            (!weakest || entry->signal < weakest->signal))
            weakest = &*entry;
    }
    r.lowestSignal = weakest ? weakest->signal : kSignalNotAvailable;
    r.lowestSignalAddress = weakest ? weakest->address : kNoAddress;
    r.lowestSignalTicks = weakest ? during(r, 0.3) : 0;

    const auto given = report.take("lowest_signal");
    if (!given) return;
    const std::string path = report.path("lowest_signal");
    if (given->isNull()) {
        r.lowestSignal = kSignalNotAvailable;
        r.lowestSignalAddress = kNoAddress;
        r.lowestSignalTicks = 0;
        return;
    }
    Fields f(*given, path);
    r.lowestSignal = static_cast<uint16_t>(f.number("value", 0, 65535, r.lowestSignal));
    if (const auto address = f.take("address")) {
        r.lowestSignalAddress =
            address->isNull()
                ? kNoAddress
                : static_cast<uint16_t>(wholeNumber(*address, f.path("address"), 0, 255));
    }
    if (kind.pa)
        f.refuse("time", "a KSX-4-PA report stores no times");
    else
        r.lowestSignalTicks = f.time("time", r.lowestSignalTicks);
    f.refuseUnknownKeys();
}

void readNoise(Fields& report, Kind kind, Report& r) {
    struct Band {
        const char* name;
        uint16_t& average;
        uint16_t& peak;
        uint32_t& peakTicks;
        uint16_t typicalAverage;
        double when;
    };
    Band bands[] = {
        {"low", r.avgLowNoise, r.peakLowNoise, r.peakLowTicks, 15, 0.4},
        {"fieldbus", r.avgFieldbusNoise, r.peakFieldbusNoise, r.peakFieldbusTicks, 6, 0.5},
        {"high", r.avgHighNoise, r.peakHighNoise, r.peakHighTicks, 20, 0.6}};
    for (Band& band : bands) {
        band.average = band.typicalAverage;
        band.peak = static_cast<uint16_t>(2 * band.typicalAverage);
        band.peakTicks = during(r, band.when);
    }
    const auto given = report.take("noise");
    if (!given) return;
    Fields noise(*given, report.path("noise"));
    for (Band& band : bands) {
        const auto value = noise.take(band.name);
        if (!value) continue;
        Fields f(*value, noise.path(band.name));
        band.average = static_cast<uint16_t>(f.number("avg", 0, 65535, band.average));
        band.peak = static_cast<uint16_t>(f.number("peak", 0, 65535, band.peak));
        if (kind.pa)
            f.refuse("peak_time", "a KSX-4-PA report stores no times");
        else
            band.peakTicks = f.time("peak_time", band.peakTicks);
        f.refuseUnknownKeys();
    }
    noise.refuseUnknownKeys();
}

void readAddDrop(Fields& report, Kind kind, Report& r) {
    r.addDropAddress = kind.pa ? kNoAddressPa : kNoAddress;
    r.addDropKind = 0;
    r.addDropTicks = 0;
    const auto given = report.take("add_drop");
    if (!given || given->isNull()) return;
    Fields f(*given, report.path("add_drop"));
    const auto address = f.take("address");
    if (!address) throw BadField{f.path("address"), "missing: the device added or dropped"};
    r.addDropAddress = static_cast<uint16_t>(wholeNumber(*address, f.path("address"), 0, 255));
    const auto what = f.take("kind");
    if (!what) throw BadField{f.path("kind"), "missing: \"added\" or \"dropped\""};
    r.addDropKind = code(*what, f.path("kind"), {{"added", 2}, {"dropped", 3}}, 0);
    if (kind.pa)
        f.refuse("time", "a KSX-4-PA report stores no times");
    else
        r.addDropTicks = f.time("time", during(r, 0.7));
    f.refuseUnknownKeys();
}

constexpr uint32_t kMillisecondsPerTick = 2048;

// Defaults for a report without a saved time: one an hour from 1 January
// 2026, 09:00, by slot.
uint32_t defaultSavedTicks(int slot) {
    return *ticksFromText("2026-01-01T09:00:00") +
           static_cast<uint32_t>(slot - 1) * 3600000u / kMillisecondsPerTick;
}

Report readReport(const QJsonValue& value, const std::string& path, Kind kind, int slot,
                  const std::string& defaultLocation) {
    Fields f(value, path);
    f.take("slot");  // read by the caller
    Report r;
    r.locationName = defaultLocation;
    if (const auto location = f.take("location"))
        r.locationName = ansiText(*location, f.path("location"), 0);
    if (kind.pa) {
        for (const char* key : {"saved", "connected"})
            f.refuse(key, "a KSX-4-PA report stores no times");
        f.refuse("las", "only a KSX-4 report stores the LAS address");
    } else {
        r.savedTicks = f.time("saved", defaultSavedTicks(slot));
        constexpr uint32_t kFortyMinutes = 40 * 60 * 1000 / kMillisecondsPerTick;
        r.connectedTicks = f.time("connected", r.savedTicks > kEarliestStoredTicks + kFortyMinutes
                                                   ? r.savedTicks - kFortyMinutes
                                                   : 0);
        r.lasAddress = 16;
        if (const auto las = f.take("las")) {
            r.lasAddress = las->isNull()
                               ? kNoAddress
                               : static_cast<uint16_t>(wholeNumber(*las, f.path("las"), 0, 255));
        }
    }
    r.voltage = static_cast<uint16_t>(f.number("voltage", 0, 65535, 24000));
    if (const auto devices = f.take("devices")) readDevices(*devices, f.path("devices"), kind, r);
    readLowestSignal(f, kind, r);
    readNoise(f, kind, r);
    r.shieldShort = static_cast<uint8_t>(f.number("shield_short", 0, 255, 2));
    readAddDrop(f, kind, r);
    const auto onSegment = std::count_if(r.devices.begin(), r.devices.end(), [](const auto& e) {
        return e && e->status != kStatusDropped;
    });
    r.activeDevices =
        static_cast<uint8_t>(f.number("active_devices", 0, 255, static_cast<uint32_t>(onSegment)));
    f.refuseUnknownKeys();
    return r;
}

void readLimits(Fields& top, TesterImage& image) {
    for (const LimitField& limit : kLimits) setEepromWord(image, limit.address, limit.factory);
    const auto given = top.take("limits");
    if (!given) return;
    Fields f(*given, "limits");
    for (const LimitField& limit : kLimits) {
        setEepromWord(
            image, limit.address,
            static_cast<uint16_t>(f.number(limit.name, limit.min, limit.max, limit.factory)));
    }
    f.refuseUnknownKeys();
}

DescribedTester readTester(const QJsonValue& value) {
    Fields top(value, "");
    DescribedTester tester;
    if (const auto kind = top.take("kind")) {
        if (kind->toString() == QLatin1String("KSX-4-PA"))
            tester.pa = true;
        else if (kind->toString() != QLatin1String("KSX-4"))
            throw BadField{"kind", "\"KSX-4\" or \"KSX-4-PA\", not " + describe(*kind)};
    }
    const Kind kind{tester.pa};
    tester.serial = static_cast<uint16_t>(top.number("serial", 0, 32767, 1001));
    tester.image = blankTester(tester.pa, tester.serial);
    tester.image.flash[32001] =
        static_cast<uint8_t>(top.number("firmware_marker", 0, 255, tester.pa ? 128 : 1));
    readLimits(top, tester.image);

    // Slots first, so that a report's location and its slot's report name
    // can each default to the other.
    std::array<std::optional<QJsonValue>, 8> reportAt;
    std::array<std::string, 8> reportPath;
    if (const auto reports = top.take("reports")) {
        const QJsonArray array = list(*reports, "reports", 8);
        for (qsizetype i = 0; i < array.size(); ++i) {
            const std::string path = indexed("reports", i);
            Fields f(array[i], path);
            const auto slot = f.number("slot", 1, 8, static_cast<uint32_t>(i + 1));
            if (reportAt[slot - 1]) {
                throw BadField{f.path("slot"), "slot " + std::to_string(slot) + " already holds " +
                                                   reportPath[slot - 1]};
            }
            reportAt[slot - 1] = array[i];
            reportPath[slot - 1] = path;
        }
    }
    std::array<std::optional<std::string>, 8> names;
    if (const auto given = top.take("report_names")) {
        const QJsonArray array = list(*given, "report_names", 8);
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (!array[i].isNull())
                names[static_cast<size_t>(i)] =
                    ansiText(array[i], indexed("report_names", i), 1, kForbiddenInNames);
        }
    }
    for (int slot = 1; slot <= 8; ++slot) {
        const auto n = static_cast<size_t>(slot - 1);
        if (!names[n] && reportAt[n]) {
            // The report's own location, where it can be a report name.
            Fields f(*reportAt[n], reportPath[n]);
            const auto location = f.take("location");
            if (location && location->isString()) {
                const QString text = location->toString().trimmed();
                try {
                    names[n] = ansiText(text, "", 1, kForbiddenInNames);
                } catch (const BadField&) {
                }
            }
        }
        const std::string name = names[n].value_or("Report " + std::to_string(slot));
        setEepromText(tester.image, 116 + kNameLength * (slot - 1), kNameLength, name);
        if (!reportAt[n]) continue;
        storeReport(tester.image, tester.pa, slot,
                    readReport(*reportAt[n], reportPath[n], kind, slot, name));
        ++tester.reports;
    }
    top.refuseUnknownKeys();
    return tester;
}

// Line and column of a byte offset, for a syntax error.
std::string lineAndColumn(std::string_view text, int offset) {
    int line = 1, column = 1;
    for (int i = 0; i < offset && i < static_cast<int>(text.size()); ++i) {
        if (text[static_cast<size_t>(i)] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::optional<uint32_t> ticksFromText(std::string_view text) {
    // YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS, digits exactly where shown.
    if (text.size() != 16 && text.size() != 19) return std::nullopt;
    const std::string_view shape = "dddd-dd-ddTdd:dd:dd";
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return std::nullopt;
    }
    auto field = [&](size_t at, size_t length) {
        int value = 0;
        std::from_chars(text.data() + at, text.data() + at + length, value);
        return value;
    };
    using namespace std::chrono;
    const year_month_day date{year(field(0, 4)), month(static_cast<unsigned>(field(5, 2))),
                              day(static_cast<unsigned>(field(8, 2)))};
    const int hour = field(11, 2), minute = field(14, 2);
    const int second = text.size() == 19 ? field(17, 2) : 0;
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    const auto since1972 = sys_days(date) - sys_days(year(1972) / 1 / 1);
    const int64_t seconds =
        duration_cast<std::chrono::seconds>(since1972).count() + hour * 3600 + minute * 60 + second;
    if (seconds < 0) return std::nullopt;
    // A tick is 2.048 s and is shown rounded to the second: the first tick
    // shown at or after the moment (at most 2 s after it), so that a moment
    // on a whole minute keeps its minute, which names the workbook.
    int64_t best = seconds * 1000 / kMillisecondsPerTick;
    while ((best * kMillisecondsPerTick + 500) / 1000 < seconds) ++best;
    if (best < kEarliestStoredTicks || best > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(best);
}

std::variant<DescribedTester, std::string> describedTester(std::string_view json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        return "not JSON (" + lineAndColumn(json, error.offset) + ": " +
               error.errorString().toStdString() + ")";
    }
    if (!document.isObject())
        return std::string("not a tester description: the text must be one JSON object {...}");
    try {
        return readTester(document.object());
    } catch (const BadField& bad) {
        return bad.path.empty() ? bad.problem : bad.path + ": " + bad.problem;
    }
}

std::variant<DescribedTester, std::string> readDescribedTester(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return name + ": " + ec.message();
    if (size > kMaxFileSize)
        return name + ": " + std::to_string(size) +
               " bytes, more than a tester description holds (at most 1 MiB)";
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (!in) return name + ": cannot be read";
    auto result = describedTester(text);
    if (auto* problem = std::get_if<std::string>(&result)) *problem = name + ": " + *problem;
    return result;
}

}  // namespace ksx4::sim
