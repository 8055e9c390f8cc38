# Shared build helpers.

# zn_add_subdirs(a b c): add each listed subfolder that has a CMakeLists.txt.
function(zn_add_subdirs)
  foreach(d ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()

# zn_add_test(NAME name LABEL label SOURCES ... [LIBS ...])
# One GoogleTest binary; each test case becomes a ctest test with the label.
function(zn_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    ZN_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    ZN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${T_NAME}
    NO_PRETTY_VALUES
    PROPERTIES LABELS "${T_LABEL}"
    DISCOVERY_TIMEOUT 60)
endfunction()
include(ZnResources)
