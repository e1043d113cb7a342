#pragma once
#include <QString>

namespace ksx4 {

// The program's version as the about box and the reports write it: major,
// ".", then minor and patch together (2.0.9 gives "2.09").
QString programVersionText();
// The same for any version numbers.
QString versionText(int major, int minor, int patch);

}  // namespace ksx4
