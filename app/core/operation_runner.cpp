#include "core/operation_runner.h"

#include "core/end_program.h"
#include "core/operator.h"

#include <exception>

namespace ksx4 {

void OperationRunner::addControls(std::function<void(bool enabled)> setEnabled) {
    if (running_ || ended_) setEnabled(false);
    controls_.push_back(std::move(setEnabled));
}

void OperationRunner::setControlsEnabled(bool enabled) {
    for (const auto& setEnabled : controls_) setEnabled(enabled);
}

bool OperationRunner::run(const std::function<void()>& operation, QObject* origin) {
    if (running_ || ended_) return false;
    running_ = true;
    setControlsEnabled(false);
    ui_.operationStarting(origin);
    bool end = false;
    try {
        operation();
    } catch (const EndProgram&) {
        end = true;
    } catch (const std::exception& error) {
        ui_.message(QString::fromLocal8Bit(error.what()));
    }
    ui_.operationEnded();
    running_ = false;
    if (end || ui_.endRequested()) {
        // The controls stay disabled: nothing starts any more.
        ended_ = true;
        if (endProgram_) endProgram_();
        return true;
    }
    setControlsEnabled(true);
    return true;
}

bool OperationRunner::requestExit() {
    if (!running_) {
        ended_ = true;
        return true;
    }
    ui_.requestEnd();
    return false;
}

}  // namespace ksx4
