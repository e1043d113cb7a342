#pragma once
// The engineering handlers' last resort: an unexpected run-time error inside
// one is shown as "Command Error: " and its description (OK, no icon), and
// the handler ends. Ending the program (EndProgram) passes through.
#include "core/outcome.h"

#include <functional>

namespace ksx4 {

class Operator;

Outcome runShowingCommandError(Operator& ui, const std::function<Outcome()>& handler);

}  // namespace ksx4
