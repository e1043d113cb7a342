#pragma once
// Loads the link library at run time, the way the program does, so that the
// simulator it binds starts after the test has chosen its state folder.
#include "ksx4/ksx4_com.h"

namespace ksx4::test {

struct LinkLibrary {
    TessCommGetDeviceCountFn getDeviceCount = nullptr;
    TessCommOpenDeviceFn openDevice = nullptr;
    TessCommCloseDeviceFn closeDevice = nullptr;
    TessCommResetBoardFn resetBoard = nullptr;
    TessCommBootLoadFn bootLoad = nullptr;
    TessCommReadFlashMemoryFn readFlash = nullptr;
    TessCommReadEEMemoryFn readEeprom = nullptr;
    TessCommEraseFlashFn eraseFlash = nullptr;
    TessCommWriteEEMemoryFn writeEeprom = nullptr;

    // Loads libksx4_com.so through the search order (the test environment
    // puts the simulator first). Fails the current test when it cannot.
    static LinkLibrary load();
};

// The file the loaded USB access library came from ("" when none is bound).
const char* boundAccessLibraryPath();

}  // namespace ksx4::test
