#pragma once
// Reads an Intel HEX file through HexReader, piece by piece, stopping where
// the reader wants no more: nothing after the end record is read, and a line
// too long for any record is never read to its end.
#include "hex_reader.h"

namespace ksx4::com {

// A file that cannot be opened or read: COULD_NOT_OPEN_FILE.
HexReadResult readHexFile(const char* path);

}  // namespace ksx4::com
