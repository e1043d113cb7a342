#pragma once
// Little-endian output into one growing buffer, with BIFF records whose
// length is filled in when they end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ksx4::xls {

class ByteWriter {
  public:
    explicit ByteWriter(std::size_t reserve = 0) { bytes_.reserve(reserve); }

    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) { put(&v, 2); }
    void u32(uint32_t v) { put(&v, 4); }
    void f64(double v) { put(&v, 8); }
    void zeros(std::size_t n) { bytes_.resize(bytes_.size() + n, 0); }
    void raw(const void* data, std::size_t n) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + n);
        if (n > 0) std::memcpy(bytes_.data() + at, data, n);
    }
    void patchU16(std::size_t at, uint16_t v) { std::memcpy(bytes_.data() + at, &v, 2); }
    void patchU32(std::size_t at, uint32_t v) { std::memcpy(bytes_.data() + at, &v, 4); }

    // A record: type, then a length patched by endRecord.
    std::size_t beginRecord(uint16_t type) {
        const std::size_t at = bytes_.size();
        u16(type);
        u16(0);
        return at;
    }
    void endRecord(std::size_t recordStart) {
        patchU16(recordStart + 2, static_cast<uint16_t>(bytes_.size() - recordStart - 4));
    }

    std::size_t size() const { return bytes_.size(); }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    // The format is little-endian, as is every machine we build for.
    void put(const void* v, std::size_t n) { raw(v, n); }
    std::vector<uint8_t> bytes_;
};

}  // namespace ksx4::xls
