#include "platform/xls/compound_file.h"

#include "platform/xls/byte_writer.h"
#include "platform/xls/spreadsheet.h"

#include <algorithm>

namespace ksx4::xls {
namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEntriesPerFatSector = kSectorSize / 4;
constexpr uint32_t kHeaderFatSlots = 109;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
// Streams below this size would be looked for in the mini stream.
constexpr uint32_t kMiniStreamCutoff = 4096;

void directoryEntry(ByteWriter& out, const char16_t* name, uint8_t type, uint32_t child,
                    uint32_t start, uint32_t size) {
    std::size_t length = 0;
    while (name[length] != 0) ++length;
    for (std::size_t i = 0; i < 32; ++i) out.u16(i < length ? name[i] : 0);
    out.u16(length > 0 ? static_cast<uint16_t>((length + 1) * 2) : 0);
    out.u8(type);
    out.u8(type != 0 ? 1 : 0);  // black in the red-black tree
    out.u32(kNoStream);         // left sibling
    out.u32(kNoStream);         // right sibling
    out.u32(child);
    out.zeros(16 + 4 + 8 + 8);  // class id, state bits, creation and modification times
    out.u32(start);
    out.u32(size);
    out.u32(0);  // size, high half
}

}  // namespace

std::vector<uint8_t> wrapInCompoundFile(const std::vector<uint8_t>& stream) {
    const uint32_t streamSize =
        std::max<uint32_t>(static_cast<uint32_t>(stream.size()), kMiniStreamCutoff);
    const uint32_t streamSectors = (streamSize + kSectorSize - 1) / kSectorSize;
    // Sectors: the allocation table first, then the directory, then the stream.
    uint32_t fatSectors = 1;
    while (fatSectors * kEntriesPerFatSector < fatSectors + 1 + streamSectors) ++fatSectors;
    if (stream.size() > 0x7FFFFFFF || fatSectors > kHeaderFatSlots) {
        throw SpreadsheetError(kErrRequestRefused,
                               QStringLiteral("The workbook is too large to be saved."));
    }
    const uint32_t directorySector = fatSectors;
    const uint32_t firstStreamSector = fatSectors + 1;

    ByteWriter out(kSectorSize * (1 + firstStreamSector + streamSectors));
    // Header.
    out.raw("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.zeros(16);    // class id
    out.u16(0x003E);  // minor version
    out.u16(0x0003);  // major version 3
    out.u16(0xFFFE);  // byte order
    out.u16(9);       // sector size 2^9
    out.u16(6);       // mini sector size 2^6
    out.zeros(6);
    out.u32(0);  // directory sectors (always 0 in version 3)
    out.u32(fatSectors);
    out.u32(directorySector);
    out.u32(0);  // transaction signature
    out.u32(kMiniStreamCutoff);
    out.u32(kEndOfChain);  // no mini allocation table
    out.u32(0);
    out.u32(kEndOfChain);  // no further allocation table sectors
    out.u32(0);
    for (uint32_t i = 0; i < kHeaderFatSlots; ++i) out.u32(i < fatSectors ? i : kFreeSector);

    // Allocation table.
    for (uint32_t i = 0; i < fatSectors; ++i) out.u32(kFatSector);
    out.u32(kEndOfChain);  // the directory's one sector
    for (uint32_t i = 0; i < streamSectors; ++i) {
        out.u32(i + 1 < streamSectors ? firstStreamSector + i + 1 : kEndOfChain);
    }
    for (uint32_t i = fatSectors + 1 + streamSectors; i < fatSectors * kEntriesPerFatSector; ++i) {
        out.u32(kFreeSector);
    }

    // Directory: the root, the workbook stream, two unused entries.
    directoryEntry(out, u"Root Entry", 5, 1, kEndOfChain, 0);
    directoryEntry(out, u"Workbook", 2, kNoStream, firstStreamSector, streamSize);
    directoryEntry(out, u"", 0, kNoStream, 0, 0);
    directoryEntry(out, u"", 0, kNoStream, 0, 0);

    // The stream, padded with zeros to whole sectors.
    out.raw(stream.data(), stream.size());
    out.zeros(static_cast<std::size_t>(streamSectors) * kSectorSize - stream.size());
    return std::move(out.bytes());
}

}  // namespace ksx4::xls
