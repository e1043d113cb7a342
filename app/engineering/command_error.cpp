#include "engineering/command_error.h"

#include "core/operator.h"

#include <exception>

namespace ksx4 {

Outcome runShowingCommandError(Operator& ui, const std::function<Outcome()>& handler) {
    try {
        return handler();
    } catch (const std::exception& error) {
        ui.message(QStringLiteral("Command Error: ") + QString::fromLocal8Bit(error.what()));
        return Outcome::Failed;
    }
}

}  // namespace ksx4
