#include "archive/segment_schema.h"

#include "archive/segment_key.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

namespace ksx4::archive {
namespace {

// Location rows to one INSERT: few round trips to a server.
constexpr std::size_t kKeysPerInsert = 200;

std::optional<QString> run(QSqlQuery& query, const QString& sql) {
    if (query.exec(sql)) return std::nullopt;
    return query.lastError().text();
}

}  // namespace

std::optional<QString> fillSegmentKeys(QSqlDatabase& db, ArchiveLocation::Engine engine) {
    // One key per distinct location, then one UPDATE over the reports.
    std::vector<std::pair<QString, QString>> keys;
    {
        QSqlQuery locations(db);
        locations.setForwardOnly(true);
        if (auto failure = run(locations, QStringLiteral("SELECT DISTINCT location FROM report")))
            return failure;
        while (locations.next()) {
            const QString location = locations.value(0).toString();
            keys.emplace_back(location, segmentKey(location));
        }
    }
    if (keys.empty()) return std::nullopt;

    QSqlQuery query(db);
    if (auto failure =
            run(query, QStringLiteral("CREATE TEMPORARY TABLE segment_key_of ("
                                      "location TEXT PRIMARY KEY, segment_key TEXT NOT NULL)")))
        return failure;
    for (std::size_t first = 0; first < keys.size(); first += kKeysPerInsert) {
        const std::size_t count = std::min(kKeysPerInsert, keys.size() - first);
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO segment_key_of (location, segment_key) VALUES ") +
            QStringList(static_cast<qsizetype>(count), QStringLiteral("(?, ?)"))
                .join(QStringLiteral(", ")));
        for (std::size_t i = first; i < first + count; ++i) {
            insert.addBindValue(keys[i].first);
            insert.addBindValue(keys[i].second);
        }
        if (!insert.exec()) return insert.lastError().text();
    }
    const QString update =
        engine == ArchiveLocation::Engine::Sqlite
            ? QStringLiteral(
                  "UPDATE report SET segment_key = (SELECT k.segment_key FROM segment_key_of k "
                  "WHERE k.location = report.location)")
            : QStringLiteral(
                  "UPDATE report SET segment_key = k.segment_key FROM segment_key_of k "
                  "WHERE k.location = report.location");
    if (auto failure = run(query, update)) return failure;
    return run(query, QStringLiteral("DROP TABLE segment_key_of"));
}

}  // namespace ksx4::archive
