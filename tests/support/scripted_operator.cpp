#include "scripted_operator.h"

#include <stdexcept>

namespace ksx4::test {
namespace {

Answer firstButton(Buttons buttons) {
    switch (buttons) {
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Answer::Yes;
        case Buttons::RetryCancel:
            return Answer::Retry;
        default:
            return Answer::Ok;
    }
}

template <typename T>
std::optional<T> takeFront(std::deque<T>& queue) {
    if (queue.empty()) return std::nullopt;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

Answer ScriptedOperator::message(const QString& text, Buttons buttons, Icon icon,
                                 const QString& title) {
    // An operation that keeps asking (say, for a tester that never comes)
    // would otherwise be answered forever: fail the test instead.
    if (messages.size() >= kMaxMessages)
        throw std::runtime_error("scripted operator: too many messages, last: " +
                                 text.toStdString());
    messages.push_back({text, buttons, icon, title.isEmpty() ? kProgramTitle : title});
    if (onMessage) onMessage(messages.back());
    return takeFront(answers).value_or(firstButton(buttons));
}

std::optional<QString> ScriptedOperator::input(const QString& prompt, const QString& title,
                                               const QString&) {
    inputPrompts.push_back(prompt);
    inputTitles.push_back(title);
    auto answer = takeFront(inputs);
    return answer ? *answer : std::nullopt;
}

QString ScriptedOperator::browseForFolder(const QString& title) {
    folderTitles.push_back(title);
    return takeFront(folders).value_or(QString());
}

FileDialogResult ScriptedOperator::saveFileDialog(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return takeFront(saveDialogs).value_or(FileDialogResult{true, {}, {}});
}

FileDialogResult ScriptedOperator::openFileDialog(const FileDialogRequest& request) {
    openRequests.push_back(request);
    return takeFront(openDialogs).value_or(FileDialogResult{true, {}, {}});
}

void ScriptedOperator::setStatus(const QString& text) {
    status_ = text;
    statusHistory.push_back(text);
}

void ScriptedOperator::processEvents(std::chrono::milliseconds maxWait) {
    ++eventRounds;
    // Waiting for events takes the whole allowance; never stand still, so a
    // loop that polls with no allowance still moves on.
    clock_.advance(maxWait.count() > 0 ? std::chrono::nanoseconds(maxWait)
                                       : std::chrono::nanoseconds(std::chrono::microseconds(100)));
    if (onEvents) onEvents();
    endIfRequested();
}

QStringList ScriptedOperator::messageTexts() const {
    QStringList texts;
    for (const auto& m : messages) texts.append(m.text);
    return texts;
}

}  // namespace ksx4::test
