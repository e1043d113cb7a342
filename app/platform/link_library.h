#pragma once
// The program's binding of the nine ksx4_com exports. The library is loaded by
// name at the first call of any export (the system's search order applies:
// the program's RUNPATH points at ../lib/ksx4), and the exports are resolved
// by name. When it cannot be loaded, every call throws LinkLibraryUnavailable
// with the loader's description.
#include "ksx4/ksx4_com.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace ksx4 {

struct LinkLibraryUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The nine exports, resolved. Tests may bind their own fakes through it.
struct LinkExports {
    TessCommGetDeviceCountFn getDeviceCount = nullptr;
    TessCommOpenDeviceFn openDevice = nullptr;
    TessCommCloseDeviceFn closeDevice = nullptr;
    TessCommResetBoardFn resetBoard = nullptr;
    TessCommBootLoadFn bootLoad = nullptr;
    TessCommReadFlashMemoryFn readFlashMemory = nullptr;
    TessCommReadEEMemoryFn readEEMemory = nullptr;
    TessCommEraseFlashFn eraseFlash = nullptr;
    TessCommWriteEEMemoryFn writeEEMemory = nullptr;
};

class LinkLibrary {
  public:
    // libraryName: a base name ("ksx4_com", loaded as libksx4_com.so or
    // ksx4_com.dll through the system's search order) or a path with a folder.
    explicit LinkLibrary(std::string libraryName = "ksx4_com");
    // Already bound exports (tests); every one must be set.
    explicit LinkLibrary(const LinkExports& bound);
    ~LinkLibrary();
    LinkLibrary(const LinkLibrary&) = delete;
    LinkLibrary& operator=(const LinkLibrary&) = delete;

    int32_t getDeviceCount();
    int32_t openDevice(uint32_t instance);
    int32_t closeDevice();
    int32_t resetBoard();
    int32_t bootLoad(const char* ansiPath);
    int32_t readFlashMemory(uint32_t address, uint32_t length, uint8_t* buffer);
    int32_t readEEMemory(uint32_t address, uint32_t length, uint8_t* buffer);
    int32_t eraseFlash();
    int32_t writeEEMemory(uint32_t address, uint32_t length, const uint8_t* data);

  private:
    struct Exports;
    Exports& exports();  // loads and resolves at the first call
    std::string libraryName_;
    std::unique_ptr<Exports> exports_;
};

}  // namespace ksx4
