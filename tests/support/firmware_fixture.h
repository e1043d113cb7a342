#pragma once
// The test firmware images of tests/firmware, assembled by gpasm (Debian's
// gputils) when a test runs, and srec_cat's (Debian's srecord) conversion of
// a HEX file to binary as an independent view of what it holds.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ksx4::test {

// True when the program can be found on the PATH.
bool haveTool(const char* program);

// Assembles tests/firmware/<name>.asm into dir/<name>.hex, with CR LF line
// ends when dosLineEnds. nullopt with the assembler's output on failure.
std::optional<std::filesystem::path> assembleFirmware(const std::string& name,
                                                      const std::filesystem::path& dir,
                                                      bool dosLineEnds, std::string* problem);

// The application area 0x0800 to 0x7FFF of the HEX file as srec_cat sees it
// (30720 bytes, 0xFF where the file gives nothing). nullopt on failure.
std::optional<std::vector<uint8_t>> applicationAreaBySrecCat(const std::filesystem::path& hexFile,
                                                             std::string* problem);

}  // namespace ksx4::test
