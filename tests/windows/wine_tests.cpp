// Runs the Windows build of the link library against the tests' own
// mpusbapi.dll, as a Windows program binds it: LoadLibrary, then the nine
// exports by name with GetProcAddress. The scripted access library is found
// through SetDllDirectory, so each case picks the folder it needs.
//
// Usage: ksx4_com_wine_tests KSX4_COM_DLL SCRIPTED_DIR WITHOUT_READ_INT_DIR
#include "ksx4/ksx4_com.h"
#include "scripted_mpusbapi.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Failures of the running case; each case reports once.
class Results {
  public:
    void expect(bool ok, const std::string& what) {
        if (!ok) problems_.push_back(what);
    }
    void finishCase(const char* name) {
        if (problems_.empty()) {
            std::printf("ok: %s\n", name);
            ++passed_;
        } else {
            for (const std::string& p : problems_) std::printf("FAILED: %s: %s\n", name, p.c_str());
            ++failed_;
        }
        problems_.clear();
    }
    int finish() const {
        std::printf("%d passed, %d failed\n", passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }

  private:
    std::vector<std::string> problems_;
    int passed_ = 0;
    int failed_ = 0;
};

std::string number(unsigned long value) {
    return std::to_string(value);
}

template <typename Fn>
Fn bound(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The link library's nine exports, and the scripted access library's
// controls in the copy the link library loaded.
struct Bound {
    HMODULE link = nullptr;
    TessCommGetDeviceCountFn getDeviceCount = nullptr;
    TessCommOpenDeviceFn openDevice = nullptr;
    TessCommCloseDeviceFn closeDevice = nullptr;
    TessCommResetBoardFn resetBoard = nullptr;
    TessCommBootLoadFn bootLoad = nullptr;
    TessCommReadFlashMemoryFn readFlash = nullptr;
    TessCommReadEEMemoryFn readEeprom = nullptr;
    TessCommEraseFlashFn eraseFlash = nullptr;
    TessCommWriteEEMemoryFn writeEeprom = nullptr;
    ScriptedResetFn reset = nullptr;
    ScriptedSetDeviceCountFn setDeviceCount = nullptr;
    ScriptedFailNextFn failNext = nullptr;
    ScriptedCountsFn counts = nullptr;

    bool complete() const {
        return getDeviceCount && openDevice && closeDevice && resetBoard && bootLoad && readFlash &&
               readEeprom && eraseFlash && writeEeprom && reset && setDeviceCount && failNext &&
               counts;
    }
    ScriptedCounts now() const {
        ScriptedCounts c{};
        counts(&c);
        return c;
    }
};

void missingReadIntFailsTheAttach(const char* linkPath, const char* withoutReadIntDir,
                                  Results& results) {
    SetDllDirectoryA(withoutReadIntDir);
    HMODULE link = LoadLibraryA(linkPath);
    const DWORD error = GetLastError();
    results.expect(link == nullptr, "ksx4_com.dll loaded although mpusbapi lacks _MPUSBReadInt");
    results.expect(error == ERROR_DLL_INIT_FAILED, "LoadLibrary error " + number(error));
    results.expect(GetModuleHandleA("mpusbapi") == nullptr, "the access library stayed loaded");
    if (link != nullptr) FreeLibrary(link);
    SetDllDirectoryA(nullptr);
    results.finishCase("an access library without _MPUSBReadInt fails the attach");
}

Bound bindsByName(const char* linkPath, const char* scriptedDir, Results& results) {
    Bound b;
    SetDllDirectoryA(scriptedDir);
    b.link = LoadLibraryA(linkPath);
    results.expect(b.link != nullptr, "LoadLibrary error " + number(GetLastError()));
    HMODULE usb = GetModuleHandleA("mpusbapi");
    results.expect(usb != nullptr, "the access library was not loaded at attach");
    if (b.link != nullptr && usb != nullptr) {
        b.getDeviceCount = bound<TessCommGetDeviceCountFn>(b.link, "TessCommGetDeviceCount");
        b.openDevice = bound<TessCommOpenDeviceFn>(b.link, "TessCommOpenDevice");
        b.closeDevice = bound<TessCommCloseDeviceFn>(b.link, "TessCommCloseDevice");
        b.resetBoard = bound<TessCommResetBoardFn>(b.link, "TessCommResetBoard");
        b.bootLoad = bound<TessCommBootLoadFn>(b.link, "TessCommBootLoad");
        b.readFlash = bound<TessCommReadFlashMemoryFn>(b.link, "TessCommReadFlashMemory");
        b.readEeprom = bound<TessCommReadEEMemoryFn>(b.link, "TessCommReadEEMemory");
        b.eraseFlash = bound<TessCommEraseFlashFn>(b.link, "TessCommEraseFlash");
        b.writeEeprom = bound<TessCommWriteEEMemoryFn>(b.link, "TessCommWriteEEMemory");
        b.reset = bound<ScriptedResetFn>(usb, "scriptedReset");
        b.setDeviceCount = bound<ScriptedSetDeviceCountFn>(usb, "scriptedSetDeviceCount");
        b.failNext = bound<ScriptedFailNextFn>(usb, "scriptedFailNext");
        b.counts = bound<ScriptedCountsFn>(usb, "scriptedCounts");
    }
    results.expect(b.complete(), "an export or control was not found by name");
    if (b.complete()) {
        for (uint32_t testers : {0u, 2u, 1u}) {
            b.setDeviceCount(testers);
            const int32_t count = b.getDeviceCount();
            results.expect(count == static_cast<int32_t>(testers),
                           "device count " + number(count) + " for " + number(testers));
        }
    }
    results.finishCase("the nine exports and the access library bind by name");
    return b;
}

void wholeMemoryReads(const Bound& b, Results& results) {
    b.reset();
    results.expect(b.openDevice(0) == OPERATION_SUCCESS, "open failed");

    std::vector<uint8_t> eeprom(KSX4_EEPROM_SIZE);
    results.expect(b.readEeprom(0, KSX4_EEPROM_SIZE, eeprom.data()) == OPERATION_SUCCESS,
                   "EEPROM read failed");
    for (uint32_t a = 0; a < KSX4_EEPROM_SIZE; ++a) {
        if (eeprom[a] == scriptedEepromByte(a)) continue;
        results.expect(false, "EEPROM byte " + number(a) + " differs");
        break;
    }
    results.expect(b.now().writes == 5, "EEPROM packets: " + number(b.now().writes));

    std::vector<uint8_t> flash(KSX4_FLASH_SIZE);
    results.expect(b.readFlash(0, KSX4_FLASH_SIZE, flash.data()) == OPERATION_SUCCESS,
                   "flash read failed");
    for (uint32_t a = 0; a < KSX4_FLASH_SIZE; ++a) {
        if (flash[a] == scriptedFlashByte(a)) continue;
        results.expect(false, "flash byte " + number(a) + " differs");
        break;
    }
    // 32768 bytes in 59-byte chunks: 556 packets after the EEPROM's 5.
    results.expect(b.now().writes == 5 + 556, "flash packets: " + number(b.now().writes - 5));

    results.expect(b.closeDevice() == OPERATION_SUCCESS, "close failed");
    results.expect(b.now().openPipes == 0, "pipes left open");
    results.finishCase("one whole-EEPROM and one whole-flash read");
}

struct FailedExchange {
    const char* name;
    bool write;
    DWORD lastError;
    bool dropsPipes;
};

// Only the invalid-handle error (6) drops the pipes; after it every exchange
// fails without a USB call until the connection is closed and reopened.
void failedExchanges(const Bound& b, Results& results) {
    const FailedExchange cases[] = {
        {"a write failing with GetLastError 6 drops the pipes", true, ERROR_INVALID_HANDLE, true},
        {"a read failing with GetLastError 6 drops the pipes", false, ERROR_INVALID_HANDLE, true},
        {"a write timing out keeps the pipes", true, ERROR_SEM_TIMEOUT, false},
        {"a read timing out keeps the pipes", false, ERROR_SEM_TIMEOUT, false},
    };
    uint8_t buffer[16];
    for (const FailedExchange& c : cases) {
        b.reset();
        results.expect(b.openDevice(0) == OPERATION_SUCCESS, "open failed");
        b.failNext(c.write ? 1 : 0, c.lastError);
        results.expect(b.readEeprom(0, sizeof buffer, buffer) == OPERATION_FAILURE,
                       "the failed exchange was not reported");
        const ScriptedCounts afterFault = b.now();
        results.expect(afterFault.closes == (c.dropsPipes ? 2u : 0u),
                       "pipes closed: " + number(afterFault.closes));

        const int32_t next = b.readEeprom(0, sizeof buffer, buffer);
        if (c.dropsPipes) {
            results.expect(next == OPERATION_FAILURE, "read after the drop: " + number(next));
            results.expect(b.now().writes == afterFault.writes, "a dropped pipe was written");
        } else {
            results.expect(next == OPERATION_SUCCESS, "read after the fault: " + number(next));
        }

        results.expect(b.closeDevice() == OPERATION_SUCCESS, "close failed");
        results.expect(b.now().openPipes == 0, "pipes left open");
        results.finishCase(c.name);
    }
}

// The loader and SetDllDirectory want full paths with backslashes.
std::string fullPath(const char* path) {
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return path;
    return full;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s KSX4_COM_DLL SCRIPTED_DIR WITHOUT_READ_INT_DIR\n", argv[0]);
        return 2;
    }
    const std::string linkPath = fullPath(argv[1]);
    const std::string scriptedDir = fullPath(argv[2]);
    const std::string withoutReadIntDir = fullPath(argv[3]);
    Results results;
    // First, while no mpusbapi is loaded in this process: a module loaded
    // once is found again by its name alone.
    missingReadIntFailsTheAttach(linkPath.c_str(), withoutReadIntDir.c_str(), results);
    const Bound b = bindsByName(linkPath.c_str(), scriptedDir.c_str(), results);
    if (b.complete()) {
        wholeMemoryReads(b, results);
        failedExchanges(b, results);
    }
    if (b.link != nullptr) FreeLibrary(b.link);
    return results.finish();
}
