#pragma once
// frmmain: the program's only permanent window. The product title, the
// status field txtinfo, three large buttons and the menus; below the visible
// client area a debug area with the status list List1 and two check boxes.
#include "core/main_window_controls.h"
#include "core/main_window_operations.h"
#include "core/operation_runner.h"

#include <QMainWindow>

class QAction;
class QLineEdit;
class QListView;
class QPushButton;

namespace ksx4 {

class QtOperator;
class StatusListModel;

class MainWindow final : public QMainWindow, public MainWindowControls {
  public:
    explicit MainWindow(MainWindowOperations operations, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Connects the window to the program once the operator and state exist.
    void attach(ProgramState& state, QtOperator& ui);
    // Runs the start procedure; false when it ended the program.
    bool start();
    bool programEnded() const { return runner_.programEnded(); }

    QLineEdit* statusField() const { return txtinfo_; }
    StatusListModel* statusList() const { return listModel_; }

    void hideEngineeringEntries() override;
    void showMainWindow() override;

  protected:
    // Form_QueryUnload: closing always runs the exit sequence.
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    QAction* addOperationEntry(QMenu* menu, const char* name, const QString& caption,
                               const Operation& operation);
    void runOperation(const Operation& operation);
    void setOperationsEnabled(bool enabled);
    void showAbout();
    void showHelp();
    void exitSequence();

    MainWindowOperations operations_;
    OperationRunner runner_;
    ProgramState* state_ = nullptr;
    QtOperator* ui_ = nullptr;
    bool engineeringHidden_ = false;
    bool exiting_ = false;

    QLineEdit* txtinfo_ = nullptr;
    QPushButton* cmddownloaddata_ = nullptr;
    QPushButton* cmdloadflash_ = nullptr;
    QPushButton* cmdexit_ = nullptr;
    QListView* list1_ = nullptr;
    StatusListModel* listModel_ = nullptr;
    QAction* mnuManCal_ = nullptr;
    QAction* mnuManTest_ = nullptr;
    QAction* mnuEngCal_ = nullptr;
    QList<QAction*> operationEntries_;  // menu entries that start an operation
};

}  // namespace ksx4
