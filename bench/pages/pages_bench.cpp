// The printed pages of 32-device reports of both layouts: laying out the
// pages, drawing one page (into a screen image at 96 dpi, and into a PDF
// page), and a whole report's PDF document in memory.
#include "core/program_state.h"
#include "pages/page_output.h"
#include "pages/sheet_pages.h"
#include "platform/xls/spreadsheet.h"
#include "sample_report_writer.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

#include <functional>

namespace {

// Runs measure on the sheet of a 32-device sample report of the layout.
void onSample(benchmark::State& state,
              const std::function<void(const ksx4::xls::Worksheet&)>& measure) {
    const auto type = static_cast<uint16_t>(state.range(0));
    if (!ksx4::writeSampleReport({}, type, 32, measure)) state.SkipWithError("no sample report");
}

void BM_LayOutPages(benchmark::State& state) {
    onSample(state, [&](const ksx4::xls::Worksheet& sheet) {
        for (auto _ : state) {
            const ksx4::pages::SheetPages pages(sheet.model(), QStringLiteral("Report.xls"));
            benchmark::DoNotOptimize(pages.pageCount());
        }
    });
}

void BM_DrawPageOnScreen(benchmark::State& state) {
    onSample(state, [&](const ksx4::xls::Worksheet& sheet) {
        const ksx4::pages::SheetPages pages(sheet.model(), QStringLiteral("Report.xls"));
        for (auto _ : state) benchmark::DoNotOptimize(ksx4::pages::pageImage(pages, 1, 96));
    });
}

void BM_DrawPageIntoPdf(benchmark::State& state) {
    onSample(state, [&](const ksx4::xls::Worksheet& sheet) {
        const ksx4::pages::SheetPages pages(sheet.model(), QStringLiteral("Report.xls"));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setPageLayout(pages.pageLayout());
        QPainter painter(&writer);
        painter.scale(1200 / 72.0, 1200 / 72.0);
        for (auto _ : state) {
            pages.drawPage(painter, 1);
            writer.newPage();
        }
    });
}

void BM_ReportPdf(benchmark::State& state) {
    onSample(state, [&](const ksx4::xls::Worksheet& sheet) {
        for (auto _ : state) {
            const ksx4::pages::SheetPages pages(sheet.model(), QStringLiteral("Report.xls"));
            benchmark::DoNotOptimize(ksx4::pages::pdfDocument(pages, QStringLiteral("Report")));
        }
    });
}

// Argument: the tester type (0 KSX-4, 1 KSX-4-PA).
BENCHMARK(BM_LayOutPages)->Arg(ksx4::kKsx4)->Arg(ksx4::kKsx4Pa)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawPageOnScreen)->Arg(ksx4::kKsx4)->Arg(ksx4::kKsx4Pa)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPageIntoPdf)->Arg(ksx4::kKsx4)->Arg(ksx4::kKsx4Pa)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportPdf)->Arg(ksx4::kKsx4)->Arg(ksx4::kKsx4Pa)->Unit(benchmark::kMillisecond);

}  // namespace
