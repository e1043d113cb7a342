#include "platform/link_library.h"

#include "platform/shared_library.h"

namespace ksx4 {

struct LinkLibrary::Exports {
    SharedLibrary library;
    LinkExports functions;
};

namespace {

bool hasFolder(const std::string& name) {
    return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

template <typename Fn>
void resolve(SharedLibrary& library, const char* name, Fn& target, std::string& missing) {
    target = reinterpret_cast<Fn>(library.symbol(name));
    if (!target && missing.empty()) missing = library.error();
}

}  // namespace

LinkLibrary::LinkLibrary(std::string libraryName) : libraryName_(std::move(libraryName)) {}

LinkLibrary::LinkLibrary(const LinkExports& bound) : exports_(std::make_unique<Exports>()) {
    exports_->functions = bound;
}

LinkLibrary::~LinkLibrary() = default;

LinkLibrary::Exports& LinkLibrary::exports() {
    if (exports_) return *exports_;
    auto loaded = std::make_unique<Exports>();
    const std::string file =
        hasFolder(libraryName_) ? libraryName_ : SharedLibrary::fileNameFor(libraryName_);
    if (!loaded->library.load(file)) throw LinkLibraryUnavailable(loaded->library.error());

    std::string missing;
    LinkExports& f = loaded->functions;
    resolve(loaded->library, "TessCommGetDeviceCount", f.getDeviceCount, missing);
    resolve(loaded->library, "TessCommOpenDevice", f.openDevice, missing);
    resolve(loaded->library, "TessCommCloseDevice", f.closeDevice, missing);
    resolve(loaded->library, "TessCommResetBoard", f.resetBoard, missing);
    resolve(loaded->library, "TessCommBootLoad", f.bootLoad, missing);
    resolve(loaded->library, "TessCommReadFlashMemory", f.readFlashMemory, missing);
    resolve(loaded->library, "TessCommReadEEMemory", f.readEEMemory, missing);
    resolve(loaded->library, "TessCommEraseFlash", f.eraseFlash, missing);
    resolve(loaded->library, "TessCommWriteEEMemory", f.writeEEMemory, missing);
    if (!missing.empty()) throw LinkLibraryUnavailable(missing);

    // Kept only once complete, so a failed load is retried (and reported) at
    // the next call instead of calling through a null pointer.
    exports_ = std::move(loaded);
    return *exports_;
}

int32_t LinkLibrary::getDeviceCount() {
    return exports().functions.getDeviceCount();
}
int32_t LinkLibrary::openDevice(uint32_t instance) {
    return exports().functions.openDevice(instance);
}
int32_t LinkLibrary::closeDevice() {
    return exports().functions.closeDevice();
}
int32_t LinkLibrary::resetBoard() {
    return exports().functions.resetBoard();
}
int32_t LinkLibrary::bootLoad(const char* ansiPath) {
    return exports().functions.bootLoad(ansiPath);
}
int32_t LinkLibrary::readFlashMemory(uint32_t address, uint32_t length, uint8_t* buffer) {
    return exports().functions.readFlashMemory(address, length, buffer);
}
int32_t LinkLibrary::readEEMemory(uint32_t address, uint32_t length, uint8_t* buffer) {
    return exports().functions.readEEMemory(address, length, buffer);
}
int32_t LinkLibrary::eraseFlash() {
    return exports().functions.eraseFlash();
}
int32_t LinkLibrary::writeEEMemory(uint32_t address, uint32_t length, const uint8_t* data) {
    return exports().functions.writeEEMemory(address, length, data);
}

}  // namespace ksx4
