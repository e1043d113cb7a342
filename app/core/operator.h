#pragma once
// The one narrow way operations reach the user: messages, prompts, dialogs,
// the status field and list, and pauses that keep the window alive. The GUI
// implements it with Qt dialogs; tests with a scripted operator.
#include <QString>
#include <QStringList>

#include <chrono>
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
    QString proposedPath;  // empty: nothing proposed
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

    // The status field txtinfo.
    virtual void setStatus(const QString& text) = 0;
    virtual QString status() const = 0;
    // The status list List1 (never cleared).
    virtual void appendToList(const QStringList& lines) = 0;

    // Processes pending window events, waiting up to maxWait for more. The
    // scripted operator advances its virtual clock by maxWait instead.
    virtual void processEvents(std::chrono::milliseconds maxWait = std::chrono::milliseconds{
                                   0}) = 0;
};

}  // namespace ksx4
