#pragma once
// What the main window's buttons and menu entries run: each handler gets the
// program's state and the window, seen through its form. main() fills in the
// handlers of every subsystem; an empty one does nothing when clicked.
#include <functional>

namespace ksx4 {

struct ProgramState;
class MainWindowForm;

using MainWindowHandler = std::function<void(ProgramState&, MainWindowForm&)>;

struct MainWindowHandlers {
    MainWindowHandler transferReports;   // cmddownloaddata
    MainWindowHandler updateFirmware;    // cmdloadflash
    MainWindowHandler eraseReports;      // mnuErase
    MainWindowHandler reportNames;       // mnuReportNames
    MainWindowHandler okBadLimits;       // mnuOKBADLimits
    MainWindowHandler noiseCalibration;  // mnuManCal
    MainWindowHandler noiseTest;         // mnuManTest
    MainWindowHandler eepromAccess;      // mnuEngCal
    MainWindowHandler reportArchive;     // mnuReportArchive
};

}  // namespace ksx4
