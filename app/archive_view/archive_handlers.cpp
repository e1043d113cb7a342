#include "archive_view/archive_handlers.h"

#include "archive_view/archive_session.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "report/rebuild_workbook.h"
#include "report/report_pdf.h"

#include <QDate>
#include <QFileInfo>

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

Outcome showTrend(ProgramState& state, ArchiveForm& form, ArchiveSession& session) {
    const QString location = form.text(ArchiveBox::Location).trimmed();
    if (location.isEmpty()) {
        state.ui.message(QStringLiteral("Enter the location whose trend to show."), Buttons::Ok,
                         Icon::Exclamation, kArchiveWindowTitle);
        return Outcome::Refused;
    }
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
    state.ui.waitFor([&] {
        for (const auto& [measure, address] : wanted) {
            const archive::TrendQuery query{location, QString::fromLatin1(measure.measure),
                                            address};
            auto points = session.call<std::vector<archive::TrendPoint>>(
                [&query](archive::Archive& a) { return a.trend(query); });
            if (const ArchiveError* e = failureOf(points)) {
                failure = *e;
                return;
            }
            QString title = QString::fromLatin1(measure.title);
            if (address) title = QStringLiteral("Device %1 %2").arg(*address).arg(title);
            charts.push_back({title, QString::fromLatin1(measure.unit), measure.scale,
                              std::move(std::get<std::vector<archive::TrendPoint>>(points))});
        }
    });
    if (failure) return failed(state, failure->reason);
    form.showTrend(location, std::move(charts));
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

Outcome saveArchivedWorkbook(ProgramState& state, const archive::ArchivedReport& report) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save Workbook");
    request.filter = QStringLiteral("xls Files (*.xls)|*.xls");
    request.proposedPath = QFileInfo(report.summary.workbookPath).fileName();
    const FileDialogResult chosen = state.ui.saveFileDialog(request);
    if (!chosen.error.isEmpty()) return failed(state, chosen.error);
    if (chosen.cancelled || chosen.path.isEmpty()) return Outcome::Cancelled;
    const KeptImages kept(state);
    return rebuildWorkbook(state, report, chosen.path);
}

}  // namespace

Outcome saveWorkbook(ProgramState& state, ArchiveForm& form, ArchiveSession& session) {
    const auto report = selectedArchivedReport(state, form, session);
    if (!report) return Outcome::Failed;
    return saveArchivedWorkbook(state, *report);
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

void chooseArchiveLocation(ProgramState& state, ArchiveForm& form, QSettings& settings) {
    if (!qEnvironmentVariableIsEmpty(archive::kArchiveEnvironment)) {
        const auto location = windowArchiveLocation(settings);
        const auto* chosen = std::get_if<ArchiveLocation>(&location);
        state.ui.message(QStringLiteral("The environment variable %1 chooses the archive: %2\r\n"
                                        "Unset it to choose another one here.")
                             .arg(QLatin1String(archive::kArchiveEnvironment),
                                  chosen ? chosen->displayText() : QStringLiteral("(not usable)")),
                         Buttons::Ok, Icon::Information, kArchiveWindowTitle);
        return;
    }
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

Outcome exportChart(ProgramState& state, TrendForm& form, int chart, ChartFormat format) {
    const bool png = format == ChartFormat::Png;
    FileDialogRequest request;
    request.title = png ? QStringLiteral("Save Chart as PNG") : QStringLiteral("Save Chart as PDF");
    request.filter =
        png ? QStringLiteral("PNG Files (*.png)|*.png") : QStringLiteral("PDF Files (*.pdf)|*.pdf");
    QString name = form.chartTitle(chart);
    name.replace(u' ', u'-');
    request.proposedPath = name + (png ? QStringLiteral(".png") : QStringLiteral(".pdf"));
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
    return Outcome::Done;
}

}  // namespace ksx4

namespace ksx4 {

Outcome savePagesAsPdf(ProgramState& state, ReportPagesForm& form) {
    FileDialogRequest request;
    request.title = QStringLiteral("Save as PDF");
    request.filter = QStringLiteral("PDF Files (*.pdf)|*.pdf");
    request.proposedPath =
        QFileInfo(form.report().summary.workbookPath).completeBaseName() + QStringLiteral(".pdf");
    const FileDialogResult chosen = state.ui.saveFileDialog(request);
    if (!chosen.error.isEmpty()) return failed(state, chosen.error);
    if (chosen.cancelled || chosen.path.isEmpty()) return Outcome::Cancelled;
    if (const auto failure = writePdfFile(chosen.path, form.pdf())) {
        return failed(state,
                      QStringLiteral("Cannot save '%1': %2").arg(chosen.path, failure->reason));
    }
    return Outcome::Done;
}

Outcome saveWorkbookOf(ProgramState& state, ReportPagesForm& form) {
    return saveArchivedWorkbook(state, form.report());
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
