#pragma once
// The archive window as its handlers see it: the filter boxes, the table
// listing the reports a filter lets through, the selected report, the
// trend charts and the archive shown.
#include "archive/archive.h"
#include "report/rebuild_workbook.h"

#include <QString>

#include <optional>
#include <vector>

namespace ksx4 {

enum class ArchiveBox {
    Location,  // part of the location or report name
    Since,     // YYYY-MM-DD, empty: from the first report
    Until,     // YYYY-MM-DD, empty: to the last report
    Tester,    // a serial number, empty: every tester
    Verdict,   // "Any", "OK", "WARN" or "BAD"
    Device,    // a device address for the trend, empty: none
};

// One chart of a trend: a value of the segment, or of one device, over time.
struct TrendChart {
    QString title;     // "Segment Voltage"
    QString unit;      // "V", "mV" or empty for counts
    double scale = 1;  // shown value = archived value / scale
    std::vector<archive::TrendPoint> points;
    // Said in the chart's place when it has no points.
    QString missing = {};
};

// What a trend shows: one segment's reports within the filter boxes' bounds.
struct TrendHeading {
    QString segment;  // as typed, blanks around it dropped
    QString within;   // "from 2026-03-01, tester 1001"; empty: every report
    std::size_t reports = 0;
};

class ArchiveForm {
  public:
    virtual ~ArchiveForm() = default;
    virtual QString text(ArchiveBox box) const = 0;
    virtual void setText(ArchiveBox box, const QString& text) = 0;
    // The table lists the reports filter lets through.
    virtual void listReports(const archive::ListFilter& filter) = 0;
    // The report of the table's current row, if any.
    virtual std::optional<archive::ReportSummary> selectedReport() const = 0;
    // Opens location and lists its reports again.
    virtual void showArchive(const archive::ArchiveLocation& location) = 0;
    // Shows a segment's trend: its charts, in order.
    virtual void showTrend(const TrendHeading& heading, std::vector<TrendChart> charts) = 0;
    // Shows the report's printed pages, drawn from its filled sheet.
    virtual void showReportPages(archive::ArchivedReport report, ArchivedSheet sheet) = 0;
    virtual void show() = 0;
};

}  // namespace ksx4

namespace ksx4 {

enum class ChartFormat { Png, Pdf };

// The trend window as its handlers see it: its charts, each saved as a
// picture or a PDF page.
class TrendForm {
  public:
    virtual ~TrendForm() = default;
    virtual int chartCount() const = 0;
    virtual QString chartTitle(int chart) const = 0;
    // The file name its saves propose, without extension.
    virtual QString chartFileStem(int chart) const = 0;
    // false when the file could not be written.
    virtual bool saveChart(int chart, ChartFormat format, const QString& path) = 0;
};

}  // namespace ksx4

namespace ksx4 {

enum class PrintResult { Printed, Cancelled, Failed };

// The report pages window as its handlers see it.
class ReportPagesForm {
  public:
    virtual ~ReportPagesForm() = default;
    virtual const archive::ArchivedReport& report() const = 0;
    // Every page as one PDF document; empty when they could not be drawn.
    virtual QByteArray pdf() const = 0;
    // Asks with the system's print dialog, then prints the pages chosen.
    virtual PrintResult print() = 0;
};

}  // namespace ksx4
