#pragma once
// Writing files so that a crash or a full disk never leaves a half-written
// file where a good one stood: the bytes go to a temporary file in the target
// folder, reach the disk, and only then replace the target in one rename,
// after which the folder entry itself is flushed.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ksx4::files {

// True when something (a file or a folder) exists at path.
bool fileExists(const QString& path);

struct WriteFailure {
    QString reason;
    // The reason is the system's own ("No space left on device",
    // "Read-only file system", "Permission denied"), not one of ours.
    bool fromSystem = false;
};

// Writes size bytes to path, replacing any file there. Returns nullopt on
// success, else the failure. A failure leaves an existing file untouched and
// no temporary file behind.
std::optional<WriteFailure> writeFileDurably(const QString& path, const uint8_t* data,
                                             std::size_t size);

}  // namespace ksx4::files
