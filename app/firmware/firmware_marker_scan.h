#pragma once
// scanFirmwareMarker: the hardware marker byte a HEX file gives for flash
// address 32001, read from the record that starts at or below it, just
// before the first record that starts above it.
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ksx4 {

// The scan over a file's lines, in order.
class FirmwareMarkerScan {
  public:
    // Takes the next line (without its line break); false once the scan has
    // stopped, and later lines are not looked at.
    bool addLine(std::string_view line);
    // The marker, when the scan stopped at a record above 32001 and the line
    // before it is a data record holding address 32001.
    std::optional<uint8_t> marker() const { return marker_; }

  private:
    std::string previous_;
    bool stopped_ = false;
    std::optional<uint8_t> marker_;
};

// The scan over a whole text, lines ending in LF or CR LF.
std::optional<uint8_t> firmwareMarkerIn(std::string_view text);

// A file that cannot be read while the marker is scanned.
struct FirmwareFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the file line by line up to where the scan stops; nullopt: the file
// has no marker to judge. Throws FirmwareFileError.
std::optional<uint8_t> scanFirmwareMarker(const QString& path);

}  // namespace ksx4
