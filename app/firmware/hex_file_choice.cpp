#include "firmware/hex_file_choice.h"

#include "core/operator.h"
#include "core/program_state.h"

#include <QCoreApplication>
#include <QDir>

namespace ksx4 {
namespace {

// The dialog opens in the program's own folder, where the firmware files
// are installed beside it.
QString programFolder() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

}  // namespace

bool hasHexExtension(const QString& path) {
    return path.toUpper().contains(QStringLiteral(".HEX"));
}

FileChoice chooseHexFile(ProgramState& state) {
    using Kind = FileChoice::Kind;
    FileDialogRequest request;
    request.title = QStringLiteral("Choose Hex File");
    request.startFolder = programFolder();
    request.filter = QStringLiteral("HEX Files (*.HEX)|*.HEX");
    request.filterIndex = 1;
    request.mustExist = true;

    const FileDialogResult result = state.ui.openFileDialog(request);
    if (!result.error.isEmpty()) {
        state.ui.message(QStringLiteral("Error: ") + result.error +
                         QStringLiteral(" Dialog Error"));
        return {Kind::Unusable, {}};
    }
    if (result.cancelled) return {Kind::Cancelled, {}};
    if (result.path.isEmpty()) return {Kind::Unusable, {}};
    if (!hasHexExtension(result.path)) {
        state.ui.message(QStringLiteral("File extension is NOT .HEX"));
        return {Kind::Unusable, {}};
    }
    state.ui.processEvents();
    return {Kind::Path, result.path};
}

}  // namespace ksx4
