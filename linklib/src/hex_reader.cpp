#include "hex_reader.h"

#include "ksx4/ksx4_com.h"

#include <utility>

namespace ksx4::com {
namespace {

HexArea* areaFor(HexImage& image, uint16_t segment) {
    if (segment <= 0x001F) return &image.programMemory;
    switch (segment) {
        case 0x0020:
            return &image.idLocations;
        case 0x0030:
            return &image.configuration;
        case 0x00F0:
            return &image.eeprom;
        default:
            return nullptr;
    }
}

}  // namespace

bool HexReader::feed(std::string_view piece) {
    if (done_) return false;
    for (const char c : piece) {
        if (c == '\n') {
            takeLine(true);
            if (done_) return false;
        } else if (lineLength_ == line_.size()) {
            // Longer than any record: refused without reading the rest.
            ++lineNumber_;
            fault_ = HexFailure{
                line_[0] == ':' ? UNKNOWN_HEX_FILE_FAILURE : UNKNOWN_LINE_IN_HEX_FILE, lineNumber_};
            done_ = true;
            return false;
        } else {
            line_[lineLength_++] = c;
        }
    }
    return true;
}

HexReadResult HexReader::finish() {
    if (!done_) takeLine(false);
    if (fault_) return *fault_;
    if (placingFault_) return *placingFault_;
    return std::move(image_);
}

void HexReader::takeLine(bool lineBreakFollows) {
    ++lineNumber_;
    size_t length = lineLength_;
    lineLength_ = 0;
    if (lineBreakFollows && length > 0 && line_[length - 1] == '\r') --length;
    const std::string_view line(line_.data(), length);
    const auto fail = [this](int32_t code) {
        fault_ = HexFailure{code, lineNumber_};
        done_ = true;
    };

    if (line.empty() || line[0] != ':') return fail(UNKNOWN_LINE_IN_HEX_FILE);
    if (line.size() > maxHexLineLength) return fail(UNKNOWN_HEX_FILE_FAILURE);
    switch (parseHexRecord(line, record_)) {
        case HexRecordFault::malformed:
            return fail(UNKNOWN_HEX_FILE_FAILURE);
        case HexRecordFault::badChecksum:
            return fail(BAD_HEX_LINE_CHECKSUM);
        case HexRecordFault::none:
            break;
    }
    if (record_.type == hexEndOfFile) {
        done_ = true;
        return;
    }
    // After a placing fault the file is still checked to its end: a line
    // fault further on is what the file is refused for.
    if (!placingFault_) takeRecord();
    if (!lineBreakFollows) fail(SHORT_HEX_FILE);
}

void HexReader::takeRecord() {
    const auto refuse = [this] {
        placingFault_ = HexFailure{UNKNOWN_HEX_FILE_FAILURE, lineNumber_};
    };
    const auto& data = record_.data;
    switch (record_.type) {
        case hexExtendedLinearAddress:
            if (record_.count != 2) return refuse();
            segment_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
            return;
        case hexExtendedSegmentAddress:
            // Ignoring a non-zero base would place the data after it wrongly.
            if (record_.count != 2 || data[0] != 0 || data[1] != 0) return refuse();
            return;
        case hexData: {
            HexArea* area = areaFor(image_, segment_);
            const uint64_t address = uint64_t{segment_} << 16 | record_.address;
            if (area == nullptr || !area->holds(address, record_.count)) return refuse();
            for (uint32_t k = 0; k < record_.count; ++k) {
                if (!area->give(static_cast<uint32_t>(address + k), data[k])) return refuse();
            }
            return;
        }
        default:
            return;  // start addresses and unknown types place nothing
    }
}

HexReadResult readHexText(std::string_view text) {
    HexReader reader;
    reader.feed(text);
    return reader.finish();
}

}  // namespace ksx4::com
