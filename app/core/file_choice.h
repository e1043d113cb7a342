#pragma once
// What a file dialog step of an operation gives back: a path, nothing usable,
// or the user's cancel. Both the report file choice and the firmware file
// choice answer with it.
#include <QString>

namespace ksx4 {

struct FileChoice {
    enum class Kind {
        Path,       // path holds the chosen file
        Unusable,   // no usable file (a message has been shown where one is due)
        Cancelled,  // the user cancelled the dialog
    };
    Kind kind;
    QString path;
};

}  // namespace ksx4
