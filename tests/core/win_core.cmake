# The version test carries the program's own resources and reads a language
# library's .res file as a library's version.
if(TARGET core_file_version_info_test)
  target_link_libraries(core_file_version_info_test PRIVATE znresources)
  zn_compile_rc(zn_core_fvi_res ${PROJECT_SOURCE_DIR}/tests/data/win/DEU.rc
                ${CMAKE_CURRENT_BINARY_DIR}/fvi/DEU.res)
  add_custom_target(core_fvi_fixtures DEPENDS ${zn_core_fvi_res})
  add_dependencies(core_file_version_info_test core_fvi_fixtures)
  target_compile_definitions(core_file_version_info_test PRIVATE ZN_FVI_RES="${zn_core_fvi_res}")
endif()
