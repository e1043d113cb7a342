#include "archive_view/archive_handlers.h"

#include "archive/segment_key.h"
#include "archive_view/archive_session.h"
#include "archive_view/report_table_model.h"
#include "archive_view/save_folder.h"
#include "core/counted_text.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/files/paths.h"
#include "report/rebuild_workbook.h"
#include "report/report_file_name.h"
#include "report/report_pdf.h"

#include <QDate>
#include <QFileInfo>
#include <QStringList>

#include <array>

namespace ksx4 {
namespace {

using archive::ArchiveError;
using archive::ArchiveLocation;

struct TrendMeasure {
    const char* measure;
    const char* title;
    const char* unit;
    double scale;
};

// The segment's values, as the workbook lists them.
constexpr std::array kSegmentMeasures{
    TrendMeasure{"voltage", "Segment Voltage", "V", 1000},
    TrendMeasure{"signal", "Lowest Device Signal", "mV", 1},
    TrendMeasure{"ff-avg", "Average Fieldbus Noise", "mV", 1},
    TrendMeasure{"ff-peak", "Peak Fieldbus Noise", "mV", 1},
    TrendMeasure{"lf-avg", "Average Low Frequency Noise", "mV", 1},
    TrendMeasure{"lf-peak", "Peak Low Frequency Noise", "mV", 1},
    TrendMeasure{"hf-avg", "Average High Frequency Noise", "mV", 1},
    TrendMeasure{"hf-peak", "Peak High Frequency Noise", "mV", 1},
};
// A device's values.
constexpr std::array kDeviceMeasures{
    TrendMeasure{"signal", "Signal Level", "mV", 1},
    TrendMeasure{"retransmits", "Retransmits", "", 1},
};

std::optional<QString> dateBound(const QString& text, bool end, QString& problem) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    const QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (!date.isValid()) {
        problem = QStringLiteral("Enter dates as YYYY-MM-DD, for example 2026-03-01: ") + trimmed;
        return std::nullopt;
    }
    return date.toString(Qt::ISODate) +
           (end ? QStringLiteral("T23:59:59") : QStringLiteral("T00:00:00"));
}

std::optional<int> wholeNumber(const QString& text, int maximum) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > maximum) return std::nullopt;
    return value;
}

Outcome failed(ProgramState& state, const QString& reason) {
    state.ui.message(reason, Buttons::Ok, Icon::Critical, kArchiveWindowTitle);
    return Outcome::Failed;
}

template <class T>
const ArchiveError* failureOf(const archive::Result<T>& result) {
    return std::get_if<ArchiveError>(&result);
}

// The program's tester images, put back when the scope ends: a workbook
// made again loads the archived ones into them.
class KeptImages {
  public:
    explicit KeptImages(ProgramState& state)
        : state_(state),
          testerType_(state.testerType),
          firmwareMarker_(state.firmwareMarker),
          serial_(state.testerSerialWord),
          eeprom_(state.eepromImage),
          flash_(state.flashImage) {}
    ~KeptImages() {
        state_.testerType = testerType_;
        state_.firmwareMarker = firmwareMarker_;
        state_.testerSerialWord = serial_;
        state_.eepromImage = eeprom_;
        state_.flashImage = flash_;
    }
    KeptImages(const KeptImages&) = delete;
    KeptImages& operator=(const KeptImages&) = delete;

  private:
    ProgramState& state_;
    uint16_t testerType_, firmwareMarker_, serial_;
    std::array<uint8_t, 256> eeprom_;
    std::array<uint8_t, 32768> flash_;
};

}  // namespace

std::variant<ArchiveLocation, QString> windowArchiveLocation(const QSettings& settings) {
    const QString kept = settings.value(kArchiveLocationKey).toString();
    if (!qEnvironmentVariableIsEmpty(archive::kArchiveEnvironment) || kept.isEmpty())
        return archive::resolveArchiveLocation(std::nullopt);
    return archive::parseArchiveLocation(kept);
}

std::variant<archive::ListFilter, QString> filterFromBoxes(const ArchiveForm& form) {
    archive::ListFilter filter;
    filter.text = form.text(ArchiveBox::Location).trimmed();
    QString problem;
    filter.since = dateBound(form.text(ArchiveBox::Since), false, problem);
    if (!problem.isEmpty()) return problem;
    filter.until = dateBound(form.text(ArchiveBox::Until), true, problem);
    if (!problem.isEmpty()) return problem;
    if (filter.since && filter.until && *filter.since > *filter.until)
        return QStringLiteral("The first date is after the last date.");
    const QString tester = form.text(ArchiveBox::Tester).trimmed();
    if (!tester.isEmpty()) {
        filter.testerSerial = wholeNumber(tester, 65535);
        if (!filter.testerSerial)
            return QStringLiteral("A tester's serial number is a whole number: ") + tester;
    }
    const QString verdict = form.text(ArchiveBox::Verdict);
    if (verdict == QLatin1String("OK") || verdict == QLatin1String("WARN") ||
        verdict == QLatin1String("BAD"))
        filter.verdict = verdict;
    return filter;
}

void mnuReportArchive_Click(ProgramState& state, ArchiveForm& form, const QSettings& settings) {
    const auto location = windowArchiveLocation(settings);
    if (const auto* problem = std::get_if<QString>(&location)) {
        failed(state, QStringLiteral("The archive location is not usable: ") + *problem);
        return;
    }
    form.showArchive(std::get<ArchiveLocation>(location));
    form.show();
}

void filterReports(ProgramState& state, ArchiveForm& form) {
    const auto filter = filterFromBoxes(form);
    if (const auto* problem = std::get_if<QString>(&filter)) {
        state.ui.message(*problem, Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
        return;
    }
    form.listReports(std::get<archive::ListFilter>(filter));
}

namespace {

// The filter's bounds in words, as the trend's heading names them.
QString withinText(const archive::ListFilter& filter) {
    QStringList parts;
    if (filter.since) parts << QStringLiteral("from ") + filter.since->left(10);
    if (filter.until) parts << QStringLiteral("to ") + filter.until->left(10);
    if (filter.testerSerial) parts << QStringLiteral("tester %1").arg(*filter.testerSerial);
    if (filter.verdict) parts << QStringLiteral("verdict ") + *filter.verdict;
    return parts.join(QStringLiteral(", "));
}

}  // namespace

Outcome showTrend(ProgramState& state, ArchiveForm& form, ArchiveSession& session) {
    QString segment = archive::segmentName(form.text(ArchiveBox::Location));
    if (segment.isEmpty()) {
        if (const auto selected = form.selectedReport())
            segment = archive::segmentName(selected->location);
    }
    if (segment.isEmpty()) {
        state.ui.message(QStringLiteral("Enter the segment (its location name) whose trend to "
                                        "show, or choose one of its reports in the list."),
                         Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
        return Outcome::Refused;
    }
    const auto boxes = filterFromBoxes(form);
    if (const auto* problem = std::get_if<QString>(&boxes)) {
        state.ui.message(*problem, Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
        return Outcome::Refused;
    }
    const archive::ListFilter& within = std::get<archive::ListFilter>(boxes);
    std::optional<int> device;
    const QString deviceText = form.text(ArchiveBox::Device).trimmed();
    if (!deviceText.isEmpty()) {
        device = wholeNumber(deviceText, 255);
        if (!device) {
            state.ui.message(
                QStringLiteral("A device address is a number from 0 to 255: ") + deviceText,
                Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
            return Outcome::Refused;
        }
    }
    std::vector<std::pair<TrendMeasure, std::optional<int>>> wanted;
    for (const TrendMeasure& m : kSegmentMeasures) wanted.emplace_back(m, std::nullopt);
    if (device)
        for (const TrendMeasure& m : kDeviceMeasures) wanted.emplace_back(m, device);

    std::vector<TrendChart> charts;
    std::optional<ArchiveError> failure;
    // The segment's reports whatever the boxes say, asked only when none
    // is within them, to tell which of the two is missing.
    std::optional<std::size_t> unbounded;
    const auto pointsOf = [&](const archive::TrendQuery& query) {
        auto points = session.call<std::vector<archive::TrendPoint>>(
            [&query](archive::Archive& a) { return a.trend(query); });
        if (const ArchiveError* e = failureOf(points)) {
            failure = *e;
            return std::vector<archive::TrendPoint>{};
        }
        return std::move(std::get<std::vector<archive::TrendPoint>>(points));
    };
    state.ui.waitFor([&] {
        for (const auto& [measure, address] : wanted) {
            const archive::TrendQuery query{segment, QString::fromLatin1(measure.measure), address,
                                            segment, within};
            auto points = pointsOf(query);
            if (failure) return;
            QString title = QString::fromLatin1(measure.title);
            if (address) title = QStringLiteral("Device %1 %2").arg(*address).arg(title);
            charts.push_back(
                {title, QString::fromLatin1(measure.unit), measure.scale, std::move(points)});
        }
        if (charts.front().points.empty() && !withinText(within).isEmpty())
            unbounded =
                pointsOf({segment, QStringLiteral("voltage"), std::nullopt, segment}).size();
    });
    if (failure) return failed(state, failure->reason);
    const std::size_t reports = charts.front().points.size();
    if (reports == 0) {
        const QString text =
            unbounded && *unbounded > 0
                ? QStringLiteral(
                      "None of the %1 of segment \"%2\" is within the boxes beside "
                      "the trend (%3). Widen or clear them.")
                      .arg(countedText(static_cast<long long>(*unbounded), QLatin1String("report"),
                                       QLatin1String("reports")),
                           segment, withinText(within))
                : QStringLiteral(
                      "The archive holds no report of segment \"%1\". A trend is of "
                      "one segment: its location name as stored, in any case; the "
                      "Filter button finds names that hold a part.")
                      .arg(segment);
        state.ui.message(text, Buttons::Ok, Icon::Information, kArchiveWindowTitle);
        return Outcome::Refused;
    }
    for (TrendChart& chart : charts) {
        if (!chart.points.empty()) continue;
        chart.missing =
            device && chart.title.startsWith(QStringLiteral("Device "))
                ? QStringLiteral("device %1 is in none of these %2")
                      .arg(*device)
                      .arg(countedText(static_cast<long long>(reports), QLatin1String("report"),
                                       QLatin1String("reports")))
                : QStringLiteral("none of these reports holds this value");
    }
    form.showTrend({segment, withinText(within), reports}, std::move(charts));
    return Outcome::Done;
}

namespace {

// The selected report read from the archive; nullopt after a message.
std::optional<archive::ArchivedReport> selectedArchivedReport(ProgramState& state,
                                                              ArchiveForm& form,
                                                              ArchiveSession& session) {
    const std::optional<archive::ReportSummary> selected = form.selectedReport();
    if (!selected) {
        state.ui.message(QStringLiteral("Choose a report in the list first."), Buttons::Ok,
                         Icon::Exclamation, kArchiveWindowTitle);
        return std::nullopt;
    }
    archive::Result<std::optional<archive::ArchivedReport>> report = ArchiveError{};
    state.ui.waitFor([&] {
        const int64_t id = selected->id;
        report = session.call<std::optional<archive::ArchivedReport>>(
            [id](archive::Archive& a) { return a.report(id); });
    });
    if (const ArchiveError* e = failureOf(report)) {
        failed(state, e->reason);
        return std::nullopt;
    }
    auto& found = std::get<std::optional<archive::ArchivedReport>>(report);
    if (!found) failed(state, QStringLiteral("The report is no longer in the archive."));
    return std::move(found);
}

Outcome saveArchivedWorkbook(ProgramState& state, const archive::ArchivedReport& report,
                             SaveFolder& folder) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save Workbook");
    request.filter = QStringLiteral("xls Files (*.xls)|*.xls");
    request.proposedPath = folder.proposedPath(reportFileStem(report.summary) + kReportExtension);
    const FileDialogResult chosen = state.ui.saveFileDialog(request);
    if (!chosen.error.isEmpty()) return failed(state, chosen.error);
    if (chosen.cancelled || chosen.path.isEmpty()) return Outcome::Cancelled;
    const KeptImages kept(state);
    const Outcome outcome = rebuildWorkbook(state, report, chosen.path);
    if (outcome == Outcome::Done) folder.used(chosen.path);
    return outcome;
}

}  // namespace

Outcome saveWorkbook(ProgramState& state, ArchiveForm& form, ArchiveSession& session,
                     SaveFolder& folder) {
    const auto report = selectedArchivedReport(state, form, session);
    if (!report) return Outcome::Failed;
    return saveArchivedWorkbook(state, *report, folder);
}

Outcome openReport(ProgramState& state, ArchiveForm& form, ArchiveSession& session) {
    auto report = selectedArchivedReport(state, form, session);
    if (!report) return Outcome::Failed;
    std::optional<ArchivedSheet> sheet;
    {
        const KeptImages kept(state);
        sheet = archivedSheet(state, *report);
    }
    if (!sheet) return Outcome::Failed;
    form.showReportPages(std::move(*report), std::move(*sheet));
    return Outcome::Done;
}

namespace {

// True, after saying so, while KSX4_ARCHIVE decides the archive.
bool environmentDecides(ProgramState& state, const QSettings& settings) {
    if (qEnvironmentVariableIsEmpty(archive::kArchiveEnvironment)) return false;
    const auto location = windowArchiveLocation(settings);
    const auto* chosen = std::get_if<ArchiveLocation>(&location);
    state.ui.message(QStringLiteral("The environment variable %1 chooses the archive: %2\r\n"
                                    "Unset it to choose another one here.")
                         .arg(QLatin1String(archive::kArchiveEnvironment),
                              chosen ? chosen->displayText() : QStringLiteral("(not usable)")),
                     Buttons::Ok, Icon::Information, kArchiveWindowTitle);
    return true;
}

// An SQLite file goes in a folder that is there: a later transfer would
// otherwise make the folders of a mistyped path and fill an archive nobody
// looks at.
std::optional<QString> missingFolderProblem(const ArchiveLocation& location) {
    if (location.engine != ArchiveLocation::Engine::Sqlite) return std::nullopt;
    const auto missing = missingFolderOf(location.path);
    if (!missing) return std::nullopt;
    return QStringLiteral(
               "The folder %1 does not exist. Choose a file in a folder that is "
               "there, or make the folder first.")
        .arg(*missing);
}

}  // namespace

void chooseArchiveFile(ProgramState& state, ArchiveForm& form, QSettings& settings) {
    if (environmentDecides(state, settings)) return;
    const auto current = windowArchiveLocation(settings);
    const auto* shown = std::get_if<ArchiveLocation>(&current);
    FileDialogRequest request;
    request.title = QStringLiteral("SQLite Archive");
    request.filter = QStringLiteral("SQLite Archives (*.sqlite)|*.sqlite|All Files (*)|*");
    request.proposedPath =
        shown && shown->engine == ArchiveLocation::Engine::Sqlite
            ? shown->path
            : withTrailingSeparator(folderToPropose({})) + QStringLiteral("archive.sqlite");
    for (;;) {
        const FileDialogResult chosen = state.ui.saveFileDialog(request);
        if (!chosen.error.isEmpty()) {
            failed(state, chosen.error);
            return;
        }
        if (chosen.cancelled || chosen.path.isEmpty()) return;
        ArchiveLocation location;
        location.engine = ArchiveLocation::Engine::Sqlite;
        location.path = QFileInfo(chosen.path).absoluteFilePath();
        if (const auto problem = missingFolderProblem(location)) {
            state.ui.message(*problem, Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
            request.proposedPath = chosen.path;
            continue;
        }
        settings.setValue(kArchiveLocationKey, location.path);
        form.showArchive(location);
        return;
    }
}

void chooseArchiveLocation(ProgramState& state, ArchiveForm& form, QSettings& settings) {
    if (environmentDecides(state, settings)) return;
    const auto current = windowArchiveLocation(settings);
    const auto* shown = std::get_if<ArchiveLocation>(&current);
    for (;;) {
        const std::optional<QString> text = state.ui.input(
            QStringLiteral("The archive: an SQLite file, or a PostgreSQL database as "
                           "postgresql://user@host:port/dbname (the password comes from "
                           "~/.pgpass or PGPASSWORD; add ?sslmode=verify-full&sslrootcert=FILE "
                           "for an encrypted connection to a verified server). Leave it empty "
                           "for the default file."),
            QStringLiteral("Archive Location"), shown ? shown->displayText() : QString());
        if (!text) return;
        const QString entered = text->trimmed();
        if (entered.isEmpty()) {
            settings.remove(kArchiveLocationKey);
            form.showArchive(std::get<ArchiveLocation>(windowArchiveLocation(settings)));
            return;
        }
        const auto parsed = archive::parseArchiveLocation(entered);
        QString problem;
        if (const auto* p = std::get_if<QString>(&parsed)) {
            problem = *p;
        } else if (std::get<ArchiveLocation>(parsed).isNone()) {
            problem = QStringLiteral("The window needs an archive to show.");
        } else if (!std::get<ArchiveLocation>(parsed).password.isEmpty()) {
            problem = QStringLiteral(
                "Leave the password out of the URI: it would be kept in plain text. Put it in "
                "~/.pgpass instead.");
        } else if (const auto missing = missingFolderProblem(std::get<ArchiveLocation>(parsed))) {
            problem = *missing;
        }
        if (!problem.isEmpty()) {
            state.ui.message(problem, Buttons::Ok, Icon::Exclamation, kArchiveWindowTitle);
            continue;
        }
        const ArchiveLocation& location = std::get<ArchiveLocation>(parsed);
        settings.setValue(kArchiveLocationKey, location.engine == ArchiveLocation::Engine::Sqlite
                                                   ? location.path
                                                   : entered);
        form.showArchive(location);
        return;
    }
}

}  // namespace ksx4

namespace ksx4 {

QString trendChartFileStem(const QString& segment, const TrendChart& chart) {
    QString stem = fileNamePart(segment) + QStringLiteral(" - ") + fileNamePart(chart.title);
    if (chart.points.empty()) return stem;
    const QString first = chart.points.front().time.left(10);
    const QString last = chart.points.back().time.left(10);
    stem += QStringLiteral(" - ") + first;
    if (last != first) stem += QStringLiteral(" to ") + last;
    return stem;
}

QString reportFileStem(const archive::ReportSummary& report) {
    QString time = reportTimeText(report).left(16);
    time.replace(u':', u'-');
    return fileNamePart(report.location) + QStringLiteral(" - ") + time;
}

Outcome exportChart(ProgramState& state, TrendForm& form, int chart, ChartFormat format,
                    SaveFolder& folder) {
    const bool png = format == ChartFormat::Png;
    FileDialogRequest request;
    request.title = png ? QStringLiteral("Save Chart as PNG") : QStringLiteral("Save Chart as PDF");
    request.filter =
        png ? QStringLiteral("PNG Files (*.png)|*.png") : QStringLiteral("PDF Files (*.pdf)|*.pdf");
    request.proposedPath = folder.proposedPath(
        form.chartFileStem(chart) + (png ? QStringLiteral(".png") : QStringLiteral(".pdf")));
    const FileDialogResult chosen = state.ui.saveFileDialog(request);
    if (!chosen.error.isEmpty()) {
        state.ui.message(chosen.error, Buttons::Ok, Icon::Critical, kArchiveWindowTitle);
        return Outcome::Failed;
    }
    if (chosen.cancelled || chosen.path.isEmpty()) return Outcome::Cancelled;
    if (!form.saveChart(chart, format, chosen.path)) {
        state.ui.message(QStringLiteral("The chart could not be written to ") + chosen.path,
                         Buttons::Ok, Icon::Critical, kArchiveWindowTitle);
        return Outcome::Failed;
    }
    folder.used(chosen.path);
    return Outcome::Done;
}

}  // namespace ksx4

namespace ksx4 {

Outcome savePagesAsPdf(ProgramState& state, ReportPagesForm& form, SaveFolder& folder) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save as PDF");
    request.filter = QStringLiteral("PDF Files (*.pdf)|*.pdf");
    request.proposedPath =
        folder.proposedPath(reportFileStem(form.report().summary) + QStringLiteral(".pdf"));
    const FileDialogResult chosen = state.ui.saveFileDialog(request);
    if (!chosen.error.isEmpty()) return failed(state, chosen.error);
    if (chosen.cancelled || chosen.path.isEmpty()) return Outcome::Cancelled;
    if (const auto failure = writePdfFile(chosen.path, form.pdf())) {
        return failed(state,
                      QStringLiteral("Cannot save '%1': %2").arg(chosen.path, failure->reason));
    }
    folder.used(chosen.path);
    return Outcome::Done;
}

Outcome saveWorkbookOf(ProgramState& state, ReportPagesForm& form, SaveFolder& folder) {
    return saveArchivedWorkbook(state, form.report(), folder);
}

Outcome printPages(ProgramState& state, ReportPagesForm& form) {
    switch (form.print()) {
        case PrintResult::Printed:
            return Outcome::Done;
        case PrintResult::Cancelled:
            return Outcome::Cancelled;
        case PrintResult::Failed:
            break;
    }
    return failed(state, QStringLiteral("The pages could not be printed."));
}

}  // namespace ksx4
