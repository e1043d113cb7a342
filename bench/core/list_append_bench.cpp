// Appending one device-count round (2001 lines) to the status list List1,
// with the view attached and shown offscreen, at several list sizes. The
// list is never cleared, so a long search grows it to 100,000 lines and more.
#include "core/status_list_model.h"

#include <QApplication>
#include <QListView>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRoundLines = 2001;

QStringList roundOfLines() {
    QStringList lines;
    for (int i = 0; i < kRoundLines; ++i)
        lines.append(QStringLiteral("TessCommGetDeviceCount = 0"));
    return lines;
}

void appendRoundToStatusList(benchmark::State& state) {
    const QStringList round = roundOfLines();
    ksx4::StatusListModel model;
    QListView view;
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.resize(305, 144);
    view.show();
    for (int64_t n = 0; n < state.range(0); n += kRoundLines) model.appendLines(round);
    QApplication::processEvents();
    for (auto _ : state) {
        model.appendLines(round);
        QApplication::processEvents();  // the view's layout and paint
    }
    state.counters["lines_at_end"] = static_cast<double>(model.rowCount());
}
BENCHMARK(appendRoundToStatusList)
    ->Arg(0)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(50)
    ->Unit(benchmark::kMicrosecond);

// For comparison: one item per line in a list widget without uniform sizes.
void appendRoundToListWidget(benchmark::State& state) {
    const QStringList round = roundOfLines();
    QListWidget widget;
    widget.resize(305, 144);
    widget.show();
    for (int64_t n = 0; n < state.range(0); n += kRoundLines) widget.addItems(round);
    QApplication::processEvents();
    for (auto _ : state) {
        widget.addItems(round);
        QApplication::processEvents();
    }
}
BENCHMARK(appendRoundToListWidget)
    ->Arg(0)
    ->Arg(100000)
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
