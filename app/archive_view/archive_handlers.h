#pragma once
// What the archive window's buttons do.
#include "archive/archive_location.h"
#include "archive_view/archive_form.h"
#include "core/outcome.h"

#include <QSettings>
#include <QString>

#include <variant>

namespace ksx4 {

class ArchiveSession;
class SaveFolder;
struct ProgramState;

inline const QString kArchiveWindowTitle = QStringLiteral("Report Archive");
// Where "Archive Location..." keeps its choice.
inline const QString kArchiveLocationKey = QStringLiteral("archive/location");

// The window's archive: KSX4_ARCHIVE when set and not empty, else the
// location kept in settings, else the default SQLite file.
std::variant<archive::ArchiveLocation, QString> windowArchiveLocation(const QSettings& settings);

// The filter boxes as a filter, or the problem to tell the user.
std::variant<archive::ListFilter, QString> filterFromBoxes(const ArchiveForm& form);

// File, "Report Archive...": shows the window on the archive in use.
void mnuReportArchive_Click(ProgramState& state, ArchiveForm& form, const QSettings& settings);
// "Filter": lists the reports the boxes let through.
void filterReports(ProgramState& state, ArchiveForm& form);
// "Trend": the charts of the location box's segment (and the device box's
// device) over time.
Outcome showTrend(ProgramState& state, ArchiveForm& form, ArchiveSession& session);
// "Save Workbook...": the selected report's workbook made again.
Outcome saveWorkbook(ProgramState& state, ArchiveForm& form, ArchiveSession& session,
                     SaveFolder& folder);
// "Open Report" (or a row's double click): the selected report's pages.
Outcome openReport(ProgramState& state, ArchiveForm& form, ArchiveSession& session);
// "Archive Location...": an SQLite file or a PostgreSQL URI, kept in
// settings; while KSX4_ARCHIVE is set it decides and nothing is asked.
void chooseArchiveLocation(ProgramState& state, ArchiveForm& form, QSettings& settings);
// "SQLite Archive...": the same, with a file chooser for an SQLite file.
void chooseArchiveFile(ProgramState& state, ArchiveForm& form, QSettings& settings);

}  // namespace ksx4

namespace ksx4 {

class TrendForm;

// A chart's file name without its extension: the segment, the value and
// the span of its reports' dates ("Tank 3 - Segment Voltage - 2026-03-01
// to 2026-05-04").
QString trendChartFileStem(const QString& segment, const TrendChart& chart);
// A report's: its location and report time ("Tank 3 - 2026-03-01 09-30").
QString reportFileStem(const archive::ReportSummary& report);

// A chart's "PNG..." and "PDF..." buttons.
Outcome exportChart(ProgramState& state, TrendForm& form, int chart, ChartFormat format,
                    SaveFolder& folder);

class ReportPagesForm;

// The report pages window's "Save as PDF...", "Save Workbook..." and
// "Print...".
Outcome savePagesAsPdf(ProgramState& state, ReportPagesForm& form, SaveFolder& folder);
Outcome saveWorkbookOf(ProgramState& state, ReportPagesForm& form, SaveFolder& folder);
Outcome printPages(ProgramState& state, ReportPagesForm& form);

}  // namespace ksx4
