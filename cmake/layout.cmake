# The build tree mirrors the installed layout, so that RUNPATHs such as
# $ORIGIN/../lib/ksx4 work for programs run straight from the build:
#   stage/bin                programs
#   stage/lib/ksx4           libksx4_com.so
#   stage/lib/ksx4/usb       libmpusbapi.so for real testers (libusb)
#   stage/lib/ksx4/sim       libmpusbapi.so, the simulated tester, and
#                            libgpib.so.0, the simulated signal generator
include(GNUInstallDirs)
set(KSX4_STAGE_DIR ${CMAKE_BINARY_DIR}/stage)
set(KSX4_STAGE_BIN ${KSX4_STAGE_DIR}/bin)
set(KSX4_STAGE_LIB ${KSX4_STAGE_DIR}/lib/ksx4)
set(KSX4_STAGE_SIM ${KSX4_STAGE_LIB}/sim)
set(KSX4_STAGE_USB ${KSX4_STAGE_LIB}/usb)
set(KSX4_INSTALL_LIB lib/ksx4)

# ksx4_place(target DIR): put a target's output file into a stage folder.
function(ksx4_place target dir)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${dir}
    LIBRARY_OUTPUT_DIRECTORY ${dir}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/archive)
endfunction()

# Environment for tests that run the real link library against the simulated
# tester: both are found through LD_LIBRARY_PATH. Each test sets KSX4_SIM_DIR
# to a folder of its own before its first call of the link library.
set(KSX4_SIM_TEST_ENV "LD_LIBRARY_PATH=${KSX4_STAGE_SIM}:${KSX4_STAGE_LIB}")
