#include "fake_tester.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace ksx4::test {
namespace {

FakeTester* active = nullptr;

FakeTester& current() {
    if (!active) throw std::logic_error("no FakeTester is active");
    return *active;
}

std::optional<int32_t> scripted(std::deque<int32_t>& queue) {
    if (queue.empty()) return std::nullopt;
    const int32_t result = queue.front();
    queue.pop_front();
    return result;
}

int32_t KSX4_CALL fakeGetDeviceCount() {
    return current().getDeviceCount();
}
int32_t KSX4_CALL fakeOpenDevice(uint32_t instance) {
    return current().openDevice(instance);
}
int32_t KSX4_CALL fakeCloseDevice() {
    return current().closeDevice();
}
int32_t KSX4_CALL fakeResetBoard() {
    return current().closeDevice();
}
int32_t KSX4_CALL fakeBootLoad(const char* path) {
    return current().bootLoad(path);
}
int32_t KSX4_CALL fakeReadFlash(uint32_t address, uint32_t length, uint8_t* buffer) {
    return current().readFlashMemory(address, length, buffer);
}
int32_t KSX4_CALL fakeReadEeprom(uint32_t address, uint32_t length, uint8_t* buffer) {
    return current().readEEMemory(address, length, buffer);
}
int32_t KSX4_CALL fakeEraseFlash() {
    return current().connectionOpen ? OPERATION_SUCCESS : DEVICE_NOT_OPENED_YET;
}
int32_t KSX4_CALL fakeWriteEeprom(uint32_t address, uint32_t length, const uint8_t* data) {
    return current().writeEEMemory(address, length, data);
}

LinkExports fakeExports() {
    return {fakeGetDeviceCount, fakeOpenDevice, fakeCloseDevice, fakeResetBoard, fakeBootLoad,
            fakeReadFlash,      fakeReadEeprom, fakeEraseFlash,  fakeWriteEeprom};
}

// The link library's range checks, in its order.
int32_t checkRange(uint64_t address, uint64_t length, uint64_t size) {
    if (address >= size) return BAD_MEMORY_ADDRESS;
    if (address + length > size) return MEMORY_OPERATION_OVERRUN;
    return OPERATION_SUCCESS;
}

}  // namespace

FakeTester::FakeTester() : link_(fakeExports()) {
    active = this;
}

FakeTester::~FakeTester() {
    if (active == this) active = nullptr;
}

int32_t FakeTester::getDeviceCount() {
    ++deviceCountCalls;
    if (onDeviceCount) onDeviceCount(deviceCountCalls);
    return scripted(deviceCounts).value_or(attached);
}

int32_t FakeTester::openDevice(uint32_t instance) {
    ++openCalls;
    if (auto result = scripted(openResults)) return *result;
    if (connectionOpen) return DEVICE_ALREADY_OPENED;
    if (static_cast<int64_t>(instance) >= attached) return DEVICE_COULD_NOT_BE_OPENED;
    connectionOpen = true;
    return OPERATION_SUCCESS;
}

int32_t FakeTester::closeDevice() {
    ++closeCalls;
    if (auto result = scripted(closeResults)) return *result;
    if (!connectionOpen) return DEVICE_NOT_OPENED_YET;
    connectionOpen = false;
    return OPERATION_SUCCESS;
}

int32_t FakeTester::readEEMemory(uint32_t address, uint32_t length, uint8_t* buffer) {
    ++eepromReads;
    if (auto result = scripted(eepromReadResults)) return *result;
    if (!connectionOpen) return DEVICE_NOT_OPENED_YET;
    if (int32_t range = checkRange(address, length, eeprom.size())) return range;
    std::memcpy(buffer, eeprom.data() + address, length);
    return OPERATION_SUCCESS;
}

int32_t FakeTester::writeEEMemory(uint32_t address, uint32_t length, const uint8_t* data) {
    ++eepromWrites;
    if (auto result = scripted(eepromWriteResults)) return *result;
    if (!connectionOpen) return DEVICE_NOT_OPENED_YET;
    if (length == 0 || length > 16) return BAD_BUFFER_LENGTH;
    if (int32_t range = checkRange(address, length, eeprom.size())) return range;
    std::memcpy(eeprom.data() + address, data, length);
    return OPERATION_SUCCESS;
}

int32_t FakeTester::readFlashMemory(uint32_t address, uint32_t length, uint8_t* buffer) {
    ++flashReads;
    if (auto result = scripted(flashReadResults)) return *result;
    if (!connectionOpen) return DEVICE_NOT_OPENED_YET;
    if (int32_t range = checkRange(address, length, flash.size())) return range;
    std::memcpy(buffer, flash.data() + address, length);
    return OPERATION_SUCCESS;
}

int32_t FakeTester::bootLoad(const char* path) {
    bootLoadPaths.emplace_back(path);
    if (onBootLoad) onBootLoad();
    if (auto result = scripted(bootLoadResults)) return *result;
    return connectionOpen ? OPERATION_SUCCESS : DEVICE_NOT_OPENED_YET;
}

void FakeTester::setWord(int address, uint16_t value) {
    eeprom.at(static_cast<std::size_t>(address)) = static_cast<uint8_t>(value >> 8);
    eeprom.at(static_cast<std::size_t>(address) + 1) = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace ksx4::test
