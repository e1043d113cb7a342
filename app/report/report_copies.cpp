#include "report/report_copies.h"

#include "core/counted_text.h"
#include "core/operator.h"

#include <QStringList>

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
