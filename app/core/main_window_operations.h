#pragma once
// What the main window's buttons and menu entries run. main() fills in the
// operations that exist; an empty one does nothing when clicked.
#include <functional>

namespace ksx4 {

struct ProgramState;

using Operation = std::function<void(ProgramState&)>;

struct MainWindowOperations {
    Operation transferReports;   // cmddownloaddata
    Operation updateFirmware;    // cmdloadflash
    Operation eraseReports;      // mnuErase
    Operation reportNames;       // mnuReportNames
    Operation okBadLimits;       // mnuOKBADLimits
    Operation noiseCalibration;  // mnuManCal
    Operation noiseTest;         // mnuManTest
    Operation eepromAccess;      // mnuEngCal
};

}  // namespace ksx4
