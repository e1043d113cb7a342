#include "firmware_fixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ksx4::test {
namespace {

std::string quoted(const std::filesystem::path& path) {
    std::string text = "'";
    for (const char c : path.string()) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the command with its output in log; true when it exits with 0.
bool run(const std::string& command, const std::filesystem::path& log, std::string* problem) {
    const bool ok = std::system((command + " >" + quoted(log) + " 2>&1").c_str()) == 0;
    if (!ok && problem) *problem = command + ":\n" + readText(log);
    return ok;
}

}  // namespace

bool haveTool(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

std::optional<std::filesystem::path> assembleFirmware(const std::string& name,
                                                      const std::filesystem::path& dir,
                                                      bool dosLineEnds, std::string* problem) {
    const std::filesystem::path sources = KSX4_FIRMWARE_SOURCE_DIR;
    const auto hexFile = dir / (name + ".hex");
    const std::string command = "gpasm -q" + std::string(dosLineEnds ? " -n" : "") + " -I " +
                                quoted(sources) + " -o " + quoted(hexFile) + " " +
                                quoted(sources / (name + ".asm"));
    if (!run(command, dir / (name + ".gpasm.log"), problem)) return std::nullopt;
    return hexFile;
}

std::optional<std::vector<uint8_t>> applicationAreaBySrecCat(const std::filesystem::path& hexFile,
                                                             std::string* problem) {
    auto binary = hexFile;
    binary.replace_extension(".application.bin");
    const std::string command = "srec_cat " + quoted(hexFile) +
                                " -Intel -crop 0x0800 0x8000 -fill 0xFF 0x0800 0x8000"
                                " -offset -0x0800 -o " +
                                quoted(binary) + " -Binary";
    if (!run(command, binary.string() + ".log", problem)) return std::nullopt;
    const std::string bytes = readText(binary);
    if (bytes.size() != 0x7800) {
        if (problem) *problem = "srec_cat gave " + std::to_string(bytes.size()) + " bytes";
        return std::nullopt;
    }
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace ksx4::test
