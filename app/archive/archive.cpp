#include "archive/archive.h"

#include "archive/archive_internals.h"
#include "archive/archive_schema.h"
#include "archive/segment_key.h"
#include "archive/sqlite_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace ksx4::archive {
namespace {

using Engine = ArchiveLocation::Engine;

constexpr int kBusyTimeoutMs = 5000;
constexpr int kConnectTimeoutSeconds = 5;
// Value rows to one INSERT on a server: a whole 32-device report (106
// values), at 7 parameters a row far below PostgreSQL's bound.
constexpr std::size_t kValuesPerInsert = 128;
// Serialises schema creation between PostgreSQL clients.
constexpr int kSchemaLockKey = 0x4b535834;

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("ksx4-archive-%1").arg(++counter);
}

QVariant optionalValue(const std::optional<int64_t>& value) {
    return value ? QVariant(static_cast<qlonglong>(*value))
                 : QVariant(QMetaType::fromType<qlonglong>());
}
QVariant optionalValue(const std::optional<int>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<int>());
}
QVariant optionalText(const std::optional<QString>& text) {
    return text ? QVariant(*text) : QVariant(QMetaType::fromType<QString>());
}
// A text for a NOT NULL column: Qt SQL binds a null QString as NULL, and an
// empty text (a blank name, a value no one judged) is not a missing one.
QVariant text(const QString& value) {
    return QVariant(value.isNull() ? QString(QLatin1String("")) : value);
}
std::optional<int64_t> optionalInt64(const QVariant& value) {
    if (value.isNull()) return std::nullopt;
    return value.toLongLong();
}

// The texts the workbook shows, one [value, limit] pair per value in row
// order.
QString shownTexts(const std::vector<JudgedValue>& values) {
    QJsonArray pairs;
    for (const JudgedValue& v : values) pairs.append(QJsonArray{v.valueText, v.limitText});
    return QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact));
}
// Fills in the values' texts; false when the stored texts are not one pair
// of strings per value.
bool readShownTexts(const QString& stored, std::vector<JudgedValue>& values) {
    const QJsonDocument document = QJsonDocument::fromJson(stored.toUtf8());
    const QJsonArray pairs = document.array();
    if (!document.isArray() || pairs.size() != static_cast<qsizetype>(values.size())) return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QJsonArray pair = pairs[static_cast<qsizetype>(i)].toArray();
        if (pair.size() != 2 || !pair[0].isString() || !pair[1].isString()) return false;
        values[i].valueText = pair[0].toString();
        values[i].limitText = pair[1].toString();
    }
    return true;
}

// "tank" finds "Tank 3" and "TANK": the key folds case; a pattern's own %, _
// and \ are matched as themselves.
QString searchKey(const QString& location, const QString& reportName) {
    return (location + u'\n' + reportName).toCaseFolded();
}
QString containsPattern(const QString& text) {
    QString escaped;
    for (const QChar c : text.toCaseFolded()) {
        if (c == u'\\' || c == u'%' || c == u'_') escaped += u'\\';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

const char* const kSummaryColumns =
    "r.id, r.tester_serial, r.tester_kind, r.slot, r.location, r.report_name, r.saved, "
    "r.transferred_ms, r.utc_offset, r.devices, r.verdict, r.workbook_path, r.workbook_sha256";

ReportSummary summaryOf(const QSqlQuery& query) {
    ReportSummary s;
    s.id = query.value(0).toLongLong();
    s.testerSerial = query.value(1).toInt();
    s.testerKind = query.value(2).toInt();
    s.slot = query.value(3).toInt();
    s.location = query.value(4).toString();
    s.reportName = query.value(5).toString();
    if (!query.value(6).isNull()) s.saved = query.value(6).toString();
    s.transferredMs = query.value(7).toLongLong();
    s.utcOffsetSeconds = query.value(8).toInt();
    s.devices = query.value(9).toInt();
    s.verdict = query.value(10).toString();
    s.workbookPath = query.value(11).toString();
    s.workbookSha256 = query.value(12).toString();
    return s;
}

QString orderClause(const ListOrder& order) {
    using Key = ListOrder::Key;
    const QLatin1String direction(order.descending ? " DESC" : "");
    const QString time = QStringLiteral("r.report_time%1, r.slot%1, r.id%1").arg(direction);
    QString key;
    switch (order.key) {
        case Key::Time:
            return QStringLiteral(" ORDER BY ") + time;
        case Key::Tester:
            key = QStringLiteral("r.tester_serial");
            break;
        case Key::Location:
            key = QStringLiteral("r.search_key");
            break;
        case Key::Devices:
            key = QStringLiteral("r.devices");
            break;
        case Key::Verdict:
            key = QStringLiteral("CASE r.verdict WHEN 'BAD' THEN 2 WHEN 'WARN' THEN 1 ELSE 0 END");
            break;
    }
    return QStringLiteral(" ORDER BY %1%2, r.report_time, r.slot, r.id").arg(key, direction);
}

}  // namespace

class Archive::Connection {
  public:
    Connection(const ArchiveLocation& location, Access access)
        : name_(nextConnectionName()), location_(location), access_(access) {}
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            if (db.isValid()) db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    // The schema the archive had when opened read-only, else ours.
    int schemaVersion() const { return schemaVersion_; }
    bool readOnly() const { return access_ == Access::ReadOnly; }
    Engine engine() const { return location_.engine; }
    bool sqlite() const { return location_.engine == Engine::Sqlite; }

    // The failure for the user: where, and why, with any password removed.
    ArchiveError error(const QString& reason) const {
        QString text = QStringLiteral("Archive %1: %2").arg(location_.displayText(), reason);
        if (!location_.password.isEmpty())
            text.replace(location_.password, QStringLiteral("********"));
        return {text.trimmed()};
    }
    ArchiveError error(const QSqlError& sqlError) const {
        return error(sqlite() ? sqliteFailureText(sqlError, location_.path) : sqlError.text());
    }

    std::optional<ArchiveError> open() {
        if (sqlite()) {
            const QFileInfo file(location_.path);
            if (access_ == Access::ReadOnly && !file.exists())
                return error(QStringLiteral("no archive there"));
            if (file.isDir())
                return error(QStringLiteral("a folder stands where the file should be"));
            if (access_ == Access::ReadWrite && !QDir().mkpath(file.absolutePath()))
                return error(QStringLiteral("cannot create the folder ") + file.absolutePath());
            if (access_ == Access::ReadWrite) {
                if (const auto problem = unwritableSqliteFile(location_.path))
                    return error(*problem);
            }
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(
            sqlite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name_);
        if (!db.isValid()) {
            return error(QStringLiteral("the Qt SQL driver %1 is not installed")
                             .arg(sqlite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL")));
        }
        if (sqlite()) {
            db.setDatabaseName(location_.path);
            QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
            if (access_ == Access::ReadOnly) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
            db.setConnectOptions(options);
        } else {
            db.setDatabaseName(location_.databaseName);
            if (!location_.host.isEmpty()) db.setHostName(location_.host);
            if (location_.port) db.setPort(*location_.port);
            if (!location_.user.isEmpty()) db.setUserName(location_.user);
            if (!location_.password.isEmpty()) db.setPassword(location_.password);
            db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds));
        }
        if (!db.open()) return error(db.lastError());
        return sqlite() ? setUpSqlite() : setUpPostgres();
    }

    // Runs sql (no parameters); the failure when it fails.
    std::optional<ArchiveError> exec(const QString& sql) {
        QSqlQuery query(db());
        if (query.exec(sql)) return std::nullopt;
        return error(query.lastError());
    }

    // The write transaction: SQLite takes its write lock at once, so that
    // two writers wait for each other (busy time-out) instead of failing
    // when a read turns into a write.
    std::optional<ArchiveError> begin() {
        return exec(sqlite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    }
    std::optional<ArchiveError> commit() { return exec(QStringLiteral("COMMIT")); }
    void rollback() { exec(QStringLiteral("ROLLBACK")); }

    std::optional<ArchiveError> migrate() {
        QSqlDatabase database = db();
        if (access_ == Access::ReadOnly) {
            const std::optional<int> version = storedSchemaVersion(database);
            if (!version) return error(database.lastError());
            if (*version == 0) return error(QStringLiteral("no archive there"));
            if (*version > kSchemaVersion) {
                return error(QStringLiteral("the archive was made by a newer program (schema "
                                            "version %1; this program knows up to %2)")
                                 .arg(*version)
                                 .arg(kSchemaVersion));
            }
            // Read as it is: reading never migrates.
            schemaVersion_ = *version;
            return std::nullopt;
        }
        if (auto failure = begin()) return failure;
        if (!sqlite()) {
            if (auto failure =
                    exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey))) {
                rollback();
                return failure;
            }
        }
        if (const auto reason = migrateSchema(database, engine())) {
            rollback();
            return error(*reason);
        }
        schemaVersion_ = kSchemaVersion;
        return commit();
    }

  private:
    std::optional<ArchiveError> setUpSqlite() {
        // A file that is not a database fails here, on its first read.
        if (auto failure = exec(QStringLiteral("PRAGMA foreign_keys = ON"))) return failure;
        if (auto failure = exec(QStringLiteral("PRAGMA synchronous = FULL"))) return failure;
        if (access_ == Access::ReadWrite) {
            // Turning a new file into WAL takes a lock that SQLite does not
            // wait for (the busy time-out does not apply), so of two
            // programs making the archive at once one would fail: try again
            // until the time-out.
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
            QSqlQuery query(db());
            while (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
                constexpr int kSqliteBusy = 5;  // extended codes keep it in their low byte
                const bool busy =
                    (query.lastError().nativeErrorCode().toInt() & 0xff) == kSqliteBusy;
                if (!busy || std::chrono::steady_clock::now() >= deadline)
                    return error(query.lastError());
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        } else {
            QSqlQuery query(db());
            if (!query.exec(QStringLiteral("PRAGMA schema_version")))
                return error(query.lastError());
        }
        return std::nullopt;
    }
    std::optional<ArchiveError> setUpPostgres() {
        if (auto failure = exec(QStringLiteral("SET client_min_messages = WARNING")))
            return failure;
        if (access_ == Access::ReadOnly)
            return exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        return std::nullopt;
    }

    QString name_;
    ArchiveLocation location_;
    Access access_;
    int schemaVersion_ = kSchemaVersion;
};

Archive::Archive(ArchiveLocation location, std::unique_ptr<Connection> connection)
    : location_(std::move(location)), connection_(std::move(connection)) {}
Archive::~Archive() = default;

Result<std::unique_ptr<Archive>> Archive::open(const ArchiveLocation& location, Access access) {
    if (location.isNone()) return ArchiveError{QStringLiteral("no archive location")};
    auto connection = std::make_unique<Connection>(location, access);
    if (auto failure = connection->open()) return *failure;
    if (auto failure = connection->migrate()) return *failure;
    return std::unique_ptr<Archive>(new Archive(location, std::move(connection)));
}

Result<StoreResult> Archive::store(const ArchivedReport& report) {
    Connection& c = *connection_;
    const ReportSummary& s = report.summary;
    const QString slotDigest = QString::fromLatin1(
        QCryptographicHash::hash(report.slotBytes, QCryptographicHash::Sha256).toHex());
    if (auto failure = c.begin()) return *failure;
    auto fail = [&c](const QSqlQuery& query) {
        const ArchiveError failure = c.error(query.lastError());
        c.rollback();
        return failure;
    };

    QSqlQuery insert(c.db());
    insert.prepare(QStringLiteral(
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version, "
        "segment_key) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (tester_serial, slot_sha256) DO NOTHING RETURNING id"));
    for (const QVariant& value :
         {QVariant(s.testerSerial), QVariant(s.testerKind), QVariant(report.firmwareMarker),
          QVariant(s.slot), text(slotDigest), text(s.location), text(s.reportName),
          text(searchKey(s.location, s.reportName)), optionalText(s.saved),
          QVariant(static_cast<qlonglong>(s.transferredMs)), QVariant(s.utcOffsetSeconds),
          text(s.reportTime()), QVariant(s.devices), text(s.verdict), text(s.workbookPath),
          text(s.workbookSha256), text(report.localeName), text(report.programVersion),
          text(segmentKey(s.location))}) {
        insert.addBindValue(value);
    }
    if (!insert.exec()) return fail(insert);
    if (!insert.next()) {
        insert.finish();
        QSqlQuery existing(c.db());
        existing.prepare(
            QStringLiteral("SELECT id FROM report WHERE tester_serial = ? AND slot_sha256 = ?"));
        existing.addBindValue(s.testerSerial);
        existing.addBindValue(slotDigest);
        if (!existing.exec() || !existing.next()) return fail(existing);
        const int64_t id = existing.value(0).toLongLong();
        existing.finish();
        c.rollback();
        return StoreResult{StoreOutcome::AlreadyKept, id};
    }
    const int64_t id = insert.value(0).toLongLong();
    insert.finish();

    QSqlQuery source(c.db());
    source.prepare(
        QStringLiteral("INSERT INTO report_source (report_id, slot_bytes, eeprom_bytes, "
                       "shown_texts) VALUES (?, ?, ?, ?)"));
    source.addBindValue(static_cast<qlonglong>(id));
    source.addBindValue(report.slotBytes);
    source.addBindValue(report.eepromBytes);
    source.addBindValue(shownTexts(report.values));
    if (!source.exec()) return fail(source);

    // A server across a network answers each statement after a round trip:
    // many rows to a statement there. SQLite runs one prepared row fastest.
    const auto& values = report.values;
    const std::size_t perInsert = c.sqlite() ? 1 : kValuesPerInsert;
    QSqlQuery insertValues(c.db());
    std::size_t preparedRows = 0;
    for (std::size_t first = 0; first < values.size(); first += perInsert) {
        const std::size_t count = std::min(perInsert, values.size() - first);
        if (count != preparedRows) {
            const QStringList rows(static_cast<qsizetype>(count),
                                   QStringLiteral("(?, ?, ?, ?, ?, ?, ?)"));
            insertValues.prepare(
                QStringLiteral("INSERT INTO judged_value (report_id, value, limit_value, "
                               "position, device, measure, judgement) VALUES ") +
                rows.join(QStringLiteral(", ")));
            preparedRows = count;
        }
        int parameter = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            const JudgedValue& v = values[i];
            for (const QVariant& bound :
                 {QVariant(static_cast<qlonglong>(id)), optionalValue(v.value),
                  optionalValue(v.limit), QVariant(static_cast<int>(i + 1)),
                  optionalValue(v.device), text(v.measure), text(v.judgement)}) {
                insertValues.bindValue(parameter++, bound);
            }
        }
        if (!insertValues.exec()) return fail(insertValues);
    }
    if (auto failure = c.commit()) {
        c.rollback();
        return *failure;
    }
    return StoreResult{StoreOutcome::Stored, id};
}

Result<std::vector<ReportSummary>> Archive::list(const ListFilter& filter) {
    return list(filter, ListOrder{}, ListPage{0, -1});
}

Result<std::vector<ReportSummary>> Archive::list(const ListFilter& filter, const ListOrder& order,
                                                 const ListPage& page) {
    QString sql =
        QStringLiteral("SELECT %1 FROM report r WHERE 1 = 1").arg(QLatin1String(kSummaryColumns));
    QVariantList values;
    if (!filter.text.isEmpty()) {
        sql += QStringLiteral(
            " AND r.id IN (SELECT id FROM report WHERE search_key LIKE ? ESCAPE '\\')");
        values << containsPattern(filter.text);
    }
    if (filter.testerSerial) {
        sql += QStringLiteral(" AND r.tester_serial = ?");
        values << *filter.testerSerial;
    }
    if (filter.since) {
        sql += QStringLiteral(" AND r.report_time >= ?");
        values << *filter.since;
    }
    if (filter.until) {
        sql += QStringLiteral(" AND r.report_time <= ?");
        values << *filter.until;
    }
    if (filter.verdict) {
        sql += QStringLiteral(" AND r.verdict = ?");
        values << *filter.verdict;
    }
    sql += orderClause(order);
    if (page.limit >= 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        values << page.limit << static_cast<qlonglong>(page.offset);
    }
    QSqlQuery query(connection_->db());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) return connection_->error(query.lastError());
    std::vector<ReportSummary> reports;
    while (query.next()) reports.push_back(summaryOf(query));
    return reports;
}

Result<std::optional<ArchivedReport>> Archive::report(int64_t id) {
    Connection& c = *connection_;
    // Before version 2 the shown texts stood in the value rows.
    const bool textsInRows = c.schemaVersion() < 2;
    QSqlQuery query(c.db());
    query.prepare(QStringLiteral("SELECT %1, s.slot_bytes, s.eeprom_bytes, r.firmware_marker, "
                                 "r.locale_name, r.program_version, %2 FROM report r "
                                 "JOIN report_source s ON s.report_id = r.id WHERE r.id = ?")
                      .arg(QLatin1String(kSummaryColumns),
                           textsInRows ? QLatin1String("''") : QLatin1String("s.shown_texts")));
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec()) return c.error(query.lastError());
    if (!query.next()) return std::optional<ArchivedReport>();
    ArchivedReport report;
    report.summary = summaryOf(query);
    report.slotBytes = query.value(13).toByteArray();
    report.eepromBytes = query.value(14).toByteArray();
    report.firmwareMarker = query.value(15).toInt();
    report.localeName = query.value(16).toString();
    report.programVersion = query.value(17).toString();

    const QString shown = textsInRows ? QString() : query.value(18).toString();
    query.finish();
    QSqlQuery values(c.db());
    values.setForwardOnly(true);
    values.prepare(
        QStringLiteral("SELECT measure, device, value, limit_value, judgement, %1 "
                       "FROM judged_value WHERE report_id = ? ORDER BY position")
            .arg(textsInRows ? QLatin1String("value_text, limit_text") : QLatin1String("'', ''")));
    values.addBindValue(static_cast<qlonglong>(id));
    if (!values.exec()) return c.error(values.lastError());
    while (values.next()) {
        JudgedValue v;
        v.measure = values.value(0).toString();
        if (!values.value(1).isNull()) v.device = values.value(1).toInt();
        v.value = optionalInt64(values.value(2));
        v.limit = optionalInt64(values.value(3));
        v.judgement = values.value(4).toString();
        v.valueText = values.value(5).toString();
        v.limitText = values.value(6).toString();
        report.values.push_back(std::move(v));
    }
    if (!textsInRows && !readShownTexts(shown, report.values)) {
        return c.error(
            QStringLiteral("report %1 is damaged (its shown texts do not match its values)")
                .arg(id));
    }
    return std::optional<ArchivedReport>(std::move(report));
}

Result<std::vector<TrendPoint>> Archive::trend(const TrendQuery& trendQuery) {
    QString sql = QStringLiteral(
        "SELECT r.id, r.report_time, r.location, v.value, v.limit_value, v.judgement "
        // CROSS JOIN keeps SQLite on the value index first: one measure of
        // one device is a small part of the values, while a location's
        // reports may be all of them.
        "FROM judged_value v CROSS JOIN report r "
        "WHERE r.id = v.report_id AND v.measure = ? AND r.search_key LIKE ? ESCAPE '\\'");
    sql += trendQuery.device ? QStringLiteral(" AND v.device = ?")
                             : QStringLiteral(" AND v.device IS NULL");
    sql += QStringLiteral(" ORDER BY r.report_time, r.slot, r.id");
    QSqlQuery query(connection_->db());
    query.setForwardOnly(true);
    query.prepare(sql);
    query.addBindValue(trendQuery.measure);
    query.addBindValue(containsPattern(trendQuery.text));
    if (trendQuery.device) query.addBindValue(*trendQuery.device);
    if (!query.exec()) return connection_->error(query.lastError());
    std::vector<TrendPoint> points;
    while (query.next()) {
        points.push_back({query.value(0).toLongLong(), query.value(1).toString(),
                          query.value(2).toString(), optionalInt64(query.value(3)),
                          optionalInt64(query.value(4)), query.value(5).toString()});
    }
    return points;
}

Result<int> Archive::schemaVersion() {
    QSqlDatabase db = connection_->db();
    const std::optional<int> version = storedSchemaVersion(db);
    if (!version) return connection_->error(db.lastError());
    return *version;
}

Result<bool> Archive::integrityOk() {
    if (!connection_->sqlite()) return true;
    QSqlQuery query(connection_->db());
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next())
        return connection_->error(query.lastError());
    return query.value(0).toString() == QLatin1String("ok");
}

QSqlDatabase ArchiveInternals::db(Archive& archive) {
    return archive.connection_->db();
}
int ArchiveInternals::schemaVersion(Archive& archive) {
    return archive.connection_->schemaVersion();
}
bool ArchiveInternals::sqlite(Archive& archive) {
    return archive.connection_->sqlite();
}
bool ArchiveInternals::readOnly(Archive& archive) {
    return archive.connection_->readOnly();
}
ArchiveError ArchiveInternals::error(Archive& archive, const QSqlError& error) {
    return archive.connection_->error(error);
}
ArchiveError ArchiveInternals::error(Archive& archive, const QString& reason) {
    return archive.connection_->error(reason);
}
std::optional<ArchiveError> ArchiveInternals::begin(Archive& archive) {
    return archive.connection_->begin();
}
std::optional<ArchiveError> ArchiveInternals::commit(Archive& archive) {
    return archive.connection_->commit();
}
void ArchiveInternals::rollback(Archive& archive) {
    archive.connection_->rollback();
}
const char* ArchiveInternals::summaryColumns() {
    return kSummaryColumns;
}
ReportSummary ArchiveInternals::summaryOf(const QSqlQuery& query) {
    return archive::summaryOf(query);
}

}  // namespace ksx4::archive
