#pragma once
// The Operator on Qt's standard dialogs, the main window's status field and
// its status list. Pauses run a nested event loop, so the window stays
// responsive.
#include "core/operator.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

class QLineEdit;

namespace ksx4 {

class StatusListModel;

class QtOperator final : public Operator {
  public:
    QtOperator(QWidget* dialogParent, QLineEdit* statusField, StatusListModel* statusList);

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString browseForFolder(const QString& title) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    void beep() override;
    void setStatus(const QString& text) override;
    QString status() const override;
    void appendToList(const QStringList& lines) override;
    void processEvents(std::chrono::milliseconds maxWait) override;
    void operationStarting(QObject* origin) override;
    void operationEnded() override;

    // Where a long wait shows its busy panel, in the status field's window:
    // room for the whole status text, a busy bar with the elapsed time, and
    // the notice of an exit that waits. Unset: only the bar and the time, in
    // the row beneath the status field.
    void setBusyArea(const QRect& area) { busyArea_ = area; }

  protected:
    // The call runs on a worker thread while this thread's event loop keeps
    // the window painting and answering; beneath the status field the busy
    // panel.
    void runWhileWaiting(const std::function<void()>& call) override;

  private:
    FileDialogResult fileDialog(const FileDialogRequest& request, bool save);
    // The running operation's window while it is shown, else dialogParent_.
    QWidget* dialogParent() const;

    QWidget* dialogParent_;
    QPointer<QWidget> operationWindow_;
    QRect busyArea_;
    QLineEdit* statusField_;
    StatusListModel* statusList_;
};

// "xls Files (*.xls)|*.xls" (description|pattern pairs) as Qt name filters.
QStringList qtNameFilters(const QString& filter);

}  // namespace ksx4
