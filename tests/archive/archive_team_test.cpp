// The archive on a PostgreSQL server as a team uses it: tables in a schema
// of their own, members who may only read and add rows, locks held by other
// connections, a connection lost in the middle of a report, and the
// connection parameters of the location.
#include "archive/archive.h"
#include "archive_engines.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace ksx4::test {
namespace {

using archive::Archive;
using archive::ArchivedReport;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

QString failureOf(const auto& result) {
    const auto* error = std::get_if<archive::ArchiveError>(&result);
    return error ? error->reason : QString();
}

template <class T>
T take(archive::Result<T> result) {
    if (auto* error = std::get_if<archive::ArchiveError>(&result)) {
        ADD_FAILURE() << error->reason.toStdString();
        return T{};
    }
    return std::move(std::get<T>(result));
}

ArchivedReport report(int slot) {
    ArchivedReport r;
    r.summary.testerSerial = 1001;
    r.summary.slot = slot;
    r.summary.location = QStringLiteral("Tank %1").arg(slot);
    r.summary.reportName = QStringLiteral("Name");
    r.summary.transferredMs = 1'780'000'000'000;
    r.summary.devices = 1;
    r.summary.verdict = QStringLiteral("OK");
    r.summary.workbookPath = QStringLiteral("/out/a.xls");
    r.summary.workbookSha256 = QString(64, u'a');
    r.slotBytes = QByteArray(archive::kSourceBytes, static_cast<char>(slot));
    r.eepromBytes = QByteArray(archive::kSourceBytes, '\x20');
    r.values = {{"voltage", std::nullopt, 8600, "8.6V", 9000, "9.0V Minimum", "BAD"},
                {"signal", 20, 300, "300mV", 150, "150mV Minimum", "OK"}};
    return r;
}

// The fresh database's location as another role logs in to it (the test
// server trusts every local role).
ArchiveLocation as(const ArchiveLocation& location, const QString& role) {
    ArchiveLocation other = location;
    other.user = role;
    return other;
}

// A second connection that holds what sql takes until it goes.
class OtherConnection {
  public:
    OtherConnection(const ArchiveLocation& location, const QStringList& statements) {
        static std::atomic<int> counter{0};
        name_ = QStringLiteral("ksx4-test-other-%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db.setDatabaseName(location.databaseName);
        db.setHostName(location.host);
        db.setUserName(location.user);
        EXPECT_TRUE(db.open());
        for (const QString& sql : statements) {
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
        }
    }
    ~OtherConnection() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    OtherConnection(const OtherConnection&) = delete;
    OtherConnection& operator=(const OtherConnection&) = delete;

  private:
    QString name_;
};

// Everything written to standard error (Qt's warnings, libpq's notices)
// while it lives.
class CapturedStandardError {
  public:
    CapturedStandardError() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        EXPECT_TRUE(file_.open());
        ::dup2(file_.handle(), 2);
    }
    ~CapturedStandardError() { restore(); }
    CapturedStandardError(const CapturedStandardError&) = delete;
    CapturedStandardError& operator=(const CapturedStandardError&) = delete;

    std::string text() {
        restore();
        QFile written(file_.fileName());
        EXPECT_TRUE(written.open(QIODevice::ReadOnly));
        return written.readAll().toStdString();
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

class ArchiveTeamTest : public ::testing::Test, protected FreshArchive {
  protected:
    void SetUp() override { make(Engine::Postgres); }
    // A role of this test's own (roles belong to the whole server).
    QString role(const char* name) {
        const QString role = location.databaseName + u'_' + QLatin1String(name);
        EXPECT_TRUE(execDirectly(location, QStringLiteral("CREATE ROLE %1 LOGIN").arg(role)));
        return role;
    }
};

// Where the user's tables are found through the search_path, the archive
// finds its own there too: a second report, a second transfer and a reading
// open all see the archive the first made.
TEST_F(ArchiveTeamTest, TablesInASchemaOfTheirOwnAreFoundAgain) {
    const QString owner = role("owner");
    struct Case {
        const char* name;
        QString schema;
        QString setup;
    };
    const std::vector<Case> cases{
        // The per-user schema PostgreSQL's manual recommends: the default
        // search_path ("$user", public) finds it first.
        {"the user's own schema", owner, QString()},
        {"a search_path set for the role", QStringLiteral("ksx4"),
         QStringLiteral("ALTER ROLE %1 IN DATABASE %2 SET search_path = ksx4")
             .arg(owner, location.databaseName)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(execDirectly(
            location, QStringLiteral("CREATE SCHEMA %1 AUTHORIZATION %2").arg(c.schema, owner)));
        if (!c.setup.isEmpty()) {
            ASSERT_TRUE(execDirectly(location, c.setup));
        }
        const ArchiveLocation member = as(location, owner);
        int slot = 0;
        for (int transfer = 0; transfer < 2; ++transfer) {
            const auto archive = take(Archive::open(member));
            ASSERT_TRUE(archive);
            for (int i = 0; i < 2; ++i) {
                EXPECT_EQ(take(archive->store(report(++slot))).outcome,
                          archive::StoreOutcome::Stored);
            }
        }
        const auto reading = take(Archive::open(member, Archive::Access::ReadOnly));
        ASSERT_TRUE(reading);
        EXPECT_EQ(take(reading->list({})).size(), 4u);
        EXPECT_EQ(take(reading->schemaVersion()), archive::kSchemaVersion);
        ASSERT_TRUE(
            execDirectly(location, QStringLiteral("SET client_min_messages = warning; DROP SCHEMA "
                                                  "%1 CASCADE; ALTER ROLE %2 IN DATABASE %3 RESET "
                                                  "search_path")
                                       .arg(c.schema, owner, location.databaseName)));
    }
}

// A team member may read and add rows but not create tables: the archive
// the owner made takes the member's reports; a schema only the owner can
// make is refused with who can.
TEST_F(ArchiveTeamTest, AMemberWithTableRightsOnlyTransfersAndIsToldWhoMakesTheSchema) {
    const QString owner = role("owner");
    const QString member = role("member");
    ASSERT_TRUE(
        execDirectly(location, QStringLiteral("CREATE SCHEMA team AUTHORIZATION %1; "
                                              "ALTER DATABASE %2 SET search_path = team; "
                                              "GRANT USAGE ON SCHEMA team TO %3; "
                                              "ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA team "
                                              "GRANT SELECT, INSERT ON TABLES TO %3; "
                                              "ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA team "
                                              "GRANT USAGE ON SEQUENCES TO %3")
                                   .arg(owner, location.databaseName, member)));
    const ArchiveLocation ownerLocation = as(location, owner);
    const ArchiveLocation memberLocation = as(location, member);

    // No tables yet: the member cannot make them.
    EXPECT_THAT(failureOf(Archive::open(memberLocation)).toStdString(),
                HasSubstr(QStringLiteral("the archive has no tables yet, and user %1 may not "
                                         "create tables in schema team")
                              .arg(member)
                              .toStdString()));

    // An older schema: only its owner migrates it.
    ASSERT_TRUE(makeArchiveOfVersion(ownerLocation, 1));
    EXPECT_THAT(failureOf(Archive::open(memberLocation)).toStdString(),
                HasSubstr(QStringLiteral("the archive's tables belong to %1; a newer schema must "
                                         "be made by %1 or an administrator")
                              .arg(owner)
                              .toStdString()));
    {
        const auto migrating = take(Archive::open(ownerLocation));
        ASSERT_TRUE(migrating);
        EXPECT_EQ(take(migrating->schemaVersion()), archive::kSchemaVersion);
    }

    const auto archive = take(Archive::open(memberLocation));
    ASSERT_TRUE(archive);
    const auto first = take(archive->store(report(1)));
    EXPECT_EQ(first.outcome, archive::StoreOutcome::Stored);
    EXPECT_EQ(take(archive->store(report(1))).id, first.id);
    EXPECT_EQ(take(archive->store(report(2))).outcome, archive::StoreOutcome::Stored);
    EXPECT_EQ(take(archive->list({})).size(), 2u);
}

// A lock another connection holds fails the archive's statement after the
// time-out, with the reason, instead of hanging the transfer; the archive
// is unchanged and the next try after the lock goes works.
TEST_F(ArchiveTeamTest, ALockHeldElsewhereFailsTheStatementInTime) {
    constexpr std::chrono::milliseconds kShort{400};
    take(take(Archive::open(location))->store(report(1)));
    struct Case {
        const char* name;
        const char* lock;
        std::function<QString()> operation;
    };
    const std::vector<Case> cases{
        {"a report's values", "LOCK TABLE judged_value IN EXCLUSIVE MODE",
         [&] {
             const auto archive = take(Archive::open(location, Archive::Access::ReadWrite, kShort));
             return archive ? failureOf(archive->store(report(2))) : QStringLiteral("no open");
         }},
        {"the listing", "LOCK TABLE report IN ACCESS EXCLUSIVE MODE",
         [&] {
             const auto archive = take(Archive::open(location, Archive::Access::ReadOnly, kShort));
             return archive ? failureOf(archive->list({})) : QStringLiteral("no open");
         }},
        {"the schema check of an open for writing",
         "SELECT pg_advisory_xact_lock(x'4b535834'::int)",
         [&] { return failureOf(Archive::open(location, Archive::Access::ReadWrite, kShort)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const OtherConnection holder(location, {QStringLiteral("BEGIN"), c.lock});
            EXPECT_THAT(c.operation().toStdString(),
                        HasSubstr("another connection held a lock on the archive for too long"));
        }
        EXPECT_EQ(c.operation(), QString());
    }
    EXPECT_EQ(take(take(Archive::open(location))->list({})).size(), 2u);
}

// The server ends the connection in the middle of a report (here the
// report's own statement ends it): the reason is that first failure, not a
// later "no connection", nothing but the program's message reaches
// standard error, and every later call gives the same reason.
TEST_F(ArchiveTeamTest, ALostConnectionKeepsItsFirstReasonAndWritesNothingToStandardError) {
    take(take(Archive::open(location))->store(report(1)));
    ASSERT_TRUE(execDirectly(
        location,
        "CREATE FUNCTION end_connection() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NULL; END $$"));
    ASSERT_TRUE(execDirectly(location,
                             "CREATE TRIGGER end_connection BEFORE INSERT ON "
                             "judged_value EXECUTE FUNCTION end_connection()"));
    QString stored, listed;
    std::string written;
    {
        CapturedStandardError standardError;
        {
            const auto archive = take(Archive::open(location));
            ASSERT_TRUE(archive);
            stored = failureOf(archive->store(report(2)));
            listed = failureOf(archive->list({}));
        }
        written = standardError.text();
    }
    EXPECT_THAT(stored.toStdString(),
                HasSubstr("terminating connection due to administrator command"));
    EXPECT_EQ(listed, stored);
    EXPECT_THAT(written, IsEmpty());
    EXPECT_EQ(take(take(Archive::open(location))->list({})).size(), 1u);
}

// libpq's parameters in the location reach libpq: a service file entry
// names the database, and the session carries the application name.
TEST_F(ArchiveTeamTest, TheLocationsConnectionParametersReachTheServer) {
    QTemporaryFile services;
    ASSERT_TRUE(services.open());
    services.write(QStringLiteral("[team]\nhost=%1\ndbname=%2\nuser=ksx4\n")
                       .arg(location.host, location.databaseName)
                       .toUtf8());
    services.flush();
    const auto parsed = archive::parseArchiveLocation(
        "postgresql:///?service=team&application_name=Tank%20PC%203&connect_timeout=3");
    ASSERT_TRUE(std::holds_alternative<ArchiveLocation>(parsed));
    ::setenv("PGSERVICEFILE", services.fileName().toLocal8Bit().constData(), 1);
    const auto archive = take(Archive::open(std::get<ArchiveLocation>(parsed)));
    ::unsetenv("PGSERVICEFILE");
    ASSERT_TRUE(archive);
    take(archive->store(report(1)));
    EXPECT_TRUE(
        execDirectly(location,
                     "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_stat_activity WHERE "
                     "application_name = 'Tank PC 3' AND datname = current_database()) THEN "
                     "RAISE EXCEPTION 'no session named Tank PC 3'; END IF; END $$"));
    EXPECT_EQ(take(archive->list({})).size(), 1u);
}

}  // namespace
}  // namespace ksx4::test
