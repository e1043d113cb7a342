#include "core/program_state.h"

#include "platform/xls/spreadsheet.h"

namespace ksx4 {

ProgramState::ProgramState(Operator& ui, Clock& clock, LinkLibrary& link)
    : ui(ui), clock(clock), link(link) {}

ProgramState::~ProgramState() = default;

// Built only while the spreadsheet component has no library of its own yet:
// nothing can create an application then, so releasing one never happens.
xls::Application::~Application() = default;

}  // namespace ksx4
