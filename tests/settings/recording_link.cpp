#include "recording_link.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ksx4::test {
namespace {

RecordingLink* active = nullptr;

RecordingLink& current() {
    if (!active) throw std::logic_error("no RecordingLink is active");
    return *active;
}

int32_t KSX4_CALL recordWrite(uint32_t address, uint32_t length, const uint8_t* data) {
    RecordingLink& link = current();
    const int32_t result = link.real.writeEEMemory(address, length, data);
    link.writes.push_back({address, std::vector<uint8_t>(data, data + length), result});
    return result;
}

template <typename Fn>
void resolve(SharedLibrary& library, const char* name, Fn& function) {
    function = reinterpret_cast<Fn>(library.symbol(name));
    EXPECT_NE(function, nullptr) << name << ": " << library.error();
}

}  // namespace

RecordingLink::RecordingLink() {
    active = this;
    loaded_ = library_.load(SharedLibrary::fileNameFor("ksx4_com"));
    EXPECT_TRUE(loaded_) << library_.error();
    if (loaded_) {
        resolve(library_, "TessCommGetDeviceCount", real.getDeviceCount);
        resolve(library_, "TessCommOpenDevice", real.openDevice);
        resolve(library_, "TessCommCloseDevice", real.closeDevice);
        resolve(library_, "TessCommResetBoard", real.resetBoard);
        resolve(library_, "TessCommBootLoad", real.bootLoad);
        resolve(library_, "TessCommReadFlashMemory", real.readFlashMemory);
        resolve(library_, "TessCommReadEEMemory", real.readEEMemory);
        resolve(library_, "TessCommEraseFlash", real.eraseFlash);
        resolve(library_, "TessCommWriteEEMemory", real.writeEEMemory);
        loaded_ = real.writeEEMemory != nullptr;
    }
    LinkExports bound = real;
    bound.writeEEMemory = recordWrite;
    link_ = std::make_unique<LinkLibrary>(bound);
}

RecordingLink::~RecordingLink() {
    if (active == this) active = nullptr;
}

}  // namespace ksx4::test
