#pragma once
// The program's binding of the nine ksx4_com exports. The library is loaded by
// name at the first call of any export (the system's search order applies:
// the program's RUNPATH points at ../lib/ksx4), and the exports are resolved
// by name. When it cannot be loaded, every call throws LinkLibraryUnavailable
// with the loader's description.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace ksx4 {

struct LinkLibraryUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class LinkLibrary {
public:
    explicit LinkLibrary(std::string libraryName = "ksx4_com");
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
