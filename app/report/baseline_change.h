#pragma once
// Choosing a segment's baseline by hand, and going back to its earliest
// report: the only archive writes outside a transfer. Each asks first and
// is refused, with the reason, where the archive cannot be written. The
// archive is opened and closed within ui.waitFor calls (the work may run
// on a worker thread).
#include "archive/archive_location.h"
#include "core/outcome.h"

#include <QString>

#include <cstdint>

namespace ksx4 {

class Operator;

// Makes the report its segment's baseline.
Outcome chooseBaseline(Operator& ui, const archive::ArchiveLocation& location, int64_t reportId);

// The segment's baseline is its earliest report again.
Outcome clearChosenBaseline(Operator& ui, const archive::ArchiveLocation& location,
                            const QString& segment);

}  // namespace ksx4
