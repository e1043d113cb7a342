#include "report/baseline_change.h"

#include "archive/archive.h"
#include "archive/segments.h"
#include "archive/sqlite_file.h"
#include "core/operator.h"

#include <functional>
#include <memory>

namespace ksx4 {
namespace {

using archive::Archive;

// Runs work on the archive opened with access inside one ui.waitFor; the
// failure's reason, or nullopt.
std::optional<QString> withArchive(Operator& ui, const archive::ArchiveLocation& location,
                                   Archive::Access access,
                                   const std::function<std::optional<QString>(Archive&)>& work) {
    std::optional<QString> failure;
    ui.waitFor([&] {
        auto opened = Archive::open(location, access);
        if (const auto* error = std::get_if<archive::ArchiveError>(&opened)) {
            failure = error->reason;
            return;
        }
        failure = work(*std::get<std::unique_ptr<Archive>>(opened));
    });
    return failure;
}

template <class T>
std::optional<QString> take(archive::Result<T> result, T& value) {
    if (const auto* error = std::get_if<archive::ArchiveError>(&result)) return error->reason;
    value = std::move(std::get<T>(result));
    return std::nullopt;
}

Outcome failed(Operator& ui, const QString& reason) {
    ui.message(QStringLiteral("The baseline was not changed.") + kCrLf + reason, Buttons::Ok,
               Icon::Critical);
    ui.setStatus(QStringLiteral("Baseline not changed.  Ready..."));
    return Outcome::Failed;
}

// Why the archive cannot be written, found before the question where the
// file tells (a server tells only when written).
std::optional<QString> unwritable(const archive::ArchiveLocation& location) {
    if (location.engine != archive::ArchiveLocation::Engine::Sqlite) return std::nullopt;
    if (const auto reason = archive::unwritableSqliteFile(location.path))
        return QStringLiteral("Archive %1: %2").arg(location.displayText(), *reason);
    return std::nullopt;
}

bool confirmed(Operator& ui, const QString& question) {
    if (ui.message(question, Buttons::YesNo, Icon::Exclamation) == Answer::Yes) return true;
    ui.setStatus(QStringLiteral("Baseline not changed.  Ready..."));
    return false;
}

}  // namespace

Outcome chooseBaseline(Operator& ui, const archive::ArchiveLocation& location, int64_t reportId) {
    std::optional<archive::ReportInSegment> place;
    std::optional<int64_t> chosen;
    if (const auto failure =
            withArchive(ui, location, Archive::Access::ReadOnly, [&](Archive& archive) {
                if (auto failure = take(archive::reportInSegment(archive, reportId), place))
                    return failure;
                if (!place) return std::optional<QString>();
                return take(archive::chosenBaseline(archive, place->report.location), chosen);
            }))
        return failed(ui, *failure);
    if (!place) return failed(ui, QStringLiteral("The archive holds no report %1.").arg(reportId));
    const QString segment = archive::segmentName(place->report.location);
    const QString report =
        QStringLiteral("report %1 of %2").arg(reportId).arg(place->report.reportTime());
    if (chosen == reportId) {
        ui.setStatus(
            QStringLiteral("The baseline of %1 is %2 already.  Ready...").arg(segment, report));
        return Outcome::Done;
    }
    if (const auto reason = unwritable(location)) return failed(ui, *reason);
    if (!confirmed(
            ui,
            QStringLiteral("Compare the reports of %1 with %2 from now on?").arg(segment, report)))
        return Outcome::Cancelled;
    if (const auto failure =
            withArchive(ui, location, Archive::Access::ReadWrite, [&](Archive& archive) {
                archive::BaselineChange change{};
                if (auto failure = take(archive::setBaseline(archive, reportId), change))
                    return failure;
                if (change == archive::BaselineChange::NoSuchReport)
                    return std::optional<QString>(
                        QStringLiteral("The archive holds no report %1.").arg(reportId));
                return std::optional<QString>();
            }))
        return failed(ui, *failure);
    ui.setStatus(QStringLiteral("The baseline of %1 is %2.  Ready...").arg(segment, report));
    return Outcome::Done;
}

Outcome clearChosenBaseline(Operator& ui, const archive::ArchiveLocation& location,
                            const QString& segment) {
    std::vector<archive::ReportSummary> reports;
    std::optional<int64_t> chosen;
    if (const auto failure =
            withArchive(ui, location, Archive::Access::ReadOnly, [&](Archive& archive) {
                if (auto failure = take(archive::segmentReports(archive, segment), reports))
                    return failure;
                return take(archive::chosenBaseline(archive, segment), chosen);
            }))
        return failed(ui, *failure);
    if (reports.empty())
        return failed(ui,
                      QStringLiteral("The archive holds no segment %1.").arg(segment.trimmed()));
    const QString name = archive::segmentName(reports.back().location);
    const QString earliest =
        QStringLiteral("report %1 of %2").arg(reports.front().id).arg(reports.front().reportTime());
    if (!chosen) {
        ui.setStatus(QStringLiteral("The baseline of %1 is its earliest report, %2, already.  "
                                    "Ready...")
                         .arg(name, earliest));
        return Outcome::Done;
    }
    if (const auto reason = unwritable(location)) return failed(ui, *reason);
    if (!confirmed(ui, QStringLiteral("Compare the reports of %1 with its earliest report, %2, "
                                      "again (instead of report %3)?")
                           .arg(name, earliest)
                           .arg(*chosen)))
        return Outcome::Cancelled;
    if (const auto failure =
            withArchive(ui, location, Archive::Access::ReadWrite, [&](Archive& archive) {
                archive::BaselineChange change{};
                return take(archive::clearBaseline(archive, segment), change);
            }))
        return failed(ui, *failure);
    ui.setStatus(QStringLiteral("The baseline of %1 is its earliest report, %2.  Ready...")
                     .arg(name, earliest));
    return Outcome::Done;
}

}  // namespace ksx4
