#pragma once
// The part of the segments migration that SQL cannot do.
#include "archive/archive_location.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace ksx4::archive {

// Gives every report its segment key, worked out from its stored location
// as a new report's is. The reason when it fails.
std::optional<QString> fillSegmentKeys(QSqlDatabase& db, ArchiveLocation::Engine engine);

}  // namespace ksx4::archive
