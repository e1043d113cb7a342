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
    // cmddownloaddata and cmdloadflash, which the noise calibration and the
    // noise test disable while they run and enable at their end. This only
    // adds to the runner's own disabling: while any operation runs the
    // buttons stay disabled, and once it has ended they are enabled only if
    // nothing disabled them here. A form without those buttons ignores it.
    virtual void setTransferAndFirmwareEnabled(bool enabled) { static_cast<void>(enabled); }
    // Set, "Also Save Reports as PDF": whether a transfer writes NAME.pdf
    // beside each workbook. A form without that entry says no.
    virtual bool alsoSaveReportsAsPdf() const { return false; }
};

}  // namespace ksx4
