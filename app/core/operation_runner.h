#pragma once
// Runs every operation of every window, one at a time program-wide. While one
// runs, the controls that would start another are disabled in every window,
// and a start that still arrives (a click queued during a pause) is refused:
// an "Erase Reports" during a transfer would erase reports never written.
// An operation that ends the program (EndProgram) unwinds to here; the runner
// then ends the program.
#include <QString>

class QObject;

#include <functional>
#include <vector>

namespace ksx4 {

class Operator;

class OperationRunner {
  public:
    // ui: shows an error nothing inside the operation caught, and receives the
    // end request of an exit during an operation. endProgram: closes every
    // window and leaves the event loop.
    OperationRunner(Operator& ui, std::function<void()> endProgram)
        : ui_(ui), endProgram_(std::move(endProgram)) {}

    // A window's controls that start operations: called with false when an
    // operation starts and with true when it has ended.
    void addControls(std::function<void(bool enabled)> setEnabled);

    // false when another operation is running or the program has ended
    // (nothing is started). origin: the window whose control started the
    // operation; its dialogs open over it.
    bool run(const std::function<void()>& operation, QObject* origin = nullptr);

    // The exit sequence: true when the program may end at once. While an
    // operation runs, it is asked to end at its next pause instead, and the
    // runner ends the program once it has unwound.
    bool requestExit();

    bool isRunning() const { return running_; }
    bool programEnded() const { return ended_; }

  private:
    void setControlsEnabled(bool enabled);

    Operator& ui_;
    std::function<void()> endProgram_;
    std::vector<std::function<void(bool)>> controls_;
    bool running_ = false;
    bool ended_ = false;
};

}  // namespace ksx4
