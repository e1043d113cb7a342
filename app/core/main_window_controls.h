#pragma once
// What the start procedure needs of the main window, kept apart from Qt so
// that start-up runs in tests without widgets.
namespace ksx4 {

class MainWindowControls {
  public:
    virtual ~MainWindowControls() = default;
    // mnuManCal, mnuManTest, mnuEngCal: Visible false, Enabled false.
    virtual void hideEngineeringEntries() = 0;
    // Shows the main window (not modal), centred by its load handler.
    virtual void showMainWindow() = 0;
};

}  // namespace ksx4
