// scanFirmwareMarker: the byte for address 32001 (0x7D01) from the record
// just before the first record above it, and no marker wherever that record
// does not give one.
#include "firmware/firmware_marker_scan.h"
#include "intel_hex_text.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

std::vector<uint8_t> bytesWith(size_t count, size_t at, uint8_t value) {
    std::vector<uint8_t> bytes(count, 0x11);
    bytes.at(at) = value;
    return bytes;
}

struct ScanCase {
    const char* name;
    std::string text;
    std::optional<uint8_t> marker;
};

void PrintTo(const ScanCase& c, std::ostream* out) {
    *out << c.name;
}

class MarkerScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(MarkerScanTest, FindsTheMarkerOrNone) {
    EXPECT_EQ(firmwareMarkerIn(GetParam().text), GetParam().marker);
}

const std::string kSeg = hexSegment(0);
const std::string kEnd = hexEnd();

INSTANTIATE_TEST_SUITE_P(
    Records, MarkerScanTest,
    ::testing::Values(
        // gputils cannot place a record at an odd address: written by hand.
        ScanCase{
            "RecordStartingAt7D01",
            hexLines({kSeg, hexData(0x7D01, {0x80, 0x41, 0x42}), hexData(0x7D11, {0x01}), kEnd}),
            0x80},
        ScanCase{"RecordSpanningIt",
                 hexLines({kSeg, hexData(0x7CF8, bytesWith(16, 9, 0x05)), hexData(0x7D08, {0x01}),
                           kEnd}),
                 0x05},
        ScanCase{"MarkerIsTheRecordsLastByte",
                 hexLines({kSeg, hexData(0x7CF2, bytesWith(16, 15, 0x7F)), hexData(0x7D02, {0x01}),
                           kEnd}),
                 0x7F},
        ScanCase{"LowerCaseDigitsAndCrLf",
                 ":020000040000fa\r\n:027d0000ff9ee4\r\n:017d10000171\r\n:00000001ff\r\n", 0x9E},
        ScanCase{"NoRecordAbove32001", hexLines({kSeg, hexData(0x7D00, {0xFF, 0x80}), kEnd}),
                 std::nullopt},
        ScanCase{"RecordBeforeEndsBelow32001",
                 hexLines({kSeg, hexData(0x7CF0, bytesWith(16, 15, 0x80)), hexData(0x7D10, {0x01}),
                           kEnd}),
                 std::nullopt},
        ScanCase{"RecordBeforeIsNoDataRecord",
                 hexLines({kSeg, hexData(0x7D00, {0xFF, 0x80}), hexSegment(0),
                           hexData(0x7D10, {0x01}), kEnd}),
                 std::nullopt},
        ScanCase{"FirstLineIsAbove32001",
                 hexLines({hexData(0x7D10, {0x01}), hexData(0x7E00, {0x01}), kEnd}), std::nullopt},
        // 0x8000 and above read as negative: such a record does not end
        // the scan, which then finds no line above 32001.
        ScanCase{"AddressFrom0x8000IsNegative",
                 hexLines({kSeg, hexData(0x7D00, {0xFF, 0x80}), hexData(0x9000, {0x01}), kEnd}),
                 std::nullopt},
        ScanCase{"NegativeRecordBeforeTheStop",
                 hexLines({kSeg, hexData(0x7D00, {0xFF, 0x80}), hexData(0xFFF0, {0x01}),
                           hexData(0x7D10, {0x01}), kEnd}),
                 std::nullopt},
        ScanCase{"MarkerRecordCutShort", hexLines({kSeg, ":027D0000FF", hexData(0x7D10, {1})}),
                 std::nullopt},
        ScanCase{"ShortAndEmptyLinesAreNoAddresses",
                 hexLines({":7D", "", hexData(0x7D00, {0xFF, 0x42}), "x", hexData(0x7D10, {1})}),
                 std::nullopt},
        ScanCase{"LastLineWithoutLineBreakStopsTheScan",
                 kSeg + "\n" + hexData(0x7D00, {0xFF, 0x42}) + "\n" + hexData(0x7D10, {1}), 0x42},
        ScanCase{"EmptyText", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkerScanFile, ReadsTheFileAndPassesOverOverlongLines) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("long.hex").toStdString();
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(1 << 20, 'A') << "\r\n"
            << hexLines({hexData(0x7D00, {0xFF, 0x42}), hexData(0x7D10, {1}), kEnd});
    }
    EXPECT_EQ(scanFirmwareMarker(QString::fromStdString(path)), 0x42);
}

TEST(MarkerScanFile, AFileThatCannotBeReadIsAnError) {
    QTemporaryDir dir;
    EXPECT_THROW(scanFirmwareMarker(dir.filePath("missing.hex")), FirmwareFileError);
    EXPECT_THROW(scanFirmwareMarker(dir.path()), FirmwareFileError);  // a folder
}

}  // namespace
}  // namespace ksx4::test
