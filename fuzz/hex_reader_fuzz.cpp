// The HEX reader on any text: no crash, no hang, no sanitizer report, a
// failure always names one of the file codes and a line, and the outcome
// does not depend on where the text is cut into the pieces it is read in.
#include "hex_reader.h"
#include "ksx4/ksx4_com.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using ksx4::com::HexArea;
using ksx4::com::HexFailure;
using ksx4::com::HexImage;
using ksx4::com::HexReadResult;

bool sameArea(const HexArea& a, const HexArea& b) {
    for (uint32_t row = a.start(); row < a.start() + a.size(); row += ksx4::com::hexRowSize) {
        const uint16_t mask = a.rowMask(row);
        if (mask != b.rowMask(row)) return false;
        for (uint32_t i = 0; i < ksx4::com::hexRowSize; ++i) {
            if ((mask >> i & 1) && a.row(row)[i] != b.row(row)[i]) return false;
        }
    }
    return true;
}

bool sameOutcome(const HexReadResult& a, const HexReadResult& b) {
    if (a.index() != b.index()) return false;
    if (const auto* failure = std::get_if<HexFailure>(&a)) {
        const auto& other = std::get<HexFailure>(b);
        return failure->code == other.code && failure->line == other.line;
    }
    const auto& x = std::get<HexImage>(a);
    const auto& y = std::get<HexImage>(b);
    return sameArea(x.programMemory, y.programMemory) && sameArea(x.idLocations, y.idLocations) &&
           sameArea(x.configuration, y.configuration) && sameArea(x.eeprom, y.eeprom);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const HexReadResult whole = ksx4::com::readHexText(text);
    if (const auto* failure = std::get_if<HexFailure>(&whole)) {
        if (failure->code < BAD_HEX_LINE_CHECKSUM || failure->code > UNKNOWN_HEX_FILE_FAILURE ||
            failure->line == 0) {
            __builtin_trap();
        }
    }

    // The same text in two pieces, cut where its last byte says.
    const size_t cut = size == 0 ? 0 : data[size - 1] * size / 256;
    ksx4::com::HexReader reader;
    if (reader.feed(text.substr(0, cut))) reader.feed(text.substr(cut));
    if (!sameOutcome(whole, reader.finish())) __builtin_trap();
    return 0;
}
