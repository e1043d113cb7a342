#include "report/report_copies.h"

#include "core/operator.h"

namespace ksx4 {

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
    ui.waitFor([&] {
        auto opened = archive::Archive::open(location_);
        if (auto* error = std::get_if<archive::ArchiveError>(&opened)) {
            stored = *error;
            return;
        }
        stored = std::get<std::unique_ptr<archive::Archive>>(opened)->store(report);
    });
    if (const auto* error = std::get_if<archive::ArchiveError>(&stored)) {
        failure_ = error->reason;
        return;
    }
    if (std::get<archive::StoreResult>(stored).outcome == archive::StoreOutcome::Stored) {
        ++stored_;
    } else {
        ++alreadyKept_;
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
}

std::optional<QString> ReportCopies::archivedLine() const {
    const int archived = stored_ + alreadyKept_;
    if (failure_ || archived == 0) return std::nullopt;
    QString line =
        QStringLiteral("Archived %1 reports in %2").arg(archived).arg(location_.displayText());
    if (alreadyKept_ > 0) line += QStringLiteral(" (%1 already there)").arg(alreadyKept_);
    return line;
}

}  // namespace ksx4
