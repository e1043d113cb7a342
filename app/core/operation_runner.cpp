#include "core/operation_runner.h"

#include "core/end_program.h"

#include <exception>

namespace ksx4 {

bool OperationRunner::run(const std::function<void()>& operation) {
    if (running_ || ended_) return false;
    running_ = true;
    if (hooks_.setRunning) hooks_.setRunning(true);
    bool end = false;
    try {
        operation();
    } catch (const EndProgram&) {
        end = true;
    } catch (const std::exception& error) {
        if (hooks_.showError) hooks_.showError(QString::fromLocal8Bit(error.what()));
    }
    running_ = false;
    if (end) {
        ended_ = true;
        if (hooks_.endProgram) hooks_.endProgram();
        return true;
    }
    if (hooks_.setRunning) hooks_.setRunning(false);
    return true;
}

}  // namespace ksx4
