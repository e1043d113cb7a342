// ksx4sim init: writes the sample tester, or a described one, into DIR/1.
#include "commands.h"
#include "described_tester.h"
#include "tester_image.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace ksx4::sim {
namespace {

std::optional<uint32_t> parseNumber(std::string_view text, uint32_t max) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

int initCommand(std::span<const std::string_view> args) {
    SampleOptions options;
    std::optional<std::string_view> dir;
    std::optional<std::string_view> from;
    std::optional<std::string_view> sampleOption;  // an option of the sample tester
    bool force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--pa") {
            options.pa = true;
            sampleOption = arg;
        } else if (arg == "--force") {
            force = true;
        } else if (arg == "--varied-names") {
            options.variedNames = true;
            sampleOption = arg;
        } else if (arg == "--from") {
            if (i + 1 == args.size()) return usage("--from needs a file");
            from = args[++i];
        } else if (arg == "--serial" || arg == "--reports" || arg == "--devices" ||
                   arg == "--seed") {
            if (i + 1 == args.size()) return usage(std::string(arg) + " needs a number");
            const uint32_t max = arg == "--serial"    ? 32767
                                 : arg == "--reports" ? 8
                                 : arg == "--devices" ? 32
                                                      : UINT32_MAX;
            const auto value = parseNumber(args[++i], max);
            if (!value)
                return usage(std::string(arg) + " takes a whole number from 0 to " +
                             std::to_string(max) + ", not '" + std::string(args[i]) + "'");
            sampleOption = arg;
            if (arg == "--serial") options.serial = static_cast<uint16_t>(*value);
            if (arg == "--reports") options.reports = static_cast<int>(*value);
            if (arg == "--devices") options.devices = static_cast<int>(*value);
            if (arg == "--seed") options.seed = *value;
        } else if (arg.starts_with("-") || dir) {
            return usage("unexpected argument '" + std::string(arg) + "'");
        } else {
            dir = arg;
        }
    }
    if (!dir) return usage("init needs a folder");
    if (from && sampleOption)
        return usage(std::string(*sampleOption) + " describes the sample tester; --from " +
                     std::string(*from) + " describes the whole tester");

    const std::filesystem::path folder = std::filesystem::path(*dir) / "1";
    std::error_code ec;
    if (!force && (std::filesystem::exists(folder / "flash.bin", ec) ||
                   std::filesystem::exists(folder / "eeprom.bin", ec))) {
        std::cerr << "ksx4sim: " << folder.string()
                  << " already holds a tester; add --force to overwrite it\n";
        return kExitFailed;
    }
    // A described tester is read whole before anything is written, so a bad
    // description leaves the folder as it was.
    DescribedTester tester;
    if (from) {
        auto described = readDescribedTester(std::filesystem::path(*from));
        if (const auto* problem = std::get_if<std::string>(&described)) {
            std::cerr << "ksx4sim: " << *problem << "\n";
            return kExitFailed;
        }
        tester = std::get<DescribedTester>(std::move(described));
    } else {
        tester = {sampleTester(options), options.pa, options.serial, options.reports};
    }
    std::string error;
    if (!writeTester(*dir, 1, tester.image, &error)) {
        std::cerr << "ksx4sim: " << error << "\n";
        return kExitFailed;
    }
    std::cout << "Wrote a " << (tester.pa ? "KSX-4-PA" : "KSX-4") << " with serial number "
              << tester.serial << " and " << tester.reports << " stored report"
              << (tester.reports == 1 ? "" : "s") << " to " << folder.string() << "\n";
    return kExitDone;
}

}  // namespace ksx4::sim
