// Histories made from described testers, transferred in-process on a virtual
// clock: a described report comes out of the archive with the described
// values, and each shipped scenario (tests/scenarios), transferred visit by
// visit, gives its expected finding first and no finding on its healthy
// segments.
#include "ctl_command.h"
#include "described_tester.h"
#include "platform/link_library.h"
#include "scripted_operator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace ksx4::ctl {
namespace {

const std::filesystem::path kScenarios = KSX4_SCENARIOS_DIR;

class HistoryTest : public ::testing::Test {
  protected:
    HistoryTest() {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        ::unsetenv("KSX4_ARCHIVE");
        archivePath = root.filePath("archive.sqlite");
    }

    // One visit: the described tester, its reports transferred into the
    // archive as ksx4ctl transfer --yes does.
    void transfer(const sim::TesterImage& image) {
        ASSERT_TRUE(sim::writeTester(simDir, 1, image));
        const QString out = root.filePath("out/" + QString::number(++visits));
        std::filesystem::create_directories(out.toStdString());
        ASSERT_EQ(run({"transfer", "--folder", out, "--yes", "--archive", archivePath}), kExitDone)
            << stderrText.str() << stdoutText.str();
    }
    void transfer(const std::string& json) {
        auto tester = sim::describedTester(json);
        ASSERT_TRUE(std::holds_alternative<sim::DescribedTester>(tester))
            << std::get<std::string>(tester);
        transfer(std::get<sim::DescribedTester>(tester).image);
    }
    void transfer(const std::filesystem::path& file) {
        auto tester = sim::readDescribedTester(file);
        ASSERT_TRUE(std::holds_alternative<sim::DescribedTester>(tester))
            << std::get<std::string>(tester);
        transfer(std::get<sim::DescribedTester>(tester).image);
    }

    int run(const QStringList& arguments) {
        stdoutText.str({});
        stderrText.str({});
        std::istringstream in;
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        return runKsx4ctl(arguments, context);
    }
    QJsonObject archiveJson(QStringList arguments) {
        const int exit = run(QStringList{"archive"} + arguments +
                             QStringList{"--format", "json", "--archive", archivePath});
        EXPECT_EQ(exit, kExitDone) << stderrText.str();
        return QJsonDocument::fromJson(QByteArray::fromStdString(stdoutText.str())).object();
    }

    QTemporaryDir root;
    std::filesystem::path simDir;
    QString archivePath;
    int visits = 0;
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(HistoryTest, ADescribedReportIsArchivedWithTheDescribedValues) {
    transfer(std::string(R"({"serial": 4321,
        "limits": {"signal": 200, "ff-peak": 60, "retransmits": 3},
        "reports": [{"location": "Tank 3", "saved": "2026-03-01T10:30", "voltage": 23810,
                     "noise": {"low": {"avg": 41, "peak": 92}, "fieldbus": {"avg": 7, "peak": 15},
                               "high": {"avg": 22, "peak": 48}},
                     "shield_short": 4, "add_drop": {"address": 27, "kind": "dropped"},
                     "devices": [{"address": 20, "signal": 820, "retransmits": 2},
                                 {"address": 23, "signal": 540, "status": "added"},
                                 {"address": 27, "signal": 0, "status": "dropped"}]}]})"));

    const QJsonObject report = archiveJson({"show", "1"});
    EXPECT_EQ(report["tester_serial"].toInt(), 4321);
    EXPECT_EQ(report["tester_kind"].toString(), "KSX-4");
    EXPECT_EQ(report["location"].toString(), "Tank 3");
    EXPECT_EQ(report["report_name"].toString(), "Tank 3");
    EXPECT_TRUE(report["saved"].toString().startsWith("2026-03-01T10:30:0"))
        << report["saved"].toString().toStdString();
    EXPECT_EQ(report["devices"].toInt(), 3);

    std::map<std::pair<QString, int>, QJsonObject> values;  // (measure, device or -1)
    for (const auto& value : report["values"].toArray()) {
        const QJsonObject v = value.toObject();
        values[{v["measure"].toString(), v["device"].toInt(-1)}] = v;
    }
    struct Expected {
        const char* measure;
        int device;
        int value;
        int limit;  // -1: none
    };
    for (const Expected& e : std::initializer_list<Expected>{
             {"voltage", -1, 23810, 9000},
             {"signal", -1, 540, 200},  // the lowest, of the devices still there
             {"lf-avg", -1, 41, 150},
             {"lf-peak", -1, 92, 150},
             {"ff-avg", -1, 7, 75},
             {"ff-peak", -1, 15, 60},
             {"hf-avg", -1, 22, 150},
             {"hf-peak", -1, 48, 150},
             {"shield-short", -1, 4, -1},
             {"add-drop", -1, 3, -1},
             {"signal", 20, 820, 200},
             {"retransmits", 20, 2, 3},
             {"added-dropped", 20, 1, -1},
             {"signal", 23, 540, 200},
             {"added-dropped", 23, 2, -1},
             {"added-dropped", 27, 3, -1}}) {
        const auto found = values.find({e.measure, e.device});
        ASSERT_NE(found, values.end()) << e.measure << " " << e.device;
        EXPECT_EQ(found->second["value"].toInt(), e.value) << e.measure << " " << e.device;
        EXPECT_EQ(found->second["limit"].toInt(-1), e.limit) << e.measure << " " << e.device;
    }
}

std::vector<std::string> scenarioNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kScenarios))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ScenarioTest : public HistoryTest, public ::testing::WithParamInterface<std::string> {};

QJsonObject readJson(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return QJsonDocument::fromJson(QByteArray::fromStdString(text.str())).object();
}

TEST_P(ScenarioTest, GivesItsFindingFirstAndNoFindingOnTheHealthySegments) {
    const auto folder = kScenarios / GetParam();
    std::vector<std::filesystem::path> visitFiles;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("visit-"))
            visitFiles.push_back(entry.path());
    std::sort(visitFiles.begin(), visitFiles.end());
    ASSERT_GE(visitFiles.size(), 5u);
    for (const auto& file : visitFiles) {
        SCOPED_TRACE(file.string());
        transfer(file);
        if (HasFatalFailure()) return;
    }

    const QJsonObject expected = readJson(folder / "expected.json");
    const QString segment = expected["segment"].toString();
    ASSERT_FALSE(segment.isEmpty()) << "expected.json names no segment";
    const QJsonObject diagnosis = archiveJson({"diagnose", "--segment", segment});
    const QJsonArray findings = diagnosis["findings"].toArray();
    ASSERT_FALSE(findings.isEmpty()) << segment.toStdString();
    const QString first = findings.first().toObject()["code"].toString();
    EXPECT_TRUE(expected["first_finding"].toArray().contains(first))
        << segment.toStdString() << ": " << first.toStdString() << ", "
        << findings.first().toObject()["summary"].toString().toStdString();

    for (const auto& healthy : expected["healthy"].toArray()) {
        const QJsonArray none =
            archiveJson({"diagnose", "--segment", healthy.toString()})["findings"].toArray();
        EXPECT_TRUE(none.isEmpty())
            << healthy.toString().toStdString() << ": "
            << QJsonDocument(none).toJson(QJsonDocument::Compact).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(scenarioNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace ksx4::ctl
