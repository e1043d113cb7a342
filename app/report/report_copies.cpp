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

void ReportCopies::keep(const archive::ArchivedReport& report) {
    if (location_.isNone() || failure_) return;
    if (!archive_) {
        auto opened = archive::Archive::open(location_);
        if (auto* error = std::get_if<archive::ArchiveError>(&opened)) {
            failure_ = error->reason;
            return;
        }
        archive_ = std::move(std::get<std::unique_ptr<archive::Archive>>(opened));
    }
    const auto stored = archive_->store(report);
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
    const int archived = stored_ + alreadyKept_;
    if (archived == 0) return;
    QString line =
        QStringLiteral("Archived %1 reports in %2").arg(archived).arg(location_.displayText());
    if (alreadyKept_ > 0) line += QStringLiteral(" (%1 already there)").arg(alreadyKept_);
    ui.setStatus(line);
}

}  // namespace ksx4
