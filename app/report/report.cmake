# Record decoding, the report template and the filling (ksx4_report).
add_library(ksx4_report STATIC
  ${CMAKE_CURRENT_LIST_DIR}/flash_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/template_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_template.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fill_report.cpp
)
target_include_directories(ksx4_report PUBLIC ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(ksx4_report
  PUBLIC Qt6::Core ksx4_settings ksx4_core ksx4_platform ksx4_xls
  PRIVATE ksx4_warnings)
