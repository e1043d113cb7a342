#pragma once
// The archive's tables, created and migrated in order inside one
// transaction; the version reached is kept in the database. Used by
// archive.cpp (and by tests that make an archive of an older version).
#include "archive/archive.h"
#include "archive/archive_location.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <optional>

namespace ksx4::archive {

// Reads the stored schema version (0 for an empty database) and applies the
// missing migrations, each engine in its own dialect; an archive already at
// target is not written at all (a team member may hold no right to create
// tables). The caller has begun the transaction that holds the archive's
// write lock. The reason when the schema cannot be brought to target,
// including a newer schema than ours and a server that refuses the user.
std::optional<QString> migrateSchema(QSqlDatabase& db, ArchiveLocation::Engine engine,
                                     int target = kSchemaVersion);

// The stored version, or 0 when the database holds no archive; nullopt on a
// failed query, its error in failure. On PostgreSQL the tables are those
// the search_path finds, as every other statement finds them.
std::optional<int> storedSchemaVersion(QSqlDatabase& db, QSqlError* failure = nullptr);

}  // namespace ksx4::archive
