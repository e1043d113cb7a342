#include "core/fatal_ending.h"

#include "core/connection.h"
#include "core/end_program.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/link_library.h"

namespace ksx4 {

void endProgramWithMessage(ProgramState& state, const QString& text, std::optional<int32_t> code,
                           const QString& closingLine) {
    state.link.closeDevice();
    QString shown = text;
    const QString emptyLine = kCrLf + kCrLf;
    if (code) shown += emptyLine + returnCodeName(*code);
    if (!closingLine.isEmpty()) shown += emptyLine + closingLine;
    state.ui.message(shown, Buttons::Ok, Icon::Critical);
    throw EndProgram{};
}

}  // namespace ksx4
