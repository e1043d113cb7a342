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
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace ksx4::archive {
namespace {

using Engine = ArchiveLocation::Engine;

constexpr int kBusyTimeoutMs = 5000;
constexpr int kConnectTimeoutSeconds = 5;
// A server machine that vanishes (no reset ever comes) is found by TCP
// keepalives within about 25 s of silence, data it never acknowledges
// within 30 s.
constexpr const char* kDeadPeerOptions =
    "keepalives=1;keepalives_idle=10;keepalives_interval=5;keepalives_count=3;"
    "tcp_user_timeout=30000";
// A migration copies every value row once.
constexpr int kMigrationTimeoutFactor = 10;
// Value rows to one INSERT on a server: a whole 32-device report (106
// values), at 7 parameters a row far below PostgreSQL's bound.
constexpr std::size_t kValuesPerInsert = 128;
// Serialises schema creation between PostgreSQL clients.
constexpr int kSchemaLockKey = 0x4b535834;
// With a report's id, serialises keeping another copy of it.
constexpr int kReportLockKey = 0x4b535835;

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

// The judging of the values, one [limit, judgement] pair per value in row
// order: what an earlier copy of a report keeps beside its shown texts.
QString judgedPairs(const std::vector<JudgedValue>& values) {
    QJsonArray pairs;
    for (const JudgedValue& v : values) {
        pairs.append(QJsonArray{v.limit ? QJsonValue(static_cast<qint64>(*v.limit)) : QJsonValue(),
                                v.judgement});
    }
    return QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact));
}
// Fills in the values' limits and judgements; false when the stored pairs
// are not one [number or null, string] pair per value.
bool readJudgedPairs(const QString& stored, std::vector<JudgedValue>& values) {
    const QJsonDocument document = QJsonDocument::fromJson(stored.toUtf8());
    const QJsonArray pairs = document.array();
    if (!document.isArray() || pairs.size() != static_cast<qsizetype>(values.size())) return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QJsonArray pair = pairs[static_cast<qsizetype>(i)].toArray();
        if (pair.size() != 2 || !(pair[0].isNull() || pair[0].isDouble()) || !pair[1].isString())
            return false;
        values[i].limit =
            pair[0].isNull() ? std::nullopt : std::optional<int64_t>(pair[0].toInteger());
        values[i].judgement = pair[1].toString();
    }
    return true;
}

// Whether next shows the report as kept already does: the same report name
// and every value judged against the same limit alike. Only the names and
// limits in the tester's EEPROM can change between two transfers of the
// same slot bytes; a change elsewhere there (calibration, another slot's
// name) leaves the workbook as it was.
bool judgedAlike(const ArchivedReport& kept, const ArchivedReport& next) {
    if (kept.summary.reportName != next.summary.reportName ||
        kept.values.size() != next.values.size())
        return false;
    for (std::size_t i = 0; i < kept.values.size(); ++i) {
        const JudgedValue& a = kept.values[i];
        const JudgedValue& b = next.values[i];
        if (a.limit != b.limit || a.judgement != b.judgement) return false;
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

// A value in libpq's connection string syntax.
QString connectionValue(const QString& value) {
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

// What the server or libpq said, on one line: without the SQLSTATE Qt adds
// in parentheses and Qt's own words for the step that failed.
QString postgresText(const QSqlError& error) {
    QString text = error.databaseText();
    static const QRegularExpression code(QStringLiteral("\\(\\w*\\)\\s*$"));
    text.remove(code);
    text = text.simplified();
    return text.isEmpty() ? error.driverText() : text;
}

// The first line of a server's message, without its severity.
QString serverMessage(const QSqlError& error) {
    QString text = error.databaseText().section(u'\n', 0, 0).trimmed();
    const qsizetype colon = text.indexOf(QLatin1String(":  "));
    return colon > 0 ? text.mid(colon + 3) : text;
}

// An earlier copy's own facts, read over the newest copy by applyCopy.
const char* const kCopyColumns =
    "copy_number, slot, firmware_marker, transferred_ms, utc_offset, report_name, verdict, "
    "workbook_path, workbook_sha256, locale_name, program_version, eeprom_bytes, shown_texts, "
    "judged";

// Turns report (its newest copy) into the copy query's row shows; false
// when the row's texts or judging do not fit the values.
bool applyCopy(const QSqlQuery& row, ArchivedReport& report) {
    ReportSummary& s = report.summary;
    report.copy = row.value(0).toInt();
    s.slot = row.value(1).toInt();
    report.firmwareMarker = row.value(2).toInt();
    s.transferredMs = row.value(3).toLongLong();
    s.utcOffsetSeconds = row.value(4).toInt();
    s.reportName = row.value(5).toString();
    s.verdict = row.value(6).toString();
    s.workbookPath = row.value(7).toString();
    s.workbookSha256 = row.value(8).toString();
    report.localeName = row.value(9).toString();
    report.programVersion = row.value(10).toString();
    report.eepromBytes = row.value(11).toByteArray();
    return readShownTexts(row.value(12).toString(), report.values) &&
           readJudgedPairs(row.value(13).toString(), report.values);
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

// The rows after report c (bound by id) in orderClause's order: compared
// column by column, since the tie columns may run the other way than the key.
QString keysetClause(const ListOrder& order) {
    using Key = ListOrder::Key;
    struct Column {
        QString r, c;
        bool descending;
    };
    std::vector<Column> columns;
    const auto keyOf = [](const QString& row) -> QString {
        return QStringLiteral("CASE %1.verdict WHEN 'BAD' THEN 2 WHEN 'WARN' THEN 1 ELSE 0 END")
            .arg(row);
    };
    bool tiesDescending = false;
    switch (order.key) {
        case Key::Time:
            tiesDescending = order.descending;
            break;
        case Key::Tester:
            columns.push_back({QStringLiteral("r.tester_serial"), QStringLiteral("c.tester_serial"),
                               order.descending});
            break;
        case Key::Location:
            columns.push_back(
                {QStringLiteral("r.search_key"), QStringLiteral("c.search_key"), order.descending});
            break;
        case Key::Devices:
            columns.push_back(
                {QStringLiteral("r.devices"), QStringLiteral("c.devices"), order.descending});
            break;
        case Key::Verdict:
            columns.push_back(
                {keyOf(QStringLiteral("r")), keyOf(QStringLiteral("c")), order.descending});
            break;
    }
    for (const char* name : {"report_time", "slot", "id"}) {
        columns.push_back({QStringLiteral("r.") + QLatin1String(name),
                           QStringLiteral("c.") + QLatin1String(name), tiesDescending});
    }
    // (a > a0) OR (a = a0 AND ((b > b0) OR (b = b0 AND ...))), from the last.
    QString after;
    for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
        const QString beyond =
            QStringLiteral("%1 %2 %3").arg(it->r, QLatin1String(it->descending ? "<" : ">"), it->c);
        after = after.isEmpty()
                    ? beyond
                    : QStringLiteral("(%1 OR (%2 = %3 AND %4))").arg(beyond, it->r, it->c, after);
    }
    return QStringLiteral(" AND EXISTS (SELECT 1 FROM report c WHERE c.id = ? AND %1)").arg(after);
}

// The trend's reports as the filter beside it bounds them (its text apart).
QString trendWithinClause(const ListFilter& within, QVariantList& values) {
    QString sql;
    if (within.testerSerial) {
        sql += QStringLiteral(" AND r.tester_serial = ?");
        values << *within.testerSerial;
    }
    if (within.since) {
        sql += QStringLiteral(" AND r.report_time >= ?");
        values << *within.since;
    }
    if (within.until) {
        sql += QStringLiteral(" AND r.report_time <= ?");
        values << *within.until;
    }
    if (within.verdict) {
        sql += QStringLiteral(" AND r.verdict = ?");
        values << *within.verdict;
    }
    return sql;
}

}  // namespace

class Archive::Connection {
  public:
    Connection(const ArchiveLocation& location, Access access,
               std::chrono::milliseconds statementTimeout)
        : name_(nextConnectionName()),
          location_(location),
          access_(access),
          statementTimeout_(statementTimeout) {}
    ~Connection() { drop(); }

    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    // The schema the archive had when opened read-only, else ours.
    int schemaVersion() const { return schemaVersion_; }
    bool readOnly() const { return access_ == Access::ReadOnly; }
    Engine engine() const { return location_.engine; }
    bool sqlite() const { return location_.engine == Engine::Sqlite; }

    // The failure for the user: where, and why. The location is shown
    // without its password, and libpq never names one.
    ArchiveError error(const QString& reason) {
        return {QStringLiteral("Archive %1: %2").arg(location_.displayText(), reason).trimmed()};
    }
    ArchiveError noArchiveYet() {
        ArchiveError failure = error(QStringLiteral("no archive there"));
        failure.noArchiveYet = true;
        return failure;
    }
    // A failed statement's; a lost server connection is closed at once
    // (before the statements still prepared on it would be freed on it, each
    // with a warning from Qt) and its reason answers every later call.
    ArchiveError error(const QSqlError& sqlError) {
        if (lost_) return *lost_;
        if (sqlite()) return error(sqliteFailureText(sqlError, location_.path));
        const QString code = sqlError.nativeErrorCode();
        ArchiveError failure;
        if (code == QLatin1String("55P03")) {
            failure = error(QStringLiteral("another connection held a lock on the archive for "
                                           "too long; try again when it is done (%1)")
                                .arg(serverMessage(sqlError)));
        } else if (code == QLatin1String("57014")) {
            failure = error(QStringLiteral("the server did not answer in time (%1)")
                                .arg(serverMessage(sqlError)));
        } else {
            failure = error(postgresText(sqlError));
        }
        // libpq's own failures (the connection) carry no SQLSTATE; the
        // server ends a session with these.
        const bool ended = code.startsWith(QLatin1String("08")) ||
                           code.startsWith(QLatin1String("57P")) || code == QLatin1String("25P03");
        if ((sqlError.isValid() && (code.isEmpty() || ended)) || !db().isOpen()) {
            lost_ = failure;
            drop();
        }
        return failure;
    }
    // The reason the server connection was lost, once it was.
    const std::optional<ArchiveError>& lost() const { return lost_; }

    std::optional<ArchiveError> open() {
        if (sqlite()) {
            const QFileInfo file(location_.path);
            if (access_ == Access::ReadOnly && !file.exists()) return noArchiveYet();
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
            db.setConnectOptions(postgresOptions());
        }
        if (!db.open()) {
            const QSqlError failure = db.lastError();
            db = QSqlDatabase();
            return error(sqlite() ? sqliteFailureText(failure, location_.path)
                                  : postgresText(failure));
        }
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
    void rollback() {
        if (lost_) return;
        if (!db().isOpen()) {
            drop();
            return;
        }
        exec(QStringLiteral("ROLLBACK"));
    }

    // The report's value rows, in order.
    std::optional<ArchiveError> insertValues(int64_t id, const std::vector<JudgedValue>& values) {
        // A server across a network answers each statement after a round
        // trip: many rows to a statement there. SQLite runs one prepared row
        // fastest.
        const std::size_t perInsert = sqlite() ? 1 : kValuesPerInsert;
        QSqlQuery insert(db());
        std::size_t preparedRows = 0;
        for (std::size_t first = 0; first < values.size(); first += perInsert) {
            const std::size_t count = std::min(perInsert, values.size() - first);
            if (count != preparedRows) {
                const QStringList rows(static_cast<qsizetype>(count),
                                       QStringLiteral("(?, ?, ?, ?, ?, ?, ?)"));
                if (!insert.prepare(
                        QStringLiteral("INSERT INTO judged_value (report_id, value, limit_value, "
                                       "position, device, measure, judgement) VALUES ") +
                        rows.join(QStringLiteral(", "))))
                    return error(insert.lastError());
                preparedRows = count;
            }
            int parameter = 0;
            for (std::size_t i = first; i < first + count; ++i) {
                const JudgedValue& v = values[i];
                for (const QVariant& bound :
                     {QVariant(static_cast<qlonglong>(id)), optionalValue(v.value),
                      optionalValue(v.limit), QVariant(static_cast<int>(i + 1)),
                      optionalValue(v.device), text(v.measure), text(v.judgement)}) {
                    insert.bindValue(parameter++, bound);
                }
            }
            if (!insert.exec()) return error(insert.lastError());
        }
        return std::nullopt;
    }

    std::optional<ArchiveError> migrate() {
        if (access_ == Access::ReadOnly) {
            QSqlError failure;
            const std::optional<int> version = [&] {
                QSqlDatabase database = db();
                return storedSchemaVersion(database, &failure);
            }();
            if (!version) return error(failure);
            if (*version == 0) return noArchiveYet();
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
            const auto migrationTimeout = statementTimeout_ * kMigrationTimeoutFactor;
            for (const QString& statement :
                 {QStringLiteral("SET LOCAL statement_timeout = %1")
                      .arg(static_cast<qlonglong>(migrationTimeout.count())),
                  QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)}) {
                if (auto failure = exec(statement)) {
                    rollback();
                    return failure;
                }
            }
        }
        const std::optional<QString> reason = [&] {
            QSqlDatabase database = db();
            return migrateSchema(database, engine());
        }();
        if (reason) {
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
    // libpq's connection options: ours for a dead peer, then the location's.
    QString postgresOptions() const {
        QStringList options{QString::fromLatin1(kDeadPeerOptions),
                            QStringLiteral("fallback_application_name=ksx4-assistant")};
        if (!location_.parameters.contains(QStringLiteral("connect_timeout")))
            options << QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds);
        for (auto it = location_.parameters.begin(); it != location_.parameters.end(); ++it)
            options << it.key() + u'=' + connectionValue(it.value());
        return options.join(u';');
    }

    std::optional<ArchiveError> setUpPostgres() {
        // libpq writes the server's notices and warnings to standard error,
        // where a shutting down server's would come before the program's
        // own message; errors come back with the statements.
        if (auto failure = exec(QStringLiteral("SET client_min_messages = ERROR"))) return failure;
        // Every statement bounded, and a session that stops between the
        // statements of a transaction (its program stopped) ends, so that
        // neither waits nor holds the archive's locks for ever. A bound the
        // server already sets for the user and is tighter stays.
        const qlonglong statementMs = statementTimeout_.count();
        if (auto failure = exec(
                QStringLiteral(
                    "SELECT set_config(b.name, CASE WHEN s.setting::bigint > 0 AND "
                    "s.setting::bigint < b.bound THEN s.setting ELSE b.bound::text END, false) "
                    "FROM (VALUES ('statement_timeout', %1), ('lock_timeout', %2), "
                    "('idle_in_transaction_session_timeout', %1)) AS b(name, bound) "
                    "JOIN pg_settings s ON s.name = b.name")
                    .arg(statementMs)
                    .arg(std::max<qlonglong>(1, statementMs / 2))))
            return failure;
        if (access_ == Access::ReadOnly)
            return exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        return std::nullopt;
    }

    // Closes the connection; no QSqlDatabase of it may be left, so that its
    // driver goes with it.
    void drop() {
        if (!QSqlDatabase::contains(name_)) return;
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            if (db.isValid()) db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }

    QString name_;
    ArchiveLocation location_;
    Access access_;
    std::chrono::milliseconds statementTimeout_;
    int schemaVersion_ = kSchemaVersion;
    std::optional<ArchiveError> lost_;
};

Archive::Archive(ArchiveLocation location, std::unique_ptr<Connection> connection)
    : location_(std::move(location)), connection_(std::move(connection)) {}
Archive::~Archive() = default;

Result<std::unique_ptr<Archive>> Archive::open(const ArchiveLocation& location, Access access,
                                               std::chrono::milliseconds statementTimeout) {
    if (location.isNone()) return ArchiveError{QStringLiteral("no archive location")};
    auto connection = std::make_unique<Connection>(location, access, statementTimeout);
    if (auto failure = connection->open()) return *failure;
    if (auto failure = connection->migrate()) return *failure;
    return std::unique_ptr<Archive>(new Archive(location, std::move(connection)));
}

Result<StoreResult> Archive::store(const ArchivedReport& report) {
    Connection& c = *connection_;
    const ReportSummary& s = report.summary;
    const QString slotDigest = QString::fromLatin1(
        QCryptographicHash::hash(report.slotBytes, QCryptographicHash::Sha256).toHex());
    if (const auto& lost = c.lost()) return *lost;
    if (auto failure = c.begin()) return *failure;
    // The first failure is the reason: nothing runs after it but the
    // rollback.
    auto fail = [&c](const QSqlQuery& query) {
        const ArchiveError failure = c.error(query.lastError());
        c.rollback();
        return failure;
    };

    QSqlQuery insert(c.db());
    const bool prepared = insert.prepare(QStringLiteral(
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version, "
        "segment_key) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (tester_serial, slot_sha256) DO NOTHING RETURNING id"));
    if (!prepared) return fail(insert);
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
    const bool inserted = insert.next();
    if (insert.lastError().isValid()) return fail(insert);
    if (!inserted) {
        insert.finish();
        QSqlQuery existing(c.db());
        if (!existing.prepare(QStringLiteral(
                "SELECT id FROM report WHERE tester_serial = ? AND slot_sha256 = ?")))
            return fail(existing);
        existing.addBindValue(s.testerSerial);
        existing.addBindValue(slotDigest);
        if (!existing.exec() || !existing.next()) return fail(existing);
        const int64_t id = existing.value(0).toLongLong();
        existing.finish();
        if (!c.sqlite()) {
            // Two transfers of a changed report at once keep one new copy:
            // the second waits here, then finds it kept. An advisory lock
            // (not FOR UPDATE), so that a member who may only add reports
            // is still told that one is there already.
            QSqlQuery lock(c.db());
            if (!lock.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)")))
                return fail(lock);
            lock.addBindValue(kReportLockKey);
            lock.addBindValue(static_cast<int>(id % std::numeric_limits<int>::max()));
            if (!lock.exec()) return fail(lock);
        }
        Result<StoreResult> again = storeAgain(id, report);
        if (std::holds_alternative<ArchiveError>(again) ||
            std::get<StoreResult>(again).outcome == StoreOutcome::AlreadyKept) {
            c.rollback();
            return again;
        }
        if (auto failure = c.commit()) {
            c.rollback();
            return *failure;
        }
        return again;
    }
    const int64_t id = insert.value(0).toLongLong();
    insert.finish();

    QSqlQuery source(c.db());
    if (!source.prepare(
            QStringLiteral("INSERT INTO report_source (report_id, slot_bytes, eeprom_bytes, "
                           "shown_texts) VALUES (?, ?, ?, ?)")))
        return fail(source);
    source.addBindValue(static_cast<qlonglong>(id));
    source.addBindValue(report.slotBytes);
    source.addBindValue(report.eepromBytes);
    source.addBindValue(shownTexts(report.values));
    if (!source.exec()) return fail(source);
    if (auto failure = c.insertValues(id, report.values)) {
        c.rollback();
        return *failure;
    }
    if (auto failure = c.commit()) {
        c.rollback();
        return *failure;
    }
    return StoreResult{StoreOutcome::Stored, id};
}

Result<StoreResult> Archive::storeAgain(int64_t id, const ArchivedReport& report) {
    Connection& c = *connection_;
    const auto read = this->report(id);
    if (const auto* failure = std::get_if<ArchiveError>(&read)) return *failure;
    const std::optional<ArchivedReport>& kept = std::get<std::optional<ArchivedReport>>(read);
    if (!kept) return c.error(QStringLiteral("report %1 has no source bytes").arg(id));
    if (judgedAlike(*kept, report)) return StoreResult{StoreOutcome::AlreadyKept, id, kept->copy};

    // A team member may have been granted the right to add reports only.
    auto failed = [&c, id](const QSqlQuery& query) {
        constexpr QLatin1String kInsufficientPrivilege("42501");
        if (c.sqlite() || query.lastError().nativeErrorCode() != kInsufficientPrivilege)
            return c.error(query.lastError());
        return c.error(
            QStringLiteral("report %1 is there already with other limits or another report "
                           "name; keeping this transfer's copy too needs the right to update "
                           "and delete in the archive's tables, which this user lacks (the "
                           "tables' owner can grant it): %2")
                .arg(id)
                .arg(query.lastError().databaseText()));
    };

    // The kept copy moves aside; the report's own rows take this one.
    const ReportSummary& k = kept->summary;
    QSqlQuery aside(c.db());
    if (!aside.prepare(QStringLiteral("INSERT INTO report_copy (report_id, %1) VALUES "
                                      "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                           .arg(QLatin1String(kCopyColumns))))
        return failed(aside);
    for (const QVariant& value :
         {QVariant(static_cast<qlonglong>(id)), QVariant(kept->copy), QVariant(k.slot),
          QVariant(kept->firmwareMarker), QVariant(static_cast<qlonglong>(k.transferredMs)),
          QVariant(k.utcOffsetSeconds), text(k.reportName), text(k.verdict), text(k.workbookPath),
          text(k.workbookSha256), text(kept->localeName), text(kept->programVersion),
          QVariant(kept->eepromBytes), QVariant(shownTexts(kept->values)),
          QVariant(judgedPairs(kept->values))}) {
        aside.addBindValue(value);
    }
    if (!aside.exec()) return failed(aside);

    const ReportSummary& s = report.summary;
    QSqlQuery update(c.db());
    if (!update.prepare(
            QStringLiteral("UPDATE report SET slot = ?, firmware_marker = ?, report_name = ?, "
                           "search_key = ?, transferred_ms = ?, utc_offset = ?, report_time = ?, "
                           "verdict = ?, workbook_path = ?, workbook_sha256 = ?, locale_name = ?, "
                           "program_version = ? WHERE id = ?")))
        return failed(update);
    for (const QVariant& value :
         {QVariant(s.slot), QVariant(report.firmwareMarker), text(s.reportName),
          text(searchKey(k.location, s.reportName)),
          QVariant(static_cast<qlonglong>(s.transferredMs)), QVariant(s.utcOffsetSeconds),
          text(s.reportTime()), text(s.verdict), text(s.workbookPath), text(s.workbookSha256),
          text(report.localeName), text(report.programVersion),
          QVariant(static_cast<qlonglong>(id))}) {
        update.addBindValue(value);
    }
    if (!update.exec()) return failed(update);
    QSqlQuery source(c.db());
    if (!source.prepare(QStringLiteral(
            "UPDATE report_source SET eeprom_bytes = ?, shown_texts = ? WHERE report_id = ?")))
        return failed(source);
    source.addBindValue(report.eepromBytes);
    source.addBindValue(shownTexts(report.values));
    source.addBindValue(static_cast<qlonglong>(id));
    if (!source.exec()) return failed(source);
    QSqlQuery values(c.db());
    if (!values.prepare(QStringLiteral("DELETE FROM judged_value WHERE report_id = ?")))
        return failed(values);
    values.addBindValue(static_cast<qlonglong>(id));
    if (!values.exec()) return failed(values);
    if (auto failure = c.insertValues(id, report.values)) return *failure;
    return StoreResult{StoreOutcome::KeptAgain, id, kept->copy + 1};
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
    if (page.after) {
        sql += keysetClause(order);
        values << static_cast<qlonglong>(*page.after);
    }
    sql += orderClause(order);
    if (page.limit >= 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        values << page.limit << static_cast<qlonglong>(page.offset);
    }
    Connection& c = *connection_;
    if (const auto& lost = c.lost()) return *lost;
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if (!query.prepare(sql)) return c.error(query.lastError());
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) return c.error(query.lastError());
    std::vector<ReportSummary> reports;
    while (query.next()) reports.push_back(summaryOf(query));
    // Rows arrive as they are read: a failure among them (a time-out, a
    // lost connection) ends the loop as the last row would.
    if (query.lastError().isValid()) return c.error(query.lastError());
    return reports;
}

Result<std::optional<ArchivedReport>> Archive::report(int64_t id) {
    Connection& c = *connection_;
    if (const auto& lost = c.lost()) return *lost;
    // Before version 2 the shown texts stood in the value rows.
    const bool textsInRows = c.schemaVersion() < 2;
    QSqlQuery query(c.db());
    const bool prepared =
        query.prepare(QStringLiteral("SELECT %1, s.slot_bytes, s.eeprom_bytes, r.firmware_marker, "
                                     "r.locale_name, r.program_version, %2 FROM report r "
                                     "JOIN report_source s ON s.report_id = r.id WHERE r.id = ?")
                          .arg(QLatin1String(kSummaryColumns),
                               textsInRows ? QLatin1String("''") : QLatin1String("s.shown_texts")));
    if (!prepared) return c.error(query.lastError());
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec()) return c.error(query.lastError());
    if (!query.next()) {
        if (query.lastError().isValid()) return c.error(query.lastError());
        return std::optional<ArchivedReport>();
    }
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
    if (!values.prepare(QStringLiteral("SELECT measure, device, value, limit_value, judgement, %1 "
                                       "FROM judged_value WHERE report_id = ? ORDER BY position")
                            .arg(textsInRows ? QLatin1String("value_text, limit_text")
                                             : QLatin1String("'', ''"))))
        return c.error(values.lastError());
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
    if (values.lastError().isValid()) return c.error(values.lastError());
    values.finish();
    if (!textsInRows && !readShownTexts(shown, report.values)) {
        return c.error(
            QStringLiteral("report %1 is damaged (its shown texts do not match its values)")
                .arg(id));
    }

    // Before version 3 every report had one copy.
    if (c.schemaVersion() >= 3) {
        QSqlQuery earlier(c.db());
        if (!earlier.prepare(
                QStringLiteral("SELECT COUNT(*) FROM report_copy WHERE report_id = ?")))
            return c.error(earlier.lastError());
        earlier.addBindValue(static_cast<qlonglong>(id));
        if (!earlier.exec() || !earlier.next()) return c.error(earlier.lastError());
        report.copy = report.copyCount = earlier.value(0).toInt() + 1;
    }
    return std::optional<ArchivedReport>(std::move(report));
}

Result<std::vector<ArchivedReport>> Archive::copies(int64_t id) {
    Connection& c = *connection_;
    auto newest = report(id);
    if (const auto* failure = std::get_if<ArchiveError>(&newest)) return *failure;
    std::optional<ArchivedReport>& shown = std::get<std::optional<ArchivedReport>>(newest);
    std::vector<ArchivedReport> all;
    if (!shown) return all;
    if (shown->copyCount > 1) {
        QSqlQuery rows(c.db());
        rows.setForwardOnly(true);
        if (!rows.prepare(QStringLiteral("SELECT %1 FROM report_copy WHERE report_id = ? "
                                         "ORDER BY copy_number")
                              .arg(QLatin1String(kCopyColumns))))
            return c.error(rows.lastError());
        rows.addBindValue(static_cast<qlonglong>(id));
        if (!rows.exec()) return c.error(rows.lastError());
        while (rows.next()) {
            ArchivedReport copy = *shown;
            if (!applyCopy(rows, copy)) {
                return c.error(
                    QStringLiteral("report %1 is damaged (its copy %2 does not match its values)")
                        .arg(id)
                        .arg(rows.value(0).toInt()));
            }
            all.push_back(std::move(copy));
        }
        if (rows.lastError().isValid()) return c.error(rows.lastError());
    }
    all.push_back(std::move(*shown));
    return all;
}

Result<std::vector<TrendPoint>> Archive::trend(const TrendQuery& trendQuery) {
    QString sql = QStringLiteral(
        "SELECT r.id, r.report_time, r.location, v.value, v.limit_value, v.judgement "
        // CROSS JOIN keeps SQLite on the value index first: one measure of
        // one device is a small part of the values, while a location's
        // reports may be all of them.
        "FROM judged_value v CROSS JOIN report r "
        "WHERE r.id = v.report_id AND v.measure = ? AND r.search_key LIKE ? ESCAPE '\\'");
    QVariantList values;
    values << trendQuery.measure;
    // A segment's name narrows the search; its exact key is compared below,
    // where case folding is the same whichever engine holds the archive.
    values << containsPattern(trendQuery.segment ? segmentName(*trendQuery.segment)
                                                 : trendQuery.text);
    if (trendQuery.device) {
        sql += QStringLiteral(" AND v.device = ?");
        values << *trendQuery.device;
    } else {
        sql += QStringLiteral(" AND v.device IS NULL");
    }
    sql += trendWithinClause(trendQuery.within, values);
    sql += QStringLiteral(" ORDER BY r.report_time, r.slot, r.id");
    Connection& c = *connection_;
    if (const auto& lost = c.lost()) return *lost;
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if (!query.prepare(sql)) return c.error(query.lastError());
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) return c.error(query.lastError());
    const std::optional<QString> segment =
        trendQuery.segment ? std::optional(segmentKey(*trendQuery.segment)) : std::nullopt;
    std::vector<TrendPoint> points;
    while (query.next()) {
        TrendPoint point{query.value(0).toLongLong(),   query.value(1).toString(),
                         query.value(2).toString(),     optionalInt64(query.value(3)),
                         optionalInt64(query.value(4)), query.value(5).toString()};
        if (segment && segmentKey(point.location) != *segment) continue;
        points.push_back(std::move(point));
    }
    if (query.lastError().isValid()) return c.error(query.lastError());
    return points;
}

Result<int> Archive::schemaVersion() {
    Connection& c = *connection_;
    if (const auto& lost = c.lost()) return *lost;
    QSqlError failure;
    const std::optional<int> version = [&] {
        QSqlDatabase db = c.db();
        return storedSchemaVersion(db, &failure);
    }();
    if (!version) return c.error(failure);
    return *version;
}

Result<bool> Archive::integrityOk() {
    if (const auto& lost = connection_->lost()) return *lost;
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
