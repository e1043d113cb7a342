#pragma once
// A scripted operator for tests: answers come from queues, everything shown
// is recorded, and pauses advance a virtual clock instead of sleeping.
#include "core/clock.h"
#include "core/operator.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ksx4::test {

class VirtualClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override { return now_; }
    // 14 March 2026 09:26:00 UTC plus now(): 10:26:00 at the start, so that
    // an operation's first minute of pauses stays within one minute.
    std::chrono::system_clock::time_point wallTime() const override {
        return std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(1773480360) + now_));
    }
    void advance(std::chrono::nanoseconds by) { now_ += by; }

  private:
    std::chrono::nanoseconds now_{std::chrono::hours(1)};
};

struct ShownMessage {
    QString text;
    Buttons buttons;
    Icon icon;
    QString title;  // as shown: the program's title when none was given
};

class ScriptedOperator final : public Operator {
  public:
    explicit ScriptedOperator(VirtualClock& clock) : clock_(clock) {}

    // More messages than any test expects: the operation is looping.
    static constexpr std::size_t kMaxMessages = 1000;

    // Answers, used in order. A message with no queued answer gets the first
    // button of its set (OK, Yes or Retry).
    std::deque<Answer> answers;
    std::deque<std::optional<QString>> inputs;  // nullopt: cancel
    std::deque<QString> folders;                // empty: cancel
    std::deque<FileDialogResult> saveDialogs;   // missing: cancelled
    std::deque<FileDialogResult> openDialogs;
    // Called before each message is answered (after it was recorded), for
    // example to plug a tester in while the message is open.
    std::function<void(const ShownMessage&)> onMessage;
    // Called at every processEvents, e.g. to click another button mid-way.
    std::function<void()> onEvents;
    // Called inside every waitFor before its call runs, e.g. to ask for an
    // exit while the call blocks.
    std::function<void()> duringWait;

    std::vector<ShownMessage> messages;
    std::vector<QString> statusHistory;  // every text set, in order
    std::vector<FileDialogRequest> saveRequests, openRequests;
    std::vector<QString> folderTitles;
    std::vector<QString> inputPrompts;
    QStringList list;  // List1
    int eventRounds = 0;
    int beeps = 0;
    std::vector<QString> inputTitles;  // as given: empty when none
    std::vector<QObject*> origins;     // the window each operation came from

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString browseForFolder(const QString& title) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    void beep() override { ++beeps; }
    void setStatus(const QString& text) override;
    QString status() const override { return status_; }
    void appendToList(const QStringList& lines) override { list.append(lines); }
    void processEvents(std::chrono::milliseconds maxWait) override;
    void operationStarting(QObject* origin) override { origins.push_back(origin); }

    // The texts of all messages, in order.
    QStringList messageTexts() const;

  protected:
    void runWhileWaiting(const std::function<void()>& call) override {
        if (duringWait) duringWait();
        call();
    }

  private:
    VirtualClock& clock_;
    QString status_;
};

}  // namespace ksx4::test
