// The HEX reader on file text: which faults refuse a file with which code
// and line, and where the data of a valid file ends up.
#include "hex_reader.h"
#include "firmware_fixture.h"
#include "hex_file.h"
#include "intel_hex_text.h"
#include "ksx4/ksx4_com.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace ksx4::test {
namespace {

using com::HexFailure;
using com::HexImage;
using com::readHexText;

const std::string start = hexSegment(0x0000);
const std::string data0800 = hexData(0x0800, {0x12, 0x34, 0x56, 0x78});
const std::string end = hexEnd();

// The line-by-line checks, in file order.
struct RefusedFile {
    const char* name;
    std::string text;
    int32_t code;
    uint32_t line;
};

void PrintTo(const RefusedFile& c, std::ostream* out) {
    *out << c.name;
}

std::string withBadChecksum(std::string line) {
    line.back() = line.back() == '0' ? '1' : '0';
    return line;
}

class RefusedFileTest : public ::testing::TestWithParam<RefusedFile> {};

TEST_P(RefusedFileTest, GivesTheCodeAndTheLine) {
    const auto result = readHexText(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<HexFailure>(result));
    EXPECT_EQ(std::get<HexFailure>(result).code, GetParam().code);
    EXPECT_EQ(std::get<HexFailure>(result).line, GetParam().line);
}

const std::string longest = hexData(0x0800, std::vector<uint8_t>(255, 0xA5));  // 521 characters

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedFileTest,
    ::testing::Values(
        RefusedFile{"Empty", "", UNKNOWN_LINE_IN_HEX_FILE, 1},
        RefusedFile{"FinalLineBreakWithoutEndRecord", hexLines({start, data0800}),
                    UNKNOWN_LINE_IN_HEX_FILE, 3},
        RefusedFile{"LastLineWithoutLineBreak", hexLines({start}) + data0800, SHORT_HEX_FILE, 2},
        RefusedFile{"EmptyLine", hexLines({start, "", data0800, end}), UNKNOWN_LINE_IN_HEX_FILE, 2},
        RefusedFile{"BlankBeforeColon", hexLines({start, std::string(" ").append(data0800), end}),
                    UNKNOWN_LINE_IN_HEX_FILE, 2},
        RefusedFile{"BadChecksumInTheMiddle",
                    hexLines({start, data0800, withBadChecksum(hexData(0x0810, {1})), end}),
                    BAD_HEX_LINE_CHECKSUM, 3},
        RefusedFile{"BadChecksumOfTheEndRecord", hexLines({start, ":00000001FE"}),
                    BAD_HEX_LINE_CHECKSUM, 2},
        RefusedFile{"NotAHexDigit", hexLines({start, ":0408000012G45678D6", end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"FewerDataThanTheCount", hexLines({start, ":0508000012345678", end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"ShorterThanAnyRecord", hexLines({start, ":000000", end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"TwoRecordsOnOneLine", hexLines({start, data0800 + data0800, end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"LineOf522Characters", hexLines({start, longest + " ", end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"EndlessLine", hexLines({start, std::string(":").append(100000, '0')}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"EndlessLineWithoutColon", std::string(100000, 'x'), UNKNOWN_LINE_IN_HEX_FILE,
                    1},
        // Faults of placing the data come only after every line passed.
        RefusedFile{"LineFaultAfterAPlacingFault",
                    hexLines({hexSegment(0x0040), data0800, withBadChecksum(data0800), end}),
                    BAD_HEX_LINE_CHECKSUM, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// What is decided while the data of checked lines is placed.
INSTANTIATE_TEST_SUITE_P(
    Placing, RefusedFileTest,
    ::testing::Values(
        RefusedFile{"SegmentOfNoArea", hexLines({hexSegment(0x0040), data0800, end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"SameAddressOtherByte",
                    hexLines({start, data0800, hexData(0x0803, {0x79}), end}),
                    UNKNOWN_HEX_FILE_FAILURE, 3},
        RefusedFile{"ProgramMemoryAboveTheFlash", hexLines({start, hexData(0x8000, {1}), end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"RecordRunningPastTheFlash",
                    hexLines({start, hexData(0x7FF8, std::vector<uint8_t>(16, 0)), end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"ProgramMemoryInSegment1", hexLines({hexSegment(0x0001), data0800, end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{
            "IdLocationsPastTheirSegment",
            hexLines({hexSegment(0x0020), hexData(0xFFF8, std::vector<uint8_t>(16, 0)), end}),
            UNKNOWN_HEX_FILE_FAILURE, 2},
        RefusedFile{"ExtendedLinearAddressOfThreeBytes",
                    hexLines({hexRecord(0x04, 0, {0, 0, 0}), data0800, end}),
                    UNKNOWN_HEX_FILE_FAILURE, 1},
        RefusedFile{"ExtendedLinearAddressWithoutData",
                    hexLines({hexRecord(0x04, 0, {}), data0800, end}), UNKNOWN_HEX_FILE_FAILURE, 1},
        RefusedFile{"ExtendedSegmentAddressNotZero",
                    hexLines({start, hexRecord(0x02, 0, {0x10, 0x00}), data0800, end}),
                    UNKNOWN_HEX_FILE_FAILURE, 2}),
    [](const auto& info) { return std::string(info.param.name); });

HexImage validImage(const std::string& text) {
    auto result = readHexText(text);
    if (auto* failure = std::get_if<HexFailure>(&result)) {
        ADD_FAILURE() << "refused with " << failure->code << " at line " << failure->line;
        return {};
    }
    return std::move(std::get<HexImage>(result));
}

std::vector<uint8_t> rowBytes(const com::HexArea& area, uint32_t rowAddress) {
    const uint8_t* row = area.row(rowAddress);
    return {row, row + 16};
}

TEST(HexReader, OnlyAnAddressAndAnEndRecordGiveAnEmptyImage) {
    const HexImage image = validImage(hexLines({start, end}));
    EXPECT_TRUE(image.programMemory.empty());
    EXPECT_TRUE(image.eeprom.empty());
}

TEST(HexReader, AThreeByteRecordFillsItsPositionsOfTheRow) {
    const HexImage image = validImage(hexLines({start, hexData(0x0805, {0xA1, 0xB2, 0xC3}), end}));
    EXPECT_EQ(image.programMemory.rowMask(0x0800), 0x00E0);
    EXPECT_EQ(rowBytes(image.programMemory, 0x0800),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 0xB2, 0xC3, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(image.programMemory.rowMask(0x0810), 0);
}

TEST(HexReader, LineEndsAndDigitCaseDoNotMatter) {
    const std::string lower = ":04080000deadbeefbc";
    for (const std::string& text :
         {hexLines({start, lower, end}), start + "\r\n" + lower + "\r\n" + end + "\r\n",
          start + "\n" + lower + " \t\n" + end,  // blanks after a checksum, no final break
          hexLines({start, lower, end, "anything after the end record", ":00000001FE"})}) {
        const HexImage image = validImage(text);
        EXPECT_EQ(image.programMemory.rowMask(0x0800), 0x000F);
        EXPECT_EQ(image.programMemory.row(0x0800)[3], 0xEF);
    }
}

TEST(HexReader, TheLongestRecordIsRead) {
    for (const char* lineEnd : {"\n", "\r\n"}) {
        const HexImage image = validImage(start + "\n" + longest + lineEnd + end);
        EXPECT_EQ(image.programMemory.rowMask(0x08F0), 0x7FFF);  // 0x0800 + 254 is the last
        EXPECT_EQ(image.programMemory.row(0x08F0)[14], 0xA5);
    }
}

TEST(HexReader, AreasKeepTheirOwnData) {
    const HexImage image = validImage(
        hexLines({data0800,  // before any extended linear address record: segment 0
                  hexSegment(0x0020), hexData(0x0000, {1, 2}),  // ID locations
                  hexSegment(0x0030), hexData(0x0001, {0x3C}),  // configuration
                  hexSegment(0x00F0), hexData(0x0005, {7, 8}),  // EEPROM, at its own address
                  hexRecord(0x05, 0, {0, 0, 0x08, 0}),          // start address: nothing placed
                  hexRecord(0x02, 0, {0, 0}),                   // segment base 0: nothing changes
                  end}));
    EXPECT_EQ(image.programMemory.rowMask(0x0800), 0x000F);
    EXPECT_EQ(image.idLocations.rowMask(0x200000), 0x0003);
    EXPECT_EQ(image.configuration.rowMask(0x300000), 0x0002);
    EXPECT_EQ(image.configuration.row(0x300000)[1], 0x3C);
    EXPECT_EQ(image.eeprom.rowMask(0xF00000), 0x0060);
    EXPECT_EQ(image.eeprom.row(0xF00000)[6], 8);
}

TEST(HexReader, RecordsOutOfOrderAndRepeatedAgreeingBytesArePlacedAtTheirAddresses) {
    const HexImage image =
        validImage(hexLines({start, hexData(0x0820, {0x20}), data0800, hexData(0x0802, {0x56}),
                             hexData(0x07FF, {9}), end}));
    EXPECT_EQ(image.programMemory.rowMask(0x07F0), 0x8000);
    EXPECT_EQ(image.programMemory.rowMask(0x0800), 0x000F);
    EXPECT_EQ(image.programMemory.row(0x0800)[2], 0x56);
    EXPECT_EQ(image.programMemory.rowMask(0x0810), 0);
    EXPECT_EQ(image.programMemory.rowMask(0x0820), 0x0001);
}

// The file comes in pieces as it is read: a piece may end anywhere, and the
// reader asks for no more once it has decided.
TEST(HexReader, ReadsPieceByPieceAndStopsOnceDecided) {
    const std::string text = hexLines({start, data0800, "\r", end, "not read"});
    com::HexReader reader;
    size_t fed = 0;
    while (fed < text.size() && reader.feed(text.substr(fed, 1))) ++fed;
    EXPECT_EQ(fed, text.find(end) - 1) << "stops at the line break of the empty line";
    const auto result = reader.finish();
    ASSERT_TRUE(std::holds_alternative<HexFailure>(result));
    EXPECT_EQ(std::get<HexFailure>(result).code, UNKNOWN_LINE_IN_HEX_FILE);
    EXPECT_EQ(std::get<HexFailure>(result).line, 3u);

    com::HexReader endless;
    EXPECT_TRUE(endless.feed(std::string(":").append(521, '0')));
    EXPECT_FALSE(endless.feed("0")) << "a 523rd character without a line break";
}

// gpasm's INHX32 output, with LF and with CR LF line ends.
TEST(HexReader, KeepsTheAreasOfAnAssembledFirmwareApart) {
    if (!haveTool("gpasm")) GTEST_SKIP() << "needs gpasm (Debian gputils)";
    std::string dir = (std::filesystem::temp_directory_path() / "ksx4-gpasm-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    for (const bool dosLineEnds : {false, true}) {
        SCOPED_TRACE(dosLineEnds);
        std::string problem;
        const auto hexFile = assembleFirmware("ksx4_firmware", dir, dosLineEnds, &problem);
        ASSERT_TRUE(hexFile) << problem;
        auto result = com::readHexFile(hexFile->c_str());
        ASSERT_TRUE(std::holds_alternative<HexImage>(result));
        const HexImage& image = std::get<HexImage>(result);

        EXPECT_EQ(image.programMemory.rowMask(0x0000), 0x000F) << "the image's reset vector";
        EXPECT_EQ(image.programMemory.rowMask(0x0800), 0x0FFF);
        EXPECT_EQ(image.programMemory.rowMask(0x0810), 0);
        EXPECT_EQ(image.programMemory.row(0x7D00)[1], 0x01) << "the marker";
        EXPECT_EQ(image.idLocations.rowMask(0x200000), 0x0003);
        EXPECT_EQ(image.idLocations.row(0x200000)[0], 0x04);
        EXPECT_NE(image.configuration.rowMask(0x300000), 0);
        EXPECT_EQ(image.eeprom.rowMask(0xF00000), 0x00FF);
        EXPECT_EQ(image.eeprom.row(0xF00000)[7], 0x70);
        EXPECT_EQ(image.eeprom.rowMask(0xF000F0), 0xC000);
        EXPECT_EQ(image.eeprom.row(0xF000F0)[15], 0xE9);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ksx4::test
