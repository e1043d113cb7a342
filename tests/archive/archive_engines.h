#pragma once
// A fresh, empty archive on each engine for one test: an SQLite file in a
// temporary folder, or a new database on the PostgreSQL test server whose
// socket folder KSX4_TEST_PG_SOCKET names, by default the one the ctest
// fixture starts it in with scripts/pg-test-server.sh.
#include "archive/archive.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ksx4::test {

using archive::ArchiveLocation;
using Engine = ArchiveLocation::Engine;

// For INSTANTIATE_TEST_SUITE_P(Engines, Suite, kBothEngines, engineName).
inline const auto kBothEngines = ::testing::Values(Engine::Sqlite, Engine::Postgres);
inline std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
}

// The socket folder of the test server, or empty when none runs.
QString postgresSocketFolder();

// A new location on engine, or nullopt (with the reason in skipReason) when
// the engine cannot run here. folder holds an SQLite file.
std::optional<ArchiveLocation> freshArchive(Engine engine, const QTemporaryDir& folder,
                                            QString* skipReason);

// Runs one statement, with values bound to its ?s, on the location's
// database outside the archive's own code (to age or damage it as a test
// needs); false on failure.
bool execDirectly(const ArchiveLocation& location, const QString& sql,
                  const QVariantList& values = {});

// Makes the location an empty archive of an older schema version, as an
// earlier program left it.
bool makeArchiveOfVersion(const ArchiveLocation& location, int version);

// SQLite files that hold no archive, made at path, with the reason an
// open gives.
struct UnusableSqliteFile {
    const char* name;
    void (*make)(const QString& path);
    const char* reason;
};
extern const std::vector<UnusableSqliteFile> kUnusableSqliteFiles;

// A fresh archive of the test's engine in folder; a test whose engine
// cannot run here is skipped (SetUp checks IsSkipped()).
struct FreshArchive {
    void make(Engine engine) {
        QString reason;
        auto fresh = freshArchive(engine, folder, &reason);
        if (!fresh) GTEST_SKIP() << reason.toStdString();
        location = *fresh;
    }
    QTemporaryDir folder;
    ArchiveLocation location;
};

// A test run once per engine, on a fresh archive.
class ArchiveEngineTest : public ::testing::TestWithParam<Engine>, protected FreshArchive {
  protected:
    void SetUp() override { make(GetParam()); }
};

}  // namespace ksx4::test
