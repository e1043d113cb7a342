#pragma once
// The one narrow way operations reach the user: messages, prompts, dialogs,
// the status field and list, and pauses that keep the window alive. The GUI
// implements it with Qt dialogs; tests with a scripted operator.
#include "core/end_program.h"

#include <QString>
#include <QStringList>

class QObject;

#include <chrono>
#include <functional>
#include <optional>

namespace ksx4 {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Critical, Information, Exclamation };
enum class Answer { Ok, Cancel, Yes, No, Retry };

// Every message without a title of its own bears the program's title.
inline const QString kProgramTitle = QStringLiteral("Tessel KSX-4 Assistant");
// Lines of a message text are joined with CR LF; the GUI shows line breaks.
inline const QString kCrLf = QStringLiteral("\r\n");

struct FileDialogRequest {
    QString title;
    QString startFolder;
    QString filter;  // "xls Files (*.xls)|*.xls"
    int filterIndex = 1;
    QString proposedPath;    // empty: nothing proposed
    bool mustExist = false;  // an open dialog accepts only an existing file
};

struct FileDialogResult {
    bool cancelled = false;
    QString path;   // the chosen path (may be empty)
    QString error;  // non-empty: the dialog itself failed, with this description
};

class Operator {
  public:
    virtual ~Operator() = default;

    // An empty title means the program's title.
    virtual Answer message(const QString& text, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None, const QString& title = {}) = 0;
    // nullopt: the user cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title = {},
                                         const QString& defaultText = {}) = 0;
    // Empty text: cancelled or failed.
    virtual QString browseForFolder(const QString& title) = 0;
    virtual FileDialogResult saveFileDialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult openFileDialog(const FileDialogRequest& request) = 0;

    // A question asked while no single tester answers ("Connect KSX-4 to the
    // PC USB port"): OK looks again, Cancel gives up. A console answering for
    // its user gives up after a while instead of asking for ever.
    virtual Answer askToConnectTester(const QString& text) {
        return message(text, Buttons::OkCancel, Icon::Critical);
    }

    // Sounds a beep (the noise calibration's call for a reading).
    virtual void beep() {}

    // The status field txtinfo.
    virtual void setStatus(const QString& text) = 0;
    virtual QString status() const = 0;
    // The status list List1 (never cleared).
    virtual void appendToList(const QStringList& lines) = 0;

    // Processes pending window events, waiting up to maxWait for more. The
    // scripted operator advances its virtual clock by maxWait instead.
    // Once the user has asked to end the program, it throws EndProgram
    // instead, so the running operation unwinds at its next pause.
    virtual void processEvents(std::chrono::milliseconds maxWait = std::chrono::milliseconds{
                                   0}) = 0;

    // Runs one link-library call that blocks for minutes (boot loading) while
    // the user still sees the program working: the GUI runs it on a worker
    // thread and keeps the window alive with the elapsed time. Nothing else
    // may reach the link library meanwhile, so an exit asked for during the
    // call waits for it and then ends the operation here (EndProgram).
    void waitFor(const std::function<void()>& call) {
        waiting_ = true;
        try {
            runWhileWaiting(call);
        } catch (...) {
            waiting_ = false;
            throw;
        }
        waiting_ = false;
        endIfRequested();
    }
    // True while waitFor's call runs.
    bool waiting() const { return waiting_; }

    // The runner around each operation: origin is the window whose control
    // started it, over which that operation's dialogs open (nullptr: the
    // program's main window).
    virtual void operationStarting(QObject* origin) { (void)origin; }
    virtual void operationEnded() {}

    // The exit sequence ran while an operation was running.
    void requestEnd() { endRequested_ = true; }
    bool endRequested() const { return endRequested_; }

  protected:
    // The last step of every processEvents.
    void endIfRequested() const {
        if (endRequested_) throw EndProgram{};
    }
    // How waitFor runs the call: here, on the calling thread.
    virtual void runWhileWaiting(const std::function<void()>& call) { call(); }

  private:
    bool endRequested_ = false;
    bool waiting_ = false;
};

}  // namespace ksx4
