// TessCommBootLoad against the scripted tester: which packets a HEX file
// becomes, that a refused file leaves the tester untouched, and how failed
// exchanges end the load.
#include "intel_hex_text.h"
#include "scripted_tester.h"
#include "text_dump_model.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

namespace ksx4::test {
namespace {

constexpr uint8_t kErase = 0x03, kWrite = 0x02, kRead = 0x01;

class BootLoad : public ScriptedTester {
  protected:
    void SetUp() override {
        ScriptedTester::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "ksx4-hex-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Writes the text to a file and boot loads it over an open connection.
    int32_t load(const std::string& text) {
        const auto path = dir / "firmware.hex";
        std::ofstream(path, std::ios::binary) << text;
        return TessCommBootLoad(path.c_str());
    }

    std::filesystem::path dir;
};

std::vector<Packet> sentWith(uint8_t code) {
    std::vector<Packet> found;
    for (const Packet& p : packets()) {
        if (p.bytes[0] == code) found.push_back(p);
    }
    return found;
}

// The rows written, each as its address and 16 bytes.
std::vector<DumpRow> rowsWritten() {
    std::vector<DumpRow> rows;
    for (const Packet& p : sentWith(kWrite)) {
        rows.push_back({packetAddress(p), {}});
        std::copy(p.bytes.begin() + 5, p.bytes.end(), rows.back().bytes.begin());
    }
    return rows;
}

std::vector<uint32_t> addresses(const std::vector<DumpRow>& rows) {
    std::vector<uint32_t> found;
    for (const DumpRow& row : rows) found.push_back(row.address);
    return found;
}

const std::string start = hexSegment(0x0000);
const std::string end = hexEnd();

TEST_F(BootLoad, OnlyAnAddressAndAnEndRecordEraseTheApplicationAreaAndWriteNothing) {
    openTester();
    ASSERT_EQ(load(hexLines({start, end})), OPERATION_SUCCESS);
    const auto sent = packets();
    ASSERT_EQ(sent.size(), 480u);
    for (uint32_t i = 0; i < 480; ++i) {
        ASSERT_EQ(sent[i].bytes, (std::vector<uint8_t>{kErase, 1, uint8_t(0x40 * i),
                                                       uint8_t((0x0800 + 0x40 * i) >> 8), 0}))
            << i;
        ASSERT_EQ(sent[i].writeTimeoutMs, 1000u);
        ASSERT_EQ(sent[i].readTimeoutMs, 5000u);
    }
    EXPECT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS) << "the connection stays open";
}

// A whole 32 KB image from address 0: the boot block is skipped, every row of
// the application area is written and read back, after all erases.
TEST_F(BootLoad, AFullImageIsProgrammedFrom0x0800On) {
    std::vector<uint8_t> image(0x8000);
    for (size_t a = 0; a < image.size(); ++a) image[a] = static_cast<uint8_t>(a * 13 + (a >> 9));
    const std::vector<uint8_t> bootBlock(scriptedUsbFlash(), scriptedUsbFlash() + 0x0800);
    openTester();
    ASSERT_EQ(load(hexImageFile(0, image)), OPERATION_SUCCESS);

    const auto sent = packets();
    ASSERT_EQ(sent.size(), 480u + 2 * 1920u);
    for (uint32_t row = 0; row < 1920; ++row) {
        const Packet& write = sent[480 + 2 * row];
        const Packet& readBack = sent[481 + 2 * row];
        const uint32_t address = 0x0800 + 16 * row;
        ASSERT_EQ(write.bytes.size(), 21u);
        ASSERT_EQ(write.bytes[0], kWrite);
        ASSERT_EQ(write.bytes[1], 16);
        ASSERT_EQ(packetAddress(write), address);
        ASSERT_TRUE(std::equal(write.bytes.begin() + 5, write.bytes.end(), &image[address]));
        ASSERT_EQ(write.replyAskedFor, 1u);
        ASSERT_EQ(readBack.bytes,
                  (std::vector<uint8_t>{kRead, 16, uint8_t(address), uint8_t(address >> 8), 0}));
        ASSERT_EQ(readBack.replyAskedFor, 21u);
        for (const Packet* p : {&write, &readBack}) {
            ASSERT_EQ(p->writeTimeoutMs, 500u);
            ASSERT_EQ(p->readTimeoutMs, 1000u);
        }
    }
    EXPECT_TRUE(std::equal(bootBlock.begin(), bootBlock.end(), scriptedUsbFlash()));
    EXPECT_TRUE(std::equal(image.begin() + 0x0800, image.end(), scriptedUsbFlash() + 0x0800));
}

TEST_F(BootLoad, RowsWithoutAByteFromTheFileStayErased) {
    openTester();
    const std::vector<uint8_t> sixteen(16, 0x5A);
    ASSERT_EQ(load(hexLines({start, hexData(0x0800, sixteen), hexData(0x0820, sixteen), end})),
              OPERATION_SUCCESS);
    EXPECT_EQ(addresses(rowsWritten()), (std::vector<uint32_t>{0x0800, 0x0820}));
    EXPECT_TRUE(std::all_of(scriptedUsbFlash() + 0x0810, scriptedUsbFlash() + 0x0820,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(scriptedUsbFlash()[0x0820], 0x5A);
}

TEST_F(BootLoad, AThreeByteRecordIsWrittenAsAWholeRowFilledWithFF) {
    openTester();
    ASSERT_EQ(load(hexLines({start, hexData(0x0805, {0x11, 0x22, 0x33}), end})), OPERATION_SUCCESS);
    const auto rows = rowsWritten();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].address, 0x0800u);
    EXPECT_EQ(rows[0].bytes,
              (std::array<uint8_t, 16>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x22, 0x33, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(BootLoad, OnlyProgramMemoryReachesTheTesterEachByteAtItsOwnAddress) {
    const std::vector<uint8_t> eeprom(scriptedUsbEeprom(), scriptedUsbEeprom() + 256);
    openTester();
    ASSERT_EQ(load(hexLines({hexData(0x0900, {0x09}),  // before any address record: segment 0
                             hexSegment(0x0000), hexData(0x0A10, {0x0A}),
                             hexData(0x0809, {0x08}),                          // out of order
                             hexData(0x07F8, std::vector<uint8_t>(16, 0x07)),  // into 0x0800
                             hexSegment(0x0020), hexData(0x0000, {1, 2, 3, 4}), hexSegment(0x0030),
                             hexData(0x0000, {0x3F, 0xCF}), hexSegment(0x00F0),
                             hexData(0x0000, {0xEE, 0xEE}), end})),
              OPERATION_SUCCESS);
    const auto rows = rowsWritten();
    ASSERT_EQ(addresses(rows), (std::vector<uint32_t>{0x0800, 0x0900, 0x0A10}));
    EXPECT_EQ(rows[0].bytes, (std::array<uint8_t, 16>{7, 7, 7, 7, 7, 7, 7, 7, 0xFF, 8, 0xFF, 0xFF,
                                                      0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rows[1].bytes[0], 0x09);
    EXPECT_EQ(rows[2].bytes[0], 0x0A);
    EXPECT_EQ(sentWith(kWrite).size() + sentWith(kRead).size() + sentWith(kErase).size(),
              packets().size())
        << "nothing but the flash commands";
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), scriptedUsbEeprom()));
}

// The rows written are those of the text dump a firmware loader of this
// tester has always built, for files whose records ascend.
TEST_F(BootLoad, RowsWrittenAreThoseOfTheTextDumpForAscendingFiles) {
    std::mt19937 random(20240611);
    openTester();
    for (int file = 0; file < 20; ++file) {
        SCOPED_TRACE(file);
        std::vector<std::string> lines = {start};
        uint32_t address = random() % 0x0900;
        while (true) {
            address += random() % 3 == 0 ? random() % 300 : random() % 4;
            const uint32_t count = 1 + random() % 32;
            if (address + count > 0x8000) break;
            std::vector<uint8_t> data(count);
            for (uint8_t& b : data) b = static_cast<uint8_t>(random() % 4 == 0 ? 0xFF : random());
            lines.push_back(hexData(static_cast<uint16_t>(address), data));
            address += count;
        }
        lines.insert(lines.end(), {hexSegment(0x0020), hexData(0, {1, 2}), hexSegment(0x00F0),
                                   hexData(0x0003, {5, 6, 7}), end});
        const std::string text = hexLines(lines);
        forgetCalls();
        ASSERT_EQ(load(text), OPERATION_SUCCESS);
        const auto expected = rowsFromTextDump(text);
        ASSERT_GT(expected.size(), 100u);
        EXPECT_EQ(rowsWritten(), expected);
    }
}

struct RefusedFile {
    const char* name;
    std::string text;
    int32_t code;
};

TEST_F(BootLoad, ARefusedFileLeavesTheTesterUntouched) {
    const std::string data = hexData(0x0800, {1, 2, 3, 4});
    auto badChecksum = [](std::string line) {
        line.back() = line.back() == '0' ? '1' : '0';
        return line;
    };
    const RefusedFile cases[] = {
        {"empty file", "", UNKNOWN_LINE_IN_HEX_FILE},
        {"bad checksum, first line", hexLines({badChecksum(start), data, end}),
         BAD_HEX_LINE_CHECKSUM},
        {"bad checksum, a data line", hexLines({start, data, badChecksum(data), data, end}),
         BAD_HEX_LINE_CHECKSUM},
        {"bad checksum, the end record", hexLines({start, data, badChecksum(end)}),
         BAD_HEX_LINE_CHECKSUM},
        {"no end record, last line without line break", start + "\n" + data, SHORT_HEX_FILE},
        {"no end record, final line break", hexLines({start, data}), UNKNOWN_LINE_IN_HEX_FILE},
        {"segment of no area", hexLines({start, data, hexSegment(0x0040), data, end}),
         UNKNOWN_HEX_FILE_FAILURE},
        {"two bytes for one address",
         hexLines({start, data, hexData(0x0900, {1}), hexData(0x0802, {0}), end}),
         UNKNOWN_HEX_FILE_FAILURE},
        {"data above the flash", hexLines({start, data, hexData(0x8000, {0}), end}),
         UNKNOWN_HEX_FILE_FAILURE},
        {"line of 600 characters", hexLines({start, data, std::string(":").append(599, '0'), end}),
         UNKNOWN_HEX_FILE_FAILURE},
    };
    openTester();
    for (const RefusedFile& c : cases) {
        EXPECT_EQ(load(c.text), c.code) << c.name;
        EXPECT_EQ(scriptedUsbCallCount(), 0u) << c.name;
    }
    EXPECT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS) << "the connection stays open";
}

struct FailedExchange {
    const char* name;
    uint32_t exchange;
    ScriptedFaultKind kind;
    int32_t value;
    uint32_t index;
};

TEST_F(BootLoad, AFailedExchangeEndsTheLoadAtOnceWithOperationFailure) {
    const std::string text =
        hexLines({start, hexData(0x0800, std::vector<uint8_t>(48, 0x42)), end});
    const FailedExchange cases[] = {
        {"erase times out", 7, SCRIPTED_READ_FAILS, ETIMEDOUT, 0},
        {"erase echo wrong", 480, SCRIPTED_REPLY_BYTE, 0x02, 0},
        {"row write unanswered", 481, SCRIPTED_REPLY_LENGTH, 0, 0},
        {"row write echo wrong", 483, SCRIPTED_REPLY_BYTE, 0x03, 0},
        {"read-back short", 482, SCRIPTED_REPLY_LENGTH, 20, 0},
        {"read-back code wrong", 484, SCRIPTED_REPLY_BYTE, 0x02, 0},
        {"read-back differs", 486, SCRIPTED_REPLY_BYTE, 0x43, 20},
        {"write fails", 485, SCRIPTED_WRITE_FAILS, EIO, 0},
    };
    openTester();
    for (const FailedExchange& c : cases) {
        forgetCalls();
        scriptedUsbFault(c.exchange, c.kind, c.value, c.index);
        EXPECT_EQ(load(text), OPERATION_FAILURE) << c.name;
        EXPECT_EQ(scriptedUsbExchangeCount(), c.exchange) << c.name;
    }
    forgetCalls();
    EXPECT_EQ(load(text), OPERATION_SUCCESS) << "the connection is still usable";
    EXPECT_EQ(scriptedUsbExchangeCount(), 486u);
}

}  // namespace
}  // namespace ksx4::test
