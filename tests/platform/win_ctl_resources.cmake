# Resource fixture of the common-control tests (toolbar, bitmap, menus, page
# templates), compiled by windres and embedded as the program's resources of
# each test binary that uses it.
zn_compile_rc(zn_ctl_test_res ${PROJECT_SOURCE_DIR}/tests/data/win/ctl_test.rc
              ${CMAKE_CURRENT_BINARY_DIR}/ctl_test.res)
zn_embed_res(zn_ctl_test_res_cpp ${zn_ctl_test_res} ${CMAKE_CURRENT_BINARY_DIR}/ctl_test_res.cpp)
foreach(t platform_win_commandbar_test platform_win_propsheet_test platform_win_listview_test
        platform_win_rtl_paint_test)
  if(TARGET ${t})
    target_sources(${t} PRIVATE ${zn_ctl_test_res_cpp})
  endif()
endforeach()
