#include "report/report_copies.h"

#include "core/counted_text.h"
#include "core/operator.h"
#include "report/segment_findings.h"

#include <exception>

#include <QStringList>

namespace ksx4 {
namespace {

// The report's worst finding for the status list. Findings are hints: a
// failure to work them out is one line of its own, never the transfer's.
std::optional<QString> findingLineOf(archive::Archive& archive, int64_t id) {
    try {
        const auto result = findingsOfReport(archive, id);
        if (const auto* error = std::get_if<archive::ArchiveError>(&result))
            return QStringLiteral("Findings of report %1 not worked out: %2")
                .arg(id)
                .arg(error->reason);
        const auto& found = std::get<std::optional<ReportFindings>>(result);
        if (!found) return std::nullopt;
        return findingStatusLine(found->place.report.location.trimmed(), found->findings);
    } catch (const std::exception& error) {
        return QStringLiteral("Findings of report %1 not worked out: %2")
            .arg(id)
            .arg(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return QStringLiteral("Findings of report %1 not worked out").arg(id);
    }
}

}  // namespace

ReportCopies ReportCopies::forLocation(
    const std::variant<archive::ArchiveLocation, QString>& resolved) {
    if (const auto* location = std::get_if<archive::ArchiveLocation>(&resolved))
        return ReportCopies(*location);
    ReportCopies copies;
    copies.failure_ = QStringLiteral("Archive location: ") + std::get<QString>(resolved);
    return copies;
}

void ReportCopies::keep(Operator& ui, const archive::ArchivedReport& report) {
    if (location_.isNone() || failure_) return;
    std::variant<archive::StoreResult, archive::ArchiveError> stored =
        archive::ArchiveError{QString()};
    std::optional<QString> findingLine;
    ui.waitFor([&] {
        auto opened = archive::Archive::open(location_);
        if (auto* error = std::get_if<archive::ArchiveError>(&opened)) {
            stored = *error;
            return;
        }
        archive::Archive& archive = *std::get<std::unique_ptr<archive::Archive>>(opened);
        stored = archive.store(report);
        if (const auto* kept = std::get_if<archive::StoreResult>(&stored))
            findingLine = findingLineOf(archive, kept->id);
    });
    if (findingLine) findingLines_.push_back(*findingLine);
    if (const auto* error = std::get_if<archive::ArchiveError>(&stored)) {
        failure_ = error->reason;
        return;
    }
    switch (std::get<archive::StoreResult>(stored).outcome) {
        case archive::StoreOutcome::Stored:
            ++stored_;
            break;
        case archive::StoreOutcome::AlreadyKept:
            ++alreadyKept_;
            break;
        case archive::StoreOutcome::KeptAgain:
            ++keptAgain_;
            break;
    }
}

void ReportCopies::tellOutcome(Operator& ui) const {
    if (failure_) {
        ui.message(QStringLiteral("The reports could not be kept in the archive.") + kCrLf +
                       *failure_ + kCrLf + kCrLf +
                       QStringLiteral("Reports will not be erased in the KSX-4; the next "
                                      "transfer archives them."),
                   Buttons::Ok, Icon::Exclamation);
        return;
    }
    if (const auto line = archivedLine()) ui.appendToList({*line});
    for (const QString& line : findingLines()) ui.appendToList({line});
}

std::vector<QString> ReportCopies::findingLines() const {
    if (failure_ || !archivedLine()) return {};
    return findingLines_;
}

std::optional<QString> ReportCopies::archivedLine() const {
    const int archived = stored_ + alreadyKept_ + keptAgain_;
    if (failure_ || archived == 0) return std::nullopt;
    QString line =
        QStringLiteral("Archived %1 in %2")
            .arg(countedText(archived, QLatin1String("report"), QLatin1String("reports")),
                 location_.displayText());
    QStringList notes;
    if (alreadyKept_ > 0) notes << QStringLiteral("%1 already there").arg(alreadyKept_);
    if (keptAgain_ > 0)
        notes << QStringLiteral("%1 kept again with changed limits or names").arg(keptAgain_);
    if (!notes.isEmpty()) line += QStringLiteral(" (%1)").arg(notes.join(QStringLiteral(", ")));
    return line;
}

}  // namespace ksx4
