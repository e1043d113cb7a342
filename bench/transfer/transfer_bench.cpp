// A whole transfer of eight KSX-4 reports with 32 devices each, through the
// real link library and the simulated tester, every workbook written and
// flushed to disk. Pauses run on a virtual clock and are excluded. Counters:
// link_ms, the time spent talking to the tester (opening, type, EEPROM and
// flash reads before the folder question; erase indicator and close after
// the workbooks), rest_ms, everything else, and workbooks_cpu_ms, the CPU
// time of building, filling and saving the eight workbooks.
#include "core/clock.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "report/transfer.h"
#include "report/transfer_session.h"
#include "tester_image.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <QString>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

class VirtualClock final : public ksx4::Clock {
  public:
    std::chrono::nanoseconds now() const override { return now_; }
    void advance(std::chrono::nanoseconds by) { now_ += by; }

  private:
    std::chrono::nanoseconds now_{std::chrono::hours(1)};
};

// Answers every question with its first button and notes when the link
// phases end.
class BenchOperator final : public ksx4::Operator {
  public:
    BenchOperator(VirtualClock& clock, QString folder)
        : clock_(clock), folder_(std::move(folder)) {}

    ksx4::Answer message(const QString&, ksx4::Buttons buttons, ksx4::Icon,
                         const QString&) override {
        ++messages;
        return buttons == ksx4::Buttons::YesNo ? ksx4::Answer::Yes : ksx4::Answer::Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString browseForFolder(const QString&) override {
        readsDone = std::chrono::steady_clock::now();
        readsDoneCpu = std::clock();
        return folder_;
    }
    ksx4::FileDialogResult saveFileDialog(const ksx4::FileDialogRequest&) override {
        return {true, {}, {}};
    }
    ksx4::FileDialogResult openFileDialog(const ksx4::FileDialogRequest&) override {
        return {true, {}, {}};
    }
    void setStatus(const QString& text) override {
        if (text == QLatin1String("Transferred all reports")) {
            workbooksDone = std::chrono::steady_clock::now();
            workbooksDoneCpu = std::clock();
        }
        status_ = text;
    }
    QString status() const override { return status_; }
    void appendToList(const QStringList&) override {}
    void processEvents(std::chrono::milliseconds maxWait) override {
        clock_.advance(maxWait.count() > 0 ? std::chrono::nanoseconds(maxWait)
                                           : std::chrono::nanoseconds(100000));
    }

    SteadyTime readsDone{}, workbooksDone{};
    std::clock_t readsDoneCpu = 0, workbooksDoneCpu = 0;
    int messages = 0;

  private:
    VirtualClock& clock_;
    QString folder_;
    QString status_;
};

// The simulator state folder with the sample tester, and both libraries
// loaded from the build tree, so that loading them by name finds them.
const std::filesystem::path* prepareOnce() {
    static const std::filesystem::path* prepared = []() -> const std::filesystem::path* {
        static std::filesystem::path root =
            (std::filesystem::temp_directory_path() / "ksx4-transfer-bench-XXXXXX").string();
        std::string dir = root.string();
        if (!mkdtemp(dir.data())) return nullptr;
        root = dir;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(root, ec);
        });
        setenv("KSX4_SIM_DIR", (root / "tester").c_str(), 1);
        ksx4::sim::SampleOptions options;
        options.reports = 8;
        options.devices = 32;
        if (!ksx4::sim::writeTester(root / "tester", 1, ksx4::sim::sampleTester(options))) {
            return nullptr;
        }
        if (!dlopen(SIMULATOR_PATH, RTLD_NOW | RTLD_GLOBAL)) return nullptr;
        if (!dlopen(LINK_LIBRARY_PATH, RTLD_NOW | RTLD_GLOBAL)) return nullptr;
        return &root;
    }();
    return prepared;
}

void BM_TransferEightReports(benchmark::State& state) {
    const std::filesystem::path* root = prepareOnce();
    if (!root) {
        state.SkipWithError("cannot prepare the simulated tester and the libraries");
        return;
    }
    setenv("KSX4_SIM_LATENCY_US", std::to_string(state.range(0)).c_str(), 1);
    VirtualClock clock;
    ksx4::LinkLibrary link;
    double linkSeconds = 0;
    double totalSeconds = 0;
    double workbookCpuSeconds = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::filesystem::path out = *root / ("out-" + std::to_string(run++));
        std::filesystem::create_directories(out);
        BenchOperator ui(clock, QString::fromStdString(out.string()));
        ksx4::ProgramState program(ui, clock, link);
        ksx4::TransferSession session;
        state.ResumeTiming();

        const SteadyTime start = std::chrono::steady_clock::now();
        ksx4::cmddownloaddata_Click(program, session);
        const SteadyTime end = std::chrono::steady_clock::now();

        state.PauseTiming();
        if (ui.status() != QLatin1String("Transferred all reports.  Ready...") ||
            session.transferredCount != 8) {
            state.SkipWithError(("transfer ended with: " + ui.status().toStdString()).c_str());
            break;
        }
        linkSeconds +=
            std::chrono::duration<double>((ui.readsDone - start) + (end - ui.workbooksDone))
                .count();
        totalSeconds += std::chrono::duration<double>(end - start).count();
        workbookCpuSeconds +=
            static_cast<double>(ui.workbooksDoneCpu - ui.readsDoneCpu) / CLOCKS_PER_SEC;
        std::error_code ec;
        std::filesystem::remove_all(out, ec);
        state.ResumeTiming();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["link_ms"] = 1000.0 * linkSeconds / iterations;
    state.counters["rest_ms"] = 1000.0 * (totalSeconds - linkSeconds) / iterations;
    state.counters["workbooks_cpu_ms"] = 1000.0 * workbookCpuSeconds / iterations;
}

BENCHMARK(BM_TransferEightReports)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TransferEightReports)
    ->Arg(1000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
