#pragma once
// The main window as its handlers and the start procedure see it, kept apart
// from Qt so that they run in tests without widgets.
namespace ksx4 {

class MainWindowForm {
  public:
    virtual ~MainWindowForm() = default;
    // mnuManCal, mnuManTest, mnuEngCal: Visible false, Enabled false.
    virtual void hideEngineeringEntries() = 0;
    // Shows the main window (not modal), centred by its load handler.
    virtual void showMainWindow() = 0;
};

}  // namespace ksx4
