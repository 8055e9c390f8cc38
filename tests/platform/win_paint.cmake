# The painting tests compare with golden PNG pictures (libpng in tests only).
find_package(PNG REQUIRED)
foreach(t platform_win_paint_test platform_win_common_paint_test platform_win_menu_window_test platform_win_msgbox_window_test platform_win_rtl_paint_test platform_win_common_dialog_window_test platform_win_commandbar_test platform_win_common_input_test platform_win_list_input_test)
  if(TARGET ${t})
    target_link_libraries(${t} PRIVATE PNG::PNG)
    target_compile_definitions(${t} PRIVATE ZN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  endif()
endforeach()
