#pragma once
// For the archive's own query files beside archive.cpp (never for its
// users): the open connection they run their SQL on, with the archive's
// transaction and the failure texts that name its location.
#include "archive/archive.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <optional>

namespace ksx4::archive {

struct ArchiveInternals {
    static QSqlDatabase db(Archive& archive);
    // The schema the archive had when opened read-only, else ours.
    static int schemaVersion(Archive& archive);
    static bool sqlite(Archive& archive);
    static bool readOnly(Archive& archive);
    static ArchiveError error(Archive& archive, const QSqlError& error);
    static ArchiveError error(Archive& archive, const QString& reason);
    // The write transaction (SQLite: its write lock taken at once).
    static std::optional<ArchiveError> begin(Archive& archive);
    static std::optional<ArchiveError> commit(Archive& archive);
    static void rollback(Archive& archive);

    // The report columns a ReportSummary is read from (report aliased r),
    // and reading them from the query's first columns.
    static const char* summaryColumns();
    static ReportSummary summaryOf(const QSqlQuery& query);
    static constexpr int kSummaryColumnCount = 13;
};

}  // namespace ksx4::archive
