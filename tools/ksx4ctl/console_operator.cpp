#include "console_operator.h"

#include "core/elapsed_text.h"
#include "platform/worker_call.h"

#include <QDir>
#include <QFileInfo>

#include <istream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace ksx4::ctl {
namespace {

struct Choice {
    Answer answer;
    const char* word;
};

std::vector<Choice> choicesOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return {{Answer::Ok, "ok"}};
        case Buttons::OkCancel:
            return {{Answer::Ok, "ok"}, {Answer::Cancel, "cancel"}};
        case Buttons::YesNo:
            return {{Answer::Yes, "yes"}, {Answer::No, "no"}};
        case Buttons::YesNoCancel:
            return {{Answer::Yes, "yes"}, {Answer::No, "no"}, {Answer::Cancel, "cancel"}};
        case Buttons::RetryCancel:
            return {{Answer::Retry, "retry"}, {Answer::Cancel, "cancel"}};
    }
    return {{Answer::Ok, "ok"}};
}

// End of input is Cancel; a question without Cancel gets its safe answer.
Answer answerAtEndOfInput(Buttons buttons) {
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

QString menuOf(const std::vector<Choice>& choices) {
    QStringList words;
    for (const Choice& c : choices) words.append(QString::fromLatin1(c.word));
    return QStringLiteral("[") + words.join(QLatin1Char('/')) + QStringLiteral("] ");
}

std::optional<Answer> parseAnswer(const QString& line, const std::vector<Choice>& choices) {
    const QString word = line.trimmed().toLower();
    if (word.isEmpty()) return std::nullopt;
    for (const Choice& c : choices) {
        const QString full = QString::fromLatin1(c.word);
        if (word == full || word == full.left(1)) return c.answer;
    }
    return std::nullopt;
}

// Message texts break lines with CR LF, and some with a lone CR (the GPIB
// failure text) that would send a terminal back over the line it ends.
QString consoleText(QString text) {
    return text.replace(kCrLf, QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

}  // namespace

ConsoleOperator::ConsoleOperator(ConsoleStreams streams, ConsoleOptions options, const Clock& clock,
                                 std::function<void(std::chrono::milliseconds)> wait)
    : io_(streams),
      options_(std::move(options)),
      clock_(clock),
      started_(clock.now()),
      wait_(std::move(wait)) {}

void ConsoleOperator::write(std::ostream& stream, const QString& text) {
    stream << text.toStdString();
    stream.flush();
}

std::optional<QString> ConsoleOperator::readLine() {
    std::string line;
    if (!std::getline(io_.in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return QString::fromStdString(line);
}

Answer ConsoleOperator::message(const QString& text, Buttons buttons, Icon icon,
                                const QString& title) {
    QString shown = consoleText(text);
    if (!title.isEmpty() && title != kProgramTitle) shown = title + QStringLiteral(": ") + shown;
    if (icon == Icon::Critical) shown = QStringLiteral("Error: ") + shown;
    const std::vector<Choice> choices = choicesOf(buttons);
    if (choices.size() == 1) {
        write(io_.err, shown + QLatin1Char('\n'));
        return choices.front().answer;
    }
    const QString question = shown + QLatin1Char('\n') + menuOf(choices);
    if (options_.yes) {
        write(io_.err,
              question + QString::fromLatin1(choices.front().word) + QStringLiteral(" (--yes)\n"));
        return choices.front().answer;
    }
    for (;;) {
        write(io_.err, question);
        const auto line = readLine();
        if (!line) {
            write(io_.err, QStringLiteral("\n"));
            return answerAtEndOfInput(buttons);
        }
        if (const auto answer = parseAnswer(*line, choices)) return *answer;
    }
}

Answer ConsoleOperator::askToConnectTester(const QString& text) {
    if (!options_.yes || clock_.now() - started_ < options_.testerWait) {
        return message(text, Buttons::OkCancel, Icon::Critical, {});
    }
    // --yes answers for nobody at the machine: a script never hangs for good.
    write(io_.err, QStringLiteral("Error: ") + consoleText(text) +
                       QStringLiteral("\n[ok/cancel] cancel (no tester within %1 s)\n")
                           .arg(options_.testerWait.count()));
    return Answer::Cancel;
}

std::optional<QString> ConsoleOperator::input(const QString& prompt, const QString&,
                                              const QString& defaultText) {
    QString shown = consoleText(prompt);
    if (!defaultText.isEmpty()) shown += QStringLiteral(" [") + defaultText + QLatin1Char(']');
    write(io_.err, shown + QStringLiteral(": "));
    auto line = readLine();
    if (line && line->isEmpty()) line = defaultText;
    return line;
}

QString ConsoleOperator::browseForFolder(const QString& title) {
    if (!options_.folder.isEmpty()) return options_.folder;
    write(io_.err, consoleText(title) + QStringLiteral("\nFolder: "));
    return readLine().value_or(QString()).trimmed();
}

FileDialogResult ConsoleOperator::pathPrompt(const FileDialogRequest& request) {
    QString prompt = request.title + QStringLiteral("\nPath");
    if (!request.proposedPath.isEmpty()) {
        prompt += QStringLiteral(" [") + request.proposedPath + QLatin1Char(']');
    }
    prompt += QStringLiteral(": ");
    if (options_.yes && !request.proposedPath.isEmpty()) {
        write(io_.err, prompt + request.proposedPath + QStringLiteral(" (--yes)\n"));
        return {false, request.proposedPath, {}};
    }
    write(io_.err, prompt);
    const auto line = readLine();
    if (!line) {
        write(io_.err, QStringLiteral("\n"));
        return {true, {}, {}};
    }
    return {false, line->isEmpty() ? request.proposedPath : *line, {}};
}

FileDialogResult ConsoleOperator::saveFileDialog(const FileDialogRequest& request) {
    return pathPrompt(request);
}

bool ConsoleOperator::acceptsExisting(const FileDialogRequest& request, const QString& path) {
    if (!request.mustExist || QFileInfo(path).isFile()) return true;
    write(io_.err, QDir::toNativeSeparators(path) +
                       QStringLiteral("\nFile not found.\nCheck the file name and try again.\n"));
    return false;
}

FileDialogResult ConsoleOperator::openFileDialog(const FileDialogRequest& request) {
    if (!options_.openFile.isEmpty()) {
        // No other file can be chosen: refused, the dialog ends as cancelled.
        if (!acceptsExisting(request, options_.openFile)) return {true, {}, {}};
        return {false, options_.openFile, {}};
    }
    for (;;) {
        const FileDialogResult result = pathPrompt(request);
        if (result.cancelled || acceptsExisting(request, result.path)) return result;
    }
}

void ConsoleOperator::beep() {
    write(io_.err, QStringLiteral("\a"));
}

void ConsoleOperator::setStatus(const QString& text) {
    status_ = text;
    write(io_.out, text + QLatin1Char('\n'));
}

void ConsoleOperator::runWhileWaiting(const std::function<void()>& call) {
    if (!options_.showElapsed) {
        call();
        return;
    }
    qsizetype shownLength = 0;
    runWithTicks(call, std::chrono::seconds(1), [&](std::chrono::milliseconds elapsed) {
        const QString line =
            QStringLiteral("  working, ") + elapsedText(elapsed) + QStringLiteral(" elapsed");
        shownLength = line.size();
        write(io_.out, QLatin1Char('\r') + line);
    });
    write(io_.out, QLatin1Char('\r') + QString(shownLength, QLatin1Char(' ')) + QLatin1Char('\r'));
}

void ConsoleOperator::processEvents(std::chrono::milliseconds maxWait) {
    if (maxWait.count() > 0 && wait_) wait_(maxWait);
    endIfRequested();
}

}  // namespace ksx4::ctl
