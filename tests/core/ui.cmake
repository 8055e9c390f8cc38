# The dialog and control tests: the English library and fixtures compiled by
# windres at build time, and the program's own resources.
zn_compile_rc(zn_core_lang_program ${PROJECT_SOURCE_DIR}/tests/data/core/lang_program.rc
              ${CMAKE_CURRENT_BINARY_DIR}/lang/program.res)
zn_compile_rc(zn_core_lang_heb ${PROJECT_SOURCE_DIR}/tests/data/core/HEB.rc
              ${CMAKE_CURRENT_BINARY_DIR}/lang/HEB.res)
zn_compile_rc(zn_core_ui_res ${PROJECT_SOURCE_DIR}/tests/data/core/ui_test.rc
              ${CMAKE_CURRENT_BINARY_DIR}/lang/ui_test.res)
add_custom_target(core_lang_fixtures DEPENDS ${zn_core_lang_program} ${zn_core_lang_heb}
                  ${zn_core_ui_res} znlocales)
set(ZN_UI_FIXTURE_DEFS ZN_LANG_PROGRAM_RES="${zn_core_lang_program}"
    ZN_LANG_HEB_RES="${zn_core_lang_heb}" ZN_UI_TEST_RES="${zn_core_ui_res}"
    ZN_ENU_RES="${ZN_ENU_RES}" ZN_WINDRES="${ZN_WINDRES}" CACHE INTERNAL "")

# A test binary with the program's resources and the language fixtures.
function(zn_use_ui_fixtures target)
  if(TARGET ${target})
    target_link_libraries(${target} PRIVATE znresources)
    add_dependencies(${target} core_lang_fixtures)
    target_compile_definitions(${target} PRIVATE ${ZN_UI_FIXTURE_DEFS})
  endif()
endfunction()

foreach(t core_language_module_test core_window_helpers_test core_dialog_ext_test
          core_list_ctrl_ex_test core_folder_tree_test core_small_dialogs_test
          core_progress_wnd_test core_enu_resources_test core_dialogs_golden_test)
  zn_use_ui_fixtures(${t})
endforeach()
# The dialogs' golden pictures (libpng in tests only).
if(TARGET core_dialogs_golden_test)
  find_package(PNG REQUIRED)
  target_link_libraries(core_dialogs_golden_test PRIVATE PNG::PNG)
  target_compile_definitions(core_dialogs_golden_test PRIVATE ZN_BINARY_DIR="${CMAKE_BINARY_DIR}")
endif()
