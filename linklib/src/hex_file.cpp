#include "hex_file.h"

#include "ksx4/ksx4_com.h"

#include <cstdio>
#include <memory>

namespace ksx4::com {
namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

HexReadResult readHexFile(const char* path) {
    // Binary: the reader itself takes a CR before a line break as part of it.
    const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path, "rb"));
    if (!file) return HexFailure{COULD_NOT_OPEN_FILE, 0};
    HexReader reader;
    char piece[16384];
    for (;;) {
        const size_t got = std::fread(piece, 1, sizeof piece, file.get());
        if (got > 0 && !reader.feed({piece, got})) break;
        if (got < sizeof piece) {
            if (std::ferror(file.get())) return HexFailure{COULD_NOT_OPEN_FILE, 0};
            break;
        }
    }
    return reader.finish();
}

}  // namespace ksx4::com
