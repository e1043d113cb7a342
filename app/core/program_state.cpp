#include "core/program_state.h"

#include "platform/xls/spreadsheet.h"

namespace ksx4 {

// Out of line so that the spreadsheet component is complete where the
// workbook application is released.
ProgramState::ProgramState(Operator& ui, Clock& clock, LinkLibrary& link)
    : ui(ui), clock(clock), link(link) {}

ProgramState::~ProgramState() = default;

}  // namespace ksx4
