// The pipes: an invalid-handle error drops both until the connection is
// closed and reopened; any other error leaves them open.
#include "scripted_tester.h"

#include <cerrno>

namespace ksx4::test {
namespace {

using Pipes = ScriptedTester;

uint8_t buffer[64];
const uint8_t data[2] = {7, 8};

TEST_F(Pipes, InvalidHandleErrorDropsBothPipesUntilCloseAndReopen) {
    for (ScriptedFaultKind failing : {SCRIPTED_WRITE_FAILS, SCRIPTED_READ_FAILS}) {
        SCOPED_TRACE(failing);
        openTester();
        scriptedUsbFault(1, failing, MPUSB_ERROR_INVALID_HANDLE, 0);
        EXPECT_EQ(TessCommReadEEMemory(0, 4, buffer), OPERATION_FAILURE);
        EXPECT_EQ(calls(SCRIPTED_CLOSE).size(), 2u) << "both pipes closed at once";

        forgetCalls();
        EXPECT_EQ(TessCommReadEEMemory(0, 4, buffer), OPERATION_FAILURE);
        EXPECT_EQ(TessCommReadFlashMemory(0, 4, buffer), OPERATION_FAILURE);
        EXPECT_EQ(TessCommWriteEEMemory(0, 2, data), OPERATION_FAILURE);
        EXPECT_EQ(TessCommEraseFlash(), OPERATION_FAILURE);
        EXPECT_EQ(TessCommOpenDevice(0), DEVICE_ALREADY_OPENED) << "the connection itself stays";
        EXPECT_EQ(scriptedUsbCallCount(), 0u) << "no USB call while the pipes are dropped";

        EXPECT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS);
        EXPECT_EQ(scriptedUsbCallCount(), 0u) << "nothing left to close";
        ASSERT_EQ(TessCommOpenDevice(0), OPERATION_SUCCESS);
        EXPECT_EQ(TessCommReadEEMemory(0, 4, buffer), OPERATION_SUCCESS);
        ASSERT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS);
    }
}

TEST_F(Pipes, OtherErrorsLeaveThePipesOpenForTheNextExchange) {
    for (ScriptedFaultKind failing : {SCRIPTED_WRITE_FAILS, SCRIPTED_READ_FAILS}) {
        SCOPED_TRACE(failing);
        openTester();
        scriptedUsbFault(1, failing, ETIMEDOUT, 0);
        EXPECT_EQ(TessCommReadEEMemory(0, 4, buffer), OPERATION_FAILURE);
        EXPECT_EQ(TessCommReadEEMemory(0, 4, buffer), OPERATION_SUCCESS);
        EXPECT_TRUE(calls(SCRIPTED_CLOSE).empty());
        const auto writes = calls(SCRIPTED_WRITE);
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0]->handle, writes[1]->handle) << "written again on the same pipe";
        ASSERT_EQ(TessCommCloseDevice(), OPERATION_SUCCESS);
    }
}

}  // namespace
}  // namespace ksx4::test
