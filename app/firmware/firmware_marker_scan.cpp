#include "firmware/firmware_marker_scan.h"

#include "settings/memory_map.h"

#include <QDir>
#include <QFile>

#include <array>

namespace ksx4 {
namespace {

constexpr int kMarkerAddress = flash::kFirmwareMarker;  // 32001
// Only a line's first characters can matter (a record of 255 data bytes is
// 521 characters long); the rest of a longer line is read past, not kept.
constexpr std::size_t kKeptLineLength = 600;

std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

// The digits at line[at .. at + digits - 1]; nullopt when the line ends
// before them or one is not a hexadecimal digit.
std::optional<unsigned> hexNumber(std::string_view line, std::size_t at, std::size_t digits) {
    if (at > line.size() || digits > line.size() - at) return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const auto digit = hexDigit(line[i]);
        if (!digit) return std::nullopt;
        value = value * 16 + *digit;
    }
    return value;
}

// Characters 3 to 6, the record's 16-bit address field, read as a signed
// number: 0x8000 to 0xFFFF count as negative.
std::optional<int> addressField(std::string_view line) {
    const auto value = hexNumber(line, 3, 4);
    if (!value) return std::nullopt;
    return static_cast<int16_t>(static_cast<uint16_t>(*value));
}

// The byte a data record gives for address 32001, if it gives one.
std::optional<uint8_t> markerInRecord(std::string_view record) {
    if (record.empty() || record.front() != ':') return std::nullopt;
    const auto count = hexNumber(record, 1, 2);
    const auto address = addressField(record);
    const auto type = hexNumber(record, 7, 2);
    if (!count || !address || !type || *type != 0) return std::nullopt;
    const int offset = kMarkerAddress - *address;
    if (offset < 0 || offset >= static_cast<int>(*count)) return std::nullopt;
    const auto byte = hexNumber(record, 9 + 2 * static_cast<std::size_t>(offset), 2);
    if (!byte) return std::nullopt;
    return static_cast<uint8_t>(*byte);
}

// Cuts a stream of characters into lines (LF ends a line, a CR before it is
// dropped) and hands them to the scan until it stops.
class LineSplitter {
  public:
    explicit LineSplitter(FirmwareMarkerScan& scan) : scan_(scan) {}

    // false once the scan has stopped.
    bool feed(std::string_view characters) {
        for (const char c : characters) {
            if (c == '\n') {
                if (!line_.empty() && line_.back() == '\r') line_.pop_back();
                if (!scan_.addLine(line_)) return false;
                line_.clear();
            } else if (line_.size() < kKeptLineLength) {
                line_.push_back(c);
            }
        }
        return true;
    }
    // A last line without a line break is a line too.
    void finish() {
        if (!line_.empty()) scan_.addLine(line_);
    }

  private:
    FirmwareMarkerScan& scan_;
    std::string line_;
};

}  // namespace

bool FirmwareMarkerScan::addLine(std::string_view line) {
    if (stopped_) return false;
    const auto address = addressField(line);
    if (address && *address > kMarkerAddress) {
        stopped_ = true;
        marker_ = markerInRecord(previous_);
        return false;
    }
    previous_.assign(line.substr(0, kKeptLineLength));
    return true;
}

std::optional<uint8_t> firmwareMarkerIn(std::string_view text) {
    FirmwareMarkerScan scan;
    LineSplitter lines(scan);
    if (lines.feed(text)) lines.finish();
    return scan.marker();
}

std::optional<uint8_t> scanFirmwareMarker(const QString& path) {
    const auto failure = [&path](const QFile& file) {
        return FirmwareFileError(QStringLiteral("Cannot read %1: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw failure(file);
    FirmwareMarkerScan scan;
    LineSplitter lines(scan);
    std::array<char, 16384> buffer{};
    for (;;) {
        const qint64 got = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0) throw failure(file);
        if (got == 0) {
            lines.finish();
            break;
        }
        if (!lines.feed({buffer.data(), static_cast<std::size_t>(got)})) break;
    }
    return scan.marker();
}

}  // namespace ksx4
