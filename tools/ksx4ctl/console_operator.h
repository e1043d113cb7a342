#pragma once
// The operator on a console: messages go to standard error, status texts to
// standard output one per line, and questions are answered from standard
// input, where end of input counts as Cancel.
#include "core/clock.h"
#include "core/operator.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>

namespace ksx4::ctl {

struct ConsoleStreams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

struct ConsoleOptions {
    bool yes = false;  // answer OK/Yes to every question, accept proposed file names
    QString folder;    // the folder dialog's answer; empty: ask for one
    QString openFile;  // the open dialog's answer; empty: ask for one
    // Standard output is a terminal: a long wait shows its elapsed time.
    bool showElapsed = false;
    // With yes: the tester-search questions are answered OK until this long
    // after the operator was made, then Cancel.
    std::chrono::seconds testerWait{30};
    // After the operation: the USB access library bound and why the last
    // open failed, on standard error.
    bool verbose = false;
};

class ConsoleOperator final : public Operator {
  public:
    // wait: how a pause waits for "window events" (sleeping on a console);
    // clock: what the tester wait is measured on.
    ConsoleOperator(ConsoleStreams streams, ConsoleOptions options, const Clock& clock,
                    std::function<void(std::chrono::milliseconds)> wait);

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString browseForFolder(const QString& title) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    Answer askToConnectTester(const QString& text) override;
    void beep() override;  // the terminal's bell
    void setStatus(const QString& text) override;
    QString status() const override { return status_; }
    void appendToList(const QStringList&) override {}  // the device-count log stays silent
    void processEvents(std::chrono::milliseconds maxWait) override;

  protected:
    // With showElapsed, the elapsed time on one line rewritten every second
    // and wiped when the call has returned.
    void runWhileWaiting(const std::function<void()>& call) override;

  private:
    std::optional<QString> readLine();
    FileDialogResult pathPrompt(const FileDialogRequest& request);
    // The dialog's refusal of a missing file; true when path exists.
    bool acceptsExisting(const FileDialogRequest& request, const QString& path);
    void write(std::ostream& stream, const QString& text);

    ConsoleStreams io_;
    ConsoleOptions options_;
    const Clock& clock_;
    std::chrono::nanoseconds started_;
    std::function<void(std::chrono::milliseconds)> wait_;
    QString status_;
};

}  // namespace ksx4::ctl
