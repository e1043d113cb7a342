// The ksx4sim program: init followed by show for both kinds, its refusals,
// and run.
#include "sim_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

struct Result {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

Result ksx4sim(const std::string& arguments) {
    Result result;
    FILE* pipe = popen((std::string(KSX4SIM_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.output.append(chunk, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class Ksx4simTest : public SimFolderTest {};

TEST_F(Ksx4simTest, InitThenShowDescribesAFieldbusTester) {
    ASSERT_EQ(ksx4sim("init " + dir.string() + " --reports 8 --devices 32").exitCode, 0);
    const Result shown = ksx4sim("show " + dir.string());
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_NE(shown.output.find("KSX-4, serial number 1001"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("\"Report 8       \""), std::string::npos);
    EXPECT_NE(shown.output.find("voltage 9000, signal 150"), std::string::npos);
    EXPECT_NE(shown.output.find("Firmware marker: 1 (KSX-4 firmware)"), std::string::npos);
    EXPECT_EQ(occurrences(shown.output, "32 devices, checksum good"), 8u);
    EXPECT_EQ(occurrences(shown.output, ", saved 20"), 8u);  // a time stamp, not "no time"
}

TEST_F(Ksx4simTest, InitThenShowDescribesAProfibusTesterAndABrokenSlot) {
    ASSERT_EQ(
        ksx4sim("init " + dir.string() + " --pa --serial 77 --reports 2 --devices 5").exitCode, 0);
    sim::TesterImage image = stored();
    EXPECT_EQ(image.eeprom[254] << 8 | image.eeprom[255], 32768 + 77);
    image.flash[0x7600 + 20] ^= 1;  // slot 2 no longer matches its checksum
    plugIn(image);
    const Result shown = ksx4sim("show " + dir.string());
    EXPECT_NE(shown.output.find("KSX-4-PA, serial number 77"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("(KSX-4-PA firmware)"), std::string::npos);
    EXPECT_EQ(occurrences(shown.output, "5 devices, checksum good"), 1u);
    EXPECT_EQ(occurrences(shown.output, "checksum BAD"), 1u);
    EXPECT_EQ(occurrences(shown.output, ": empty"), 6u);
}

TEST_F(Ksx4simTest, SameSeedSameBytesAndNothingOverwrittenWithoutForce) {
    const std::string init = "init " + dir.string() + " --seed 42";
    ASSERT_EQ(ksx4sim(init).exitCode, 0);
    const sim::TesterImage first = stored();
    const Result again = ksx4sim(init + " --seed 43");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.output.find("--force"), std::string::npos);
    EXPECT_EQ(stored().flash, first.flash);
    ASSERT_EQ(ksx4sim(init + " --seed 43 --force").exitCode, 0);
    EXPECT_NE(stored().flash, first.flash);
    ASSERT_EQ(ksx4sim(init + " --force").exitCode, 0);
    EXPECT_EQ(stored().flash, first.flash);
    EXPECT_EQ(stored().eeprom, first.eeprom);
}

TEST_F(Ksx4simTest, InitFromADescriptionWritesItAndFromAFaultyOneNothing) {
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };
    const std::string good = write("good.json", R"({"serial": 4321, "reports": [
        {"location": "Tank 3", "saved": "2026-03-01T10:30", "devices": [{"address": 20}]},
        {"slot": 5, "location": "Tank 4", "saved": "2026-03-01T11:30"}]})");
    const Result written = ksx4sim("init " + dir.string() + " --from " + good);
    ASSERT_EQ(written.exitCode, 0) << written.output;
    EXPECT_EQ(written.output, "Wrote a KSX-4 with serial number 4321 and 2 stored reports to " +
                                  (dir / "1").string() + "\n");
    const Result shown = ksx4sim("show " + dir.string());
    EXPECT_NE(shown.output.find("Slot 1: \"Tank 3         \", saved 2026-03-01 10:30:0"),
              std::string::npos)
        << shown.output;
    EXPECT_NE(shown.output.find("Slot 5: \"Tank 4         \", saved 2026-03-01 11:30:0"),
              std::string::npos);
    EXPECT_EQ(occurrences(shown.output, ": empty"), 6u);

    const sim::TesterImage before = stored();
    const std::string bad =
        write("bad.json", R"({"reports": [{"location": "Tank 3", "voltage": -5}]})");
    for (const std::string& from : {bad, (dir / "missing.json").string()}) {
        const Result refused = ksx4sim("init " + dir.string() + " --force --from " + from);
        EXPECT_EQ(refused.exitCode, 1) << refused.output;
        EXPECT_EQ(refused.output.rfind("ksx4sim: " + from + ": ", 0), 0u) << refused.output;
    }
    EXPECT_NE(ksx4sim("init " + dir.string() + " --force --from " + bad)
                  .output.find("reports[0].voltage: a whole number from 0 to 65535, not -5"),
              std::string::npos);
    EXPECT_EQ(stored().flash, before.flash);
    EXPECT_EQ(stored().eeprom, before.eeprom);
}

TEST_F(Ksx4simTest, BadArgumentsGiveUsageAndExitCode2) {
    const std::string d = dir.string();
    for (const std::string& arguments : std::vector<std::string>{
             std::string(""), "frobnicate", "init", "init " + d + " --reports 9",
             "init " + d + " --devices 33", "init " + d + " --serial 32768",
             "init " + d + " --seed", "init " + d + " --colour", "init " + d + " " + d, "show",
             "run " + d, "run " + d + " --", "init " + d + " --from",
             "init " + d + " --from x.json --reports 2", "init " + d + " --pa --from x.json"}) {
        const Result result = ksx4sim(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_NE(result.output.find("Usage:"), std::string::npos) << arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "1"));
}

TEST_F(Ksx4simTest, RunPutsTheSimulatorFirstAndNamesTheFolder) {
    const Result result =
        ksx4sim("run " + dir.string() + " -- sh -c 'echo \"$KSX4_SIM_DIR|$LD_LIBRARY_PATH\"'");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto bin = std::filesystem::path(KSX4SIM_PATH).parent_path();
    const auto lib = (bin / ".." / "lib" / "ksx4").lexically_normal();
    EXPECT_EQ(result.output.substr(0, result.output.find(':', result.output.find('|'))),
              dir.string() + "|" + (lib / "sim").string());
}

}  // namespace
}  // namespace ksx4::test
