// The exports' checks and their order, and the connection's life: everything
// here is decided before a packet would be sent.
#include "scripted_tester.h"

#include <array>
#include <functional>

namespace ksx4::test {
namespace {

uint8_t buffer[0x8000 + 16];
const uint8_t data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

struct NamedCall {
    const char* name;
    std::function<int32_t()> call;
};

const NamedCall everyExportNeedingAConnection[] = {
    {"CloseDevice", [] { return TessCommCloseDevice(); }},
    {"ResetBoard", [] { return TessCommResetBoard(); }},
    {"BootLoad (no such file)", [] { return TessCommBootLoad("/no/such/file.hex"); }},
    {"ReadFlashMemory", [] { return TessCommReadFlashMemory(0, 16, buffer); }},
    {"ReadFlashMemory (bad address)", [] { return TessCommReadFlashMemory(0x8000, 1, buffer); }},
    {"ReadEEMemory", [] { return TessCommReadEEMemory(0, 16, buffer); }},
    {"EraseFlash", [] { return TessCommEraseFlash(); }},
    {"WriteEEMemory", [] { return TessCommWriteEEMemory(0, 4, data); }},
    {"WriteEEMemory (bad length)", [] { return TessCommWriteEEMemory(300, 17, data); }},
};

void expectEveryExportNeedsAConnection(const char* when) {
    for (const NamedCall& e : everyExportNeedingAConnection) {
        EXPECT_EQ(e.call(), DEVICE_NOT_OPENED_YET) << e.name << " " << when;
    }
}

using ExportChecks = ScriptedTester;

TEST_F(ExportChecks, WithoutConnectionEveryExportButCountAndOpenAnswersNotOpened) {
    expectEveryExportNeedsAConnection("before any open");
    EXPECT_EQ(scriptedUsbCallCount(), 0u);

    ASSERT_EQ(TessCommOpenDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(TessCommResetBoard(), OPERATION_SUCCESS);
    expectEveryExportNeedsAConnection("after a reset");

    ASSERT_EQ(TessCommOpenDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS);
    forgetCalls();
    expectEveryExportNeedsAConnection("after a close");
    EXPECT_EQ(scriptedUsbCallCount(), 0u);
}

struct RangeCase {
    const char* name;
    std::function<int32_t()> call;
    int32_t expected;
};

TEST_F(ExportChecks, RangeAndLengthChecksComeInOrderAndRejectBeforeSending) {
    const RangeCase cases[] = {
        {"EEPROM last byte", [] { return TessCommReadEEMemory(255, 1, buffer); }, 0},
        {"EEPROM whole", [] { return TessCommReadEEMemory(0, 256, buffer); }, 0},
        {"EEPROM address 256", [] { return TessCommReadEEMemory(256, 1, buffer); }, 11},
        {"EEPROM 250 + 7", [] { return TessCommReadEEMemory(250, 7, buffer); }, 12},
        {"EEPROM length wraps", [] { return TessCommReadEEMemory(16, 0xFFFFFFF0u, buffer); }, 12},
        {"EEPROM bad address, length 0", [] { return TessCommReadEEMemory(256, 0, buffer); }, 11},
        {"flash whole", [] { return TessCommReadFlashMemory(0, 0x8000, buffer); }, 0},
        {"flash length 0", [] { return TessCommReadFlashMemory(0, 0, nullptr); }, 0},
        {"flash address 0x8000", [] { return TessCommReadFlashMemory(0x8000, 1, buffer); }, 11},
        {"flash highest address", [] { return TessCommReadFlashMemory(0xFFFFFFFFu, 1, buffer); },
         11},
        {"flash 0x7FFF + 2", [] { return TessCommReadFlashMemory(0x7FFF, 2, buffer); }, 12},
        {"flash length wraps", [] { return TessCommReadFlashMemory(0x10, 0xFFFFFFF0u, buffer); },
         12},
        {"flash no buffer", [] { return TessCommReadFlashMemory(0, 1, nullptr); }, 10},
        {"EEPROM no buffer", [] { return TessCommReadEEMemory(0, 1, nullptr); }, 10},
        {"write 16 at 240", [] { return TessCommWriteEEMemory(240, 16, data); }, 0},
        {"write length 17 before address 300", [] { return TessCommWriteEEMemory(300, 17, data); },
         10},
        {"write length 0", [] { return TessCommWriteEEMemory(0, 0, data); }, 10},
        {"write address 256", [] { return TessCommWriteEEMemory(256, 1, data); }, 11},
        {"write 250 + 7", [] { return TessCommWriteEEMemory(250, 7, data); }, 12},
        {"write address wraps", [] { return TessCommWriteEEMemory(0xFFFFFFF8u, 16, data); }, 11},
        {"write no data", [] { return TessCommWriteEEMemory(0, 4, nullptr); }, 10},
    };
    openTester();
    for (const RangeCase& c : cases) {
        forgetCalls();
        EXPECT_EQ(c.call(), c.expected) << c.name;
        const bool sendsNothing = c.expected != 0 || std::string(c.name) == "flash length 0";
        EXPECT_EQ(scriptedUsbExchangeCount() == 0, sendsNothing) << c.name;
    }
}

TEST_F(ExportChecks, DeviceCountComesFromTheAccessLibraryWithOrWithoutConnection) {
    for (uint32_t attached : {0u, 1u, 2u}) {
        scriptedUsbSetDeviceCount(attached);
        EXPECT_EQ(TessCommGetDeviceCount(), static_cast<int32_t>(attached));
    }
    openTester();
    EXPECT_EQ(TessCommGetDeviceCount(), 2);
    for (const ScriptedCall* call : calls(SCRIPTED_GET_DEVICE_COUNT)) {
        EXPECT_STREQ(call->selection, "vid_04d8&pid_ffca");
    }
}

TEST_F(ExportChecks, OpenUsesBothPipesOfTheInstanceAndCloseReleasesThem) {
    ASSERT_EQ(TessCommOpenDevice(3), OPERATION_SUCCESS);
    const auto opens = calls(SCRIPTED_OPEN);
    ASSERT_EQ(opens.size(), 2u);
    for (uint32_t direction : {0u, 1u}) {
        EXPECT_EQ(opens[direction]->direction, direction);  // write pipe first
        EXPECT_EQ(opens[direction]->instance, 3u);
        EXPECT_STREQ(opens[direction]->selection, "vid_04d8&pid_ffca");
        EXPECT_STREQ(opens[direction]->endpoint, "\\MCHP_EP1");
        EXPECT_EQ(opens[direction]->reserved, 0u);
    }

    forgetCalls();
    EXPECT_EQ(TessCommOpenDevice(0), DEVICE_ALREADY_OPENED);
    EXPECT_EQ(scriptedUsbCallCount(), 0u) << "the open connection is left as it is";

    EXPECT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS);
    const auto closes = calls(SCRIPTED_CLOSE);
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[0]->handle, opens[0]->handle);
    EXPECT_EQ(closes[1]->handle, opens[1]->handle);
    EXPECT_EQ(TessCommCloseDevice(), DEVICE_NOT_OPENED_YET);
}

TEST_F(ExportChecks, FailedOpenClosesThePipeThatDidOpen) {
    for (uint32_t failing : {MPUSB_DIRECTION_WRITE, MPUSB_DIRECTION_READ}) {
        SCOPED_TRACE(failing);
        scriptedUsbReset();
        scriptedUsbFailOpen(failing);
        EXPECT_EQ(TessCommOpenDevice(0), DEVICE_COULD_NOT_BE_OPENED);
        const auto opens = calls(SCRIPTED_OPEN);
        ASSERT_EQ(opens.size(), 2u);
        const auto closes = calls(SCRIPTED_CLOSE);
        ASSERT_EQ(closes.size(), 1u);
        EXPECT_EQ(closes[0]->handle, opens[1 - failing]->handle);
        EXPECT_EQ(TessCommReadEEMemory(0, 1, buffer), DEVICE_NOT_OPENED_YET);
    }
}

TEST_F(ExportChecks, BootLoadOfNoFileLeavesTheTesterAlone) {
    openTester();
    EXPECT_EQ(TessCommBootLoad("/no/such/file.hex"), COULD_NOT_OPEN_FILE);
    EXPECT_EQ(TessCommBootLoad("/"), COULD_NOT_OPEN_FILE) << "a folder";
    EXPECT_EQ(TessCommBootLoad(nullptr), COULD_NOT_OPEN_FILE);
    EXPECT_EQ(scriptedUsbCallCount(), 0u);
    EXPECT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS) << "the connection stays open";
}

}  // namespace
}  // namespace ksx4::test
