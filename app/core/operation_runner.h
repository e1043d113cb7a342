#pragma once
// Runs the operations the main window starts, one at a time. An operation
// that ends the program (EndProgram) unwinds to here; the runner then asks
// the window to close. While one runs, starting another is refused, so that
// an operation waiting in a pause can never be overlapped by a second one
// (an "Erase Reports" during a transfer would erase reports never written).
#include <QString>

#include <functional>

namespace ksx4 {

class OperationRunner {
  public:
    struct Hooks {
        // true while an operation runs: disable the controls that start one.
        std::function<void(bool running)> setRunning;
        // The operation ended the program: close the main window, quit.
        std::function<void()> endProgram;
        // An error nothing inside the operation caught: its description.
        std::function<void(const QString& description)> showError;
    };

    explicit OperationRunner(Hooks hooks) : hooks_(std::move(hooks)) {}

    // false when another operation is still running (nothing is started).
    bool run(const std::function<void()>& operation);
    bool isRunning() const { return running_; }
    bool programEnded() const { return ended_; }

  private:
    Hooks hooks_;
    bool running_ = false;
    bool ended_ = false;
};

}  // namespace ksx4
