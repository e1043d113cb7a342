#pragma once
// frmmain: the program's only permanent window. The product title, the
// status field txtinfo, three large buttons and the menus; below the visible
// client area a debug area with the status list List1 and two check boxes.
#include "core/main_window_form.h"
#include "core/main_window_handlers.h"

#include <QMainWindow>

class QAction;
class QLineEdit;
class QListView;
class QPushButton;

namespace ksx4 {

class OperationRunner;
struct ProgramState;
class StatusListModel;

class MainWindow final : public QMainWindow, public MainWindowForm {
  public:
    explicit MainWindow(MainWindowHandlers handlers, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Connects the window to the program once the operator (which writes
    // into this window's status field), the state and the runner exist.
    void attach(ProgramState& state, OperationRunner& runner);
    // Runs the start procedure; false when it ended the program.
    bool start();

    QLineEdit* statusField() const { return txtinfo_; }
    StatusListModel* statusList() const { return listModel_; }

    void hideEngineeringEntries() override;
    void showMainWindow() override;
    void setTransferAndFirmwareEnabled(bool enabled) override;
    bool alsoSaveReportsAsPdf() const override;

  protected:
    // Form_QueryUnload: closing always runs the exit sequence.
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    QAction* addOperationEntry(QMenu* menu, const char* name, const QString& caption,
                               const MainWindowHandler& handler);
    void runHandler(const MainWindowHandler& handler);
    void setOperationsEnabled(bool enabled);
    void applyTransferAndFirmwareEnabled();
    void showAbout();
    void showHelp();
    // false: the window stays until a running link-library call returns.
    bool exitSequence();
    void closeLinkQuietly();

    MainWindowHandlers handlers_;
    ProgramState* state_ = nullptr;
    OperationRunner* runner_ = nullptr;
    bool engineeringHidden_ = false;
    bool exiting_ = false;
    bool closeAfterWait_ = false;  // the exit's close waits for the call
    // The two big operation buttons are enabled only when both agree: the
    // runner (no operation running) and the noise procedures.
    bool runnerAllowsOperations_ = true;
    bool proceduresAllowTransferAndFirmware_ = true;

    QLineEdit* txtinfo_ = nullptr;
    QPushButton* cmddownloaddata_ = nullptr;
    QPushButton* cmdloadflash_ = nullptr;
    QPushButton* cmdexit_ = nullptr;
    QListView* list1_ = nullptr;
    StatusListModel* listModel_ = nullptr;
    QAction* mnuManCal_ = nullptr;
    QAction* mnuManTest_ = nullptr;
    QAction* mnuEngCal_ = nullptr;
    QAction* mnuAlsoPdf_ = nullptr;     // checkable, remembered in the settings
    QList<QAction*> operationEntries_;  // menu entries that start an operation
};

}  // namespace ksx4
