#include "archive_engines.h"

#include "archive/archive_schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <unistd.h>
#include <atomic>
#include <functional>

namespace ksx4::test {
namespace {

// Runs work on the location's database through a connection of its own;
// false (with the reason in error) when it cannot be opened or work fails.
bool withConnection(const ArchiveLocation& location, QString* error,
                    const std::function<bool(QSqlDatabase&)>& work) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("ksx4-test-direct-%1").arg(++counter);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            location.engine == Engine::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
            name);
        if (location.engine == Engine::Sqlite) {
            db.setDatabaseName(location.path);
        } else {
            db.setDatabaseName(location.databaseName);
            db.setHostName(location.host);
            db.setUserName(location.user);
        }
        if (db.open()) {
            ok = work(db);
            if (!ok && error && error->isEmpty()) *error = db.lastError().text();
        } else if (error) {
            *error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool execOn(const ArchiveLocation& location, const QString& sql, QString* error = nullptr,
            const QVariantList& values = {}) {
    return withConnection(location, error, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        // PostgreSQL prepares data statements only (no CREATE DATABASE).
        bool ok = values.isEmpty() || query.prepare(sql);
        for (const QVariant& value : values) query.addBindValue(value);
        if (ok) ok = values.isEmpty() ? query.exec(sql) : query.exec();
        if (!ok && error) *error = query.lastError().text();
        return ok;
    });
}

}  // namespace

const std::vector<UnusableSqliteFile> kUnusableSqliteFiles{
    {"not a database",
     [](const QString& path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         file.write(QByteArray(8192, 'x'));
     },
     "not a database"},
    {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); },
     "a folder stands where the file should be"},
};

QString postgresSocketFolder() {
    const QString folder =
        qEnvironmentVariable("KSX4_TEST_PG_SOCKET", QStringLiteral(KSX4_TEST_PG_DIR));
    if (folder.isEmpty() || !QFileInfo::exists(folder + QStringLiteral("/.s.PGSQL.5432")))
        return {};
    return folder;
}

std::optional<ArchiveLocation> freshArchive(Engine engine, const QTemporaryDir& folder,
                                            QString* skipReason) {
    static std::atomic<int> counter{0};
    ArchiveLocation location;
    location.engine = engine;
    if (engine == Engine::Sqlite) {
        location.path = folder.filePath(QStringLiteral("archive-%1.sqlite").arg(++counter));
        return location;
    }
    location.host = postgresSocketFolder();
    if (location.host.isEmpty()) {
        *skipReason = QStringLiteral(
            "no PostgreSQL test server (run through ctest, which starts one with "
            "scripts/pg-test-server.sh; needs Debian's postgresql)");
        return std::nullopt;
    }
    location.user = QStringLiteral("ksx4");
    location.databaseName = QStringLiteral("postgres");
    const QString name = QStringLiteral("t%1_%2").arg(::getpid()).arg(++counter);
    QString error;
    if (!execOn(location, QStringLiteral("CREATE DATABASE ") + name, &error)) {
        *skipReason = QStringLiteral("cannot create a test database: ") + error;
        ADD_FAILURE() << skipReason->toStdString();
        return std::nullopt;
    }
    location.databaseName = name;
    return location;
}

bool execDirectly(const ArchiveLocation& location, const QString& sql, const QVariantList& values) {
    QString error;
    const bool ok = execOn(location, sql, &error, values);
    if (!ok) ADD_FAILURE() << error.toStdString();
    return ok;
}

bool makeArchiveOfVersion(const ArchiveLocation& location, int version) {
    QString error;
    const bool ok = withConnection(location, &error, [&](QSqlDatabase& db) {
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN"))) return false;
        if (const auto reason = archive::migrateSchema(db, location.engine, version)) {
            error = *reason;
            return false;
        }
        return QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    });
    if (!ok) ADD_FAILURE() << error.toStdString();
    return ok;
}

}  // namespace ksx4::test
