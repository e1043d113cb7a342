# The transfer driver: "Transfer Reports  from KSX-4" end to end.
add_library(ksx4_transfer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer_firmware.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_file_name.cpp
)
target_include_directories(ksx4_transfer PUBLIC ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(ksx4_transfer
  PUBLIC ksx4_report ksx4_xls ksx4_settings ksx4_core ksx4_platform Qt6::Core
  PRIVATE ksx4_warnings)
