#pragma once
// A segment is the location name stored with its reports, whichever tester
// measured it: "Tank 3", " TANK 3" and "tank 3 " are one segment. This key
// is what segments are compared, grouped and looked up by.
#include <QString>

namespace ksx4::archive {

// The location name without its surrounding blanks, case folded.
QString segmentKey(const QString& location);

// The location as a person reads it: without its surrounding blanks.
QString segmentName(const QString& location);

}  // namespace ksx4::archive
