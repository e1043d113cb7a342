#pragma once
// The Operator on Qt's standard dialogs, the main window's status field and
// its status list. Pauses run a nested event loop, so the window stays
// responsive.
#include "core/operator.h"

class QLineEdit;
class QWidget;

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

  protected:
    // The call runs on a worker thread while this thread's event loop keeps
    // the window painting and answering; beneath the status text a busy bar
    // and the elapsed time.
    void runWhileWaiting(const std::function<void()>& call) override;

  private:
    FileDialogResult fileDialog(const FileDialogRequest& request, bool save);

    QWidget* dialogParent_;
    QLineEdit* statusField_;
    StatusListModel* statusList_;
};

// "xls Files (*.xls)|*.xls" (description|pattern pairs) as Qt name filters.
QStringList qtNameFilters(const QString& filter);

}  // namespace ksx4
