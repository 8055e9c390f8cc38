# Resource fixtures of the window-system tests: compiled by windres at build
# time; win_test.res is embedded into the resource test, DEU.res is a language
# library file beside the test binaries.
zn_compile_rc(zn_win_test_res ${PROJECT_SOURCE_DIR}/tests/data/win/win_test.rc
              ${CMAKE_CURRENT_BINARY_DIR}/win_test.res
              DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/win/win_test.bmp
                      ${PROJECT_SOURCE_DIR}/tests/data/win/win_test.ico)
zn_compile_rc(zn_win_deu_res ${PROJECT_SOURCE_DIR}/tests/data/win/DEU.rc
              ${CMAKE_CURRENT_BINARY_DIR}/Locales/DEU.res)
zn_embed_res(zn_win_test_res_cpp ${zn_win_test_res} ${CMAKE_CURRENT_BINARY_DIR}/win_test_res.cpp)
add_custom_target(platform_win_fixtures DEPENDS ${zn_win_test_res} ${zn_win_deu_res})
foreach(t platform_res_test platform_win_dialog_test platform_win_services_test platform_win_framework_test)
  if(TARGET ${t})
    target_sources(${t} PRIVATE ${zn_win_test_res_cpp})
    add_dependencies(${t} platform_win_fixtures)
    target_compile_definitions(${t} PRIVATE
      ZN_WIN_TEST_RES="${zn_win_test_res}"
      ZN_WIN_LOCALES="${CMAKE_CURRENT_BINARY_DIR}/Locales"
      ZN_WINDRES="${ZN_WINDRES}")
  endif()
endforeach()
