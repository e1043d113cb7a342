#pragma once
// Reading an Intel HEX file's text into a HexImage, or the return code and
// line number of the first fault. Pure: the text comes in pieces from the
// caller, which reads the file.
//
// Every line is checked first (in file order, stopping at the first fault):
//  - empty, or not starting with ":" (also the empty read after a final line
//    break): UNKNOWN_LINE_IN_HEX_FILE;
//  - longer than 521 characters, or not a well-formed record:
//    UNKNOWN_HEX_FILE_FAILURE;
//  - a record whose checksum fails: BAD_HEX_LINE_CHECKSUM;
//  - the end-of-file record: the file is valid, nothing after it is read;
//  - any other record on a last line without a line break: SHORT_HEX_FILE.
// Only a file that passes all of that can fail while its data is placed,
// with UNKNOWN_HEX_FILE_FAILURE: data in a segment no area takes, or outside
// the area (program memory above the flash), two records giving different
// bytes for one address, an extended linear address record without exactly
// two data bytes, an extended segment address record giving a non-zero base.
//
// A line break is LF; a CR before it belongs to the line break. Data records
// before any extended linear address record are in segment 0; records may
// come in any order, each placed at its own address. Record types other than
// data, end of file and the two address records are skipped.
#include "hex_image.h"
#include "hex_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace ksx4::com {

struct HexFailure {
    int32_t code;   // COULD_NOT_OPEN_FILE .. UNKNOWN_HEX_FILE_FAILURE
    uint32_t line;  // counting from 1; 0 when no line is to blame
};

using HexReadResult = std::variant<HexImage, HexFailure>;

class HexReader {
  public:
    // The next piece of the text. False once the reader wants no more (the
    // end record was read or a fault found): the caller stops reading.
    bool feed(std::string_view piece);
    // The text ended (or the caller stopped after feed returned false).
    HexReadResult finish();

  private:
    void takeLine(bool lineBreakFollows);
    void takeRecord();

    HexImage image_;
    // A line of 521 characters and the CR of a CR LF line break.
    std::array<char, maxHexLineLength + 1> line_{};
    size_t lineLength_ = 0;
    uint32_t lineNumber_ = 0;
    bool done_ = false;
    std::optional<HexFailure> fault_;         // found while checking lines
    std::optional<HexFailure> placingFault_;  // found while placing data
    uint16_t segment_ = 0;
    HexRecord record_;
};

HexReadResult readHexText(std::string_view text);

}  // namespace ksx4::com
