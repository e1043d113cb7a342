#include "platform/qt/qt_operator.h"

#include "core/elapsed_text.h"
#include "core/status_list_model.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

namespace ksx4 {
namespace {

// An exit asked for during a wait takes effect when the tester's step ends.
const QString kExitWaitsNotice =
    QStringLiteral("Exit: the program ends when the KSX-4 has finished.");

QString shownText(const QString& text) {
    QString shown = text;
    return shown.replace(kCrLf, QStringLiteral("\n"));
}

QString shownTitle(const QString& title) {
    return title.isEmpty() ? kProgramTitle : title;
}

QMessageBox::StandardButtons standardButtons(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case Buttons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(Icon icon) {
    switch (icon) {
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

Answer answerFor(QMessageBox::StandardButton button, Buttons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Retry:
            return Answer::Retry;
        default:
            // Closed without a button: the set's way of declining.
            if (buttons == Buttons::Ok) return Answer::Ok;
            if (buttons == Buttons::YesNo) return Answer::No;
            return Answer::Cancel;
    }
}

}  // namespace

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of a filter.
        filters.append(description.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")"))
                           ? description
                           : description + QStringLiteral(" (") + patterns + QStringLiteral(")"));
    }
    if (filters.isEmpty()) filters.append(QStringLiteral("All Files (*)"));
    return filters;
}

QtOperator::QtOperator(QWidget* dialogParent, QLineEdit* statusField, StatusListModel* statusList)
    : dialogParent_(dialogParent), statusField_(statusField), statusList_(statusList) {}

void QtOperator::operationStarting(QObject* origin) {
    auto* widget = qobject_cast<QWidget*>(origin);
    operationWindow_ = widget ? widget->window() : nullptr;
}

void QtOperator::operationEnded() {
    operationWindow_ = nullptr;
}

QWidget* QtOperator::dialogParent() const {
    return operationWindow_ && operationWindow_->isVisible() ? operationWindow_.data()
                                                             : dialogParent_;
}

Answer QtOperator::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    QMessageBox box(messageIcon(icon), shownTitle(title), shownText(text), standardButtons(buttons),
                    dialogParent());
    // Texts carry paths and error descriptions; a "<b>" in a folder name must
    // show as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return answerFor(box.standardButton(box.clickedButton()), buttons);
}

std::optional<QString> QtOperator::input(const QString& prompt, const QString& title,
                                         const QString& defaultText) {
    bool accepted = false;
    const QString text = QInputDialog::getText(dialogParent(), shownTitle(title), shownText(prompt),
                                               QLineEdit::Normal, defaultText, &accepted);
    if (!accepted) return std::nullopt;
    return text;
}

void QtOperator::beep() {
    QApplication::beep();
}

QString QtOperator::browseForFolder(const QString& title) {
    // The browser starts at the desktop (the home folder when there is none).
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
    return QFileDialog::getExistingDirectory(dialogParent(), title, start);
}

FileDialogResult QtOperator::fileDialog(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(dialogParent(), request.title, request.startFolder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Saving under an existing name asks its own replace question; asking
    // here too would ask twice.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size()));
    dialog.selectNameFilter(filters[index - 1]);
    if (!request.proposedPath.isEmpty()) dialog.selectFile(request.proposedPath);
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        result.cancelled = true;
        return result;
    }
    result.path = dialog.selectedFiles().constFirst();
    return result;
}

FileDialogResult QtOperator::saveFileDialog(const FileDialogRequest& request) {
    return fileDialog(request, true);
}

FileDialogResult QtOperator::openFileDialog(const FileDialogRequest& request) {
    return fileDialog(request, false);
}

void QtOperator::setStatus(const QString& text) {
    statusField_->setText(text);
    // Shown at once, even when the operation blocks next (boot loading).
    statusField_->repaint();
}

QString QtOperator::status() const {
    return statusField_->text();
}

void QtOperator::appendToList(const QStringList& lines) {
    statusList_->appendLines(lines);
}

void QtOperator::runWhileWaiting(const std::function<void()>& call) {
    // The status text from its start, and beneath it the busy panel.
    statusField_->setCursorPosition(0);
    QWidget* area = statusField_->parentWidget();
    const QRect field = statusField_->geometry();
    QLabel elapsedProbe;
    const QFontMetrics metrics(elapsedProbe.font());
    const int rowHeight = metrics.height();
    const bool roomForText = busyArea_.isValid();
    const QRect panelArea =
        roomForText ? busyArea_ : QRect(field.left(), field.bottom() + 3, field.width(), rowHeight);

    QFrame panel(area);
    panel.setObjectName(QStringLiteral("busyPanel"));
    panel.setGeometry(panelArea);
    // Covers what lies beneath (the buttons the operation has disabled).
    panel.setAutoFillBackground(roomForText);
    auto* layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    // The whole status text, which the status field may cut, and later the
    // exit notice.
    auto* text = new QLabel(&panel);
    text->setObjectName(QStringLiteral("busyText"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setTextFormat(Qt::PlainText);
    text->setVisible(roomForText);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    auto* busy = new QProgressBar(&panel);
    busy->setObjectName(QStringLiteral("busyIndicator"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedHeight(rowHeight / 2);
    auto* elapsedTime = new QLabel(&panel);
    elapsedTime->setObjectName(QStringLiteral("elapsedTime"));
    elapsedTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    elapsedTime->setFixedSize(metrics.horizontalAdvance(QStringLiteral("00:00")) + 4, rowHeight);
    row->addWidget(busy, 1, Qt::AlignVCenter);
    row->addWidget(elapsedTime);
    layout->addLayout(row);
    layout->addStretch(1);
    panel.raise();
    panel.show();
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);

    QElapsedTimer elapsed;
    elapsed.start();
    const auto showElapsed = [&] {
        elapsedTime->setText(elapsedText(std::chrono::milliseconds(elapsed.elapsed())));
        QString shown = statusField_->text();
        if (endRequested()) shown += QLatin1Char('\n') + kExitWaitsNotice;
        text->setText(shown);
    };
    showElapsed();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, showElapsed);
    tick.start(100);

    QEventLoop loop;
    std::exception_ptr failure;
    // Joined, not a QThread: QThread::wait() returns before the thread's
    // exit clean-up has freed Qt's data for it, which a program ending
    // right after the call would leave behind.
    std::thread worker([&call, &failure, &loop] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued: a call that ends before exec() still ends it.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    tick.stop();
    QGuiApplication::restoreOverrideCursor();
    if (failure) std::rethrow_exception(failure);
}

void QtOperator::processEvents(std::chrono::milliseconds maxWait) {
    if (maxWait.count() <= 0) {
        QCoreApplication::processEvents();
    } else {
        // Waits for events instead of spinning, up to maxWait.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(maxWait);
        loop.exec();
    }
    endIfRequested();
}

}  // namespace ksx4
