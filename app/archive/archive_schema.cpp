#include "archive/archive_schema.h"

#include "archive/archive.h"
#include "archive/segment_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <vector>

namespace ksx4::archive {
namespace {

using Engine = ArchiveLocation::Engine;

// One statement of a migration, for both engines or for one of them, with
// {id}, {bytes}, {text}, {rowless} and {include} standing for the engine's
// key column, byte string and text types, table option and covering index
// columns.
struct Statement {
    enum class For { Both, Sqlite, Postgres } engines;
    const char* sql;
    // Instead of sql, work that SQL alone cannot do; the reason when it
    // fails.
    std::optional<QString> (*work)(QSqlDatabase&, Engine) = nullptr;
};
using For = Statement::For;

struct Migration {
    int version;
    std::vector<Statement> statements;
};

const std::vector<Migration>& migrations() {
    static const std::vector<Migration> all{
        {1,
         {
             {For::Both,
              "CREATE TABLE report ("
              " id {id},"
              " tester_serial INTEGER NOT NULL,"
              " tester_kind INTEGER NOT NULL,"
              " firmware_marker INTEGER NOT NULL,"
              " slot INTEGER NOT NULL,"
              " slot_sha256 {text} NOT NULL,"
              " location {text} NOT NULL,"
              " report_name {text} NOT NULL,"
              " search_key {text} NOT NULL,"
              " saved {text},"
              " transferred_ms BIGINT NOT NULL,"
              " utc_offset INTEGER NOT NULL,"
              " report_time {text} NOT NULL,"
              " devices INTEGER NOT NULL,"
              " verdict {text} NOT NULL,"
              " workbook_path {text} NOT NULL,"
              " workbook_sha256 {text} NOT NULL,"
              " locale_name {text} NOT NULL,"
              " program_version {text} NOT NULL,"
              " UNIQUE (tester_serial, slot_sha256))"},
             {For::Both, "CREATE INDEX report_by_time ON report (report_time, slot, id)"},
             // A name search reads this index, not the whole table.
             {For::Both, "CREATE INDEX report_by_search_key ON report (search_key)"},
             // The source bytes apart, so that list scans stay small.
             {For::Both,
              "CREATE TABLE report_source ("
              " report_id BIGINT PRIMARY KEY REFERENCES report (id) ON DELETE CASCADE,"
              " slot_bytes {bytes} NOT NULL,"
              " eeprom_bytes {bytes} NOT NULL)"},
             {For::Both,
              "CREATE TABLE judged_value ("
              " report_id BIGINT NOT NULL REFERENCES report (id) ON DELETE CASCADE,"
              " position INTEGER NOT NULL,"
              " measure {text} NOT NULL,"
              " device INTEGER,"
              " value BIGINT,"
              " value_text {text} NOT NULL,"
              " limit_value BIGINT,"
              " limit_text {text} NOT NULL,"
              " judgement {text} NOT NULL,"
              " PRIMARY KEY (report_id, position)){rowless}"},
             {For::Both,
              "CREATE INDEX judged_value_by_measure ON judged_value (measure, device, "
              "report_id, value, limit_value, judgement)"},
         }},
        // Smaller values: the texts the workbook shows move to the report's
        // source row (one JSON array of [value, limit] pairs in row order),
        // and the value row keeps only what searches and trends read.
        {2,
         {
             {For::Both,
              "ALTER TABLE report_source ADD COLUMN shown_texts {text} NOT NULL DEFAULT '[]'"},
             {For::Sqlite,
              "UPDATE report_source SET shown_texts = (SELECT json_group_array(json_array("
              "value_text, limit_text)) FROM (SELECT value_text, limit_text FROM judged_value v "
              "WHERE v.report_id = report_source.report_id ORDER BY position))"},
             {For::Postgres,
              "UPDATE report_source SET shown_texts = COALESCE((SELECT json_agg(json_build_array("
              "value_text, limit_text) ORDER BY position)::text FROM judged_value v "
              "WHERE v.report_id = report_source.report_id), '[]')"},
             // Columns ordered so that PostgreSQL pads none.
             {For::Both,
              "CREATE TABLE judged_value_2 ("
              " report_id BIGINT NOT NULL REFERENCES report (id) ON DELETE CASCADE,"
              " value INTEGER,"
              " limit_value INTEGER,"
              " position SMALLINT NOT NULL,"
              " device SMALLINT,"
              " measure {text} NOT NULL,"
              " judgement {text} NOT NULL{values_key}"},
             {For::Both,
              "INSERT INTO judged_value_2 (report_id, value, limit_value, position, device, "
              "measure, judgement) SELECT report_id, value, limit_value, position, device, "
              "measure, judgement FROM judged_value ORDER BY report_id, position"},
             {For::Both, "DROP TABLE judged_value"},
             {For::Both, "ALTER TABLE judged_value_2 RENAME TO judged_value"},
             // PostgreSQL keeps a report's values in its heap: a small
             // (deduplicated) index finds them. SQLite's key is the table.
             {For::Postgres, "CREATE INDEX judged_value_by_report ON judged_value (report_id)"},
             // Covering: a trend reads its points from the index alone.
             // PostgreSQL keys it on the measure only, so that each
             // measure's entries are equal keys that fill whole pages as
             // reports are added (keyed on the report too, every page
             // would split half full); the report's id last pads least.
             {For::Both,
              "CREATE INDEX judged_value_by_measure ON judged_value (measure, device{include}"
              "value, limit_value, judgement, report_id)"},
         }},
        // The earlier copies of a report that was transferred again with
        // another name or other limits: what each such transfer wrote, so
        // that its workbook can be made again. The report's own rows hold
        // the newest copy, which searches and trends read.
        {3,
         {
             {For::Both,
              "CREATE TABLE report_copy ("
              " report_id BIGINT NOT NULL REFERENCES report (id) ON DELETE CASCADE,"
              " copy_number INTEGER NOT NULL,"
              " slot INTEGER NOT NULL,"
              " firmware_marker INTEGER NOT NULL,"
              " transferred_ms BIGINT NOT NULL,"
              " utc_offset INTEGER NOT NULL,"
              " report_name {text} NOT NULL,"
              " verdict {text} NOT NULL,"
              " workbook_path {text} NOT NULL,"
              " workbook_sha256 {text} NOT NULL,"
              " locale_name {text} NOT NULL,"
              " program_version {text} NOT NULL,"
              " eeprom_bytes {bytes} NOT NULL,"
              // As report_source's; the judged as one JSON array of
              // [limit, judgement] pairs in row order.
              " shown_texts {text} NOT NULL,"
              " judged {text} NOT NULL,"
              " PRIMARY KEY (report_id, copy_number))"},
         }},
        // Segments: each report's segment key, kept at insert (older rows
        // get theirs here: case folding beyond ASCII is not SQL's), and the
        // baseline a person chose for a segment.
        {kSegmentsSchemaVersion,
         {
             {For::Both, "ALTER TABLE report ADD COLUMN segment_key {text} NOT NULL DEFAULT ''"},
             {For::Both, nullptr, fillSegmentKeys},
             // A segment's reports in time order, its first and its latest
             // found without reading the others.
             {For::Both,
              "CREATE INDEX report_by_segment ON report (segment_key, report_time, slot, id)"},
             // No foreign key to the report: a later migration that makes
             // the report table anew must not take the choices with it.
             // A baseline whose report is gone or of another segment is
             // read as none chosen.
             {For::Both,
              "CREATE TABLE segment_baseline ("
              " segment_key {text} PRIMARY KEY,"
              " report_id BIGINT NOT NULL)"},
         }},
    };
    return all;
}

QString inDialect(const char* statement, Engine engine) {
    QString sql = QString::fromLatin1(statement);
    const bool sqlite = engine == Engine::Sqlite;
    sql.replace(QLatin1String("{id}"), sqlite ? QLatin1String("INTEGER PRIMARY KEY")
                                              : QLatin1String("BIGINT GENERATED BY DEFAULT AS "
                                                              "IDENTITY PRIMARY KEY"));
    sql.replace(QLatin1String("{bytes}"), sqlite ? QLatin1String("BLOB") : QLatin1String("BYTEA"));
    sql.replace(QLatin1String("{text}"), QLatin1String("TEXT"));
    sql.replace(QLatin1String("{rowless}"),
                sqlite ? QLatin1String(" WITHOUT ROWID") : QLatin1String(""));
    sql.replace(QLatin1String("{values_key}"),
                sqlite ? QLatin1String(", PRIMARY KEY (report_id, position)) WITHOUT ROWID")
                       : QLatin1String(")"));
    sql.replace(QLatin1String("{include}"),
                sqlite ? QLatin1String(", ") : QLatin1String(") INCLUDE ("));
    return sql;
}

bool runsOn(const Statement& statement, Engine engine) {
    return statement.engines == For::Both ||
           (statement.engines == For::Sqlite) == (engine == Engine::Sqlite);
}

// The server's refusal of a migration for want of rights (SQLSTATE 42501),
// told as who may make the schema: the user's own words from the server
// name only the table or schema refused.
constexpr const char* kInsufficientPrivilege = "42501";

// Who holds the archive's tables and who asks, for that refusal.
QString refusalReason(QSqlDatabase& db, int stored, int target) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT current_user, COALESCE(current_schema(), ''), COALESCE((SELECT "
            "pg_get_userbyid(relowner) FROM pg_class WHERE oid = to_regclass('schema_version')), "
            "'')")) ||
        !query.next()) {
        return QString();
    }
    const QString user = query.value(0).toString();
    const QString schema = query.value(1).toString();
    const QString owner = query.value(2).toString();
    if (stored == 0) {
        return QStringLiteral(
                   "the archive has no tables yet, and user %1 may not create tables in schema "
                   "%2; they must be made by a user who may (the schema's owner or an "
                   "administrator), with a first transfer")
            .arg(user, schema);
    }
    return QStringLiteral(
               "the archive's tables belong to %1; a newer schema must be made by %1 or an "
               "administrator (a transfer by %1 brings schema version %2 to %3)")
        .arg(owner)
        .arg(stored)
        .arg(target);
}

}  // namespace

std::optional<int> storedSchemaVersion(QSqlDatabase& db, QSqlError* failure) {
    QSqlQuery query(db);
    // Qt's table list would name a table outside the schema public as
    // schema.table (and list other users' schemas too).
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    const QString exists = sqlite
                               ? QStringLiteral(
                                     "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                                     "name = 'schema_version'")
                               : QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL");
    if (!query.exec(exists) || !query.next()) {
        if (failure) *failure = query.lastError();
        return std::nullopt;
    }
    if (!query.value(0).toBool()) return 0;
    if (!query.exec(QStringLiteral("SELECT version FROM schema_version"))) {
        if (failure) *failure = query.lastError();
        return std::nullopt;
    }
    return query.next() ? query.value(0).toInt() : 0;
}

std::optional<QString> migrateSchema(QSqlDatabase& db, Engine engine, int target) {
    QSqlError failure;
    const std::optional<int> stored = storedSchemaVersion(db, &failure);
    if (!stored) return failure.text();
    if (*stored > kSchemaVersion) {
        return QStringLiteral(
                   "the archive was made by a newer program (schema version %1; this program "
                   "knows up to %2) and is not written")
            .arg(*stored)
            .arg(kSchemaVersion);
    }
    if (*stored >= target) return std::nullopt;
    const QString refused =
        engine == Engine::Postgres ? refusalReason(db, *stored, target) : QString();
    QString reason;
    auto run = [&](const QString& sql) {
        QSqlQuery query(db);
        if (query.exec(sql)) return true;
        const QSqlError error = query.lastError();
        reason =
            error.nativeErrorCode() == QLatin1String(kInsufficientPrivilege) && !refused.isEmpty()
                ? refused
                : error.text();
        return false;
    };
    if (*stored == 0 &&
        !run(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")))
        return reason;
    for (const Migration& migration : migrations()) {
        if (migration.version <= *stored || migration.version > target) continue;
        for (const Statement& statement : migration.statements) {
            if (!runsOn(statement, engine)) continue;
            if (statement.work) {
                if (auto failure = statement.work(db, engine)) return failure;
                continue;
            }
            if (!run(inDialect(statement.sql, engine))) return reason;
        }
    }
    const QString record = *stored == 0 ? QStringLiteral("INSERT INTO schema_version VALUES (%1)")
                                        : QStringLiteral("UPDATE schema_version SET version = %1");
    if (!run(record.arg(target))) return reason;
    return std::nullopt;
}

}  // namespace ksx4::archive
