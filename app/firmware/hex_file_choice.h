#pragma once
// chooseHexFile: the open dialog for a firmware file and the checks on the
// chosen path.
#include "core/file_choice.h"

#include <QString>

namespace ksx4 {

struct ProgramState;

FileChoice chooseHexFile(ProgramState& state);

// ".HEX" anywhere in the upper-cased path: a .bin file in a folder named
// x.hex passes.
bool hasHexExtension(const QString& path);

}  // namespace ksx4
