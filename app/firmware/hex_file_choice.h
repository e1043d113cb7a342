#pragma once
// chooseHexFile: the open dialog for a firmware file and the checks on the
// chosen path.
#include <QString>

namespace ksx4 {

struct ProgramState;

struct HexFileChoice {
    enum class Kind {
        Path,       // path holds the chosen file
        Unusable,   // no usable file (a message has been shown where one is due)
        Cancelled,  // the user cancelled the dialog
    };
    Kind kind;
    QString path;
};

HexFileChoice chooseHexFile(ProgramState& state);

// ".HEX" anywhere in the upper-cased path: a .bin file in a folder named
// x.hex passes.
bool hasHexExtension(const QString& path);

}  // namespace ksx4
