#include "hex_image.h"

namespace ksx4::com {
namespace {

const uint8_t erasedRow[hexRowSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

bool HexArea::holds(uint64_t address, uint32_t count) const {
    return address >= start_ && address + count <= uint64_t{start_} + size_;
}

bool HexArea::give(uint32_t address, uint8_t value) {
    if (bytes_.empty()) {
        bytes_.assign(size_, 0xFF);
        rowMasks_.assign(size_ / hexRowSize, 0);
    }
    const uint32_t offset = address - start_;
    uint16_t& mask = rowMasks_[offset / hexRowSize];
    const auto bit = static_cast<uint16_t>(1u << (offset % hexRowSize));
    if (mask & bit) return bytes_[offset] == value;
    mask |= bit;
    bytes_[offset] = value;
    return true;
}

uint16_t HexArea::rowMask(uint32_t rowAddress) const {
    return bytes_.empty() ? 0 : rowMasks_[(rowAddress - start_) / hexRowSize];
}

const uint8_t* HexArea::row(uint32_t rowAddress) const {
    return bytes_.empty() ? erasedRow : bytes_.data() + (rowAddress - start_);
}

}  // namespace ksx4::com
