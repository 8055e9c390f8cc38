# Resource scripts (.rc) compiled to .res images by windres, with the host C
# preprocessor; and .res images embedded into a target as the program's own
# resources.

find_program(ZN_WINDRES NAMES x86_64-w64-mingw32-windres windres)
find_program(ZN_CPP NAMES cpp)

# zn_compile_rc(OUT_VAR rcfile output.res [INCLUDES dir...] [DEPENDS file...])
# Adds a command that builds output.res from rcfile; OUT_VAR gets its path.
# DEPENDS names the bitmaps, icons and headers the script pulls in.
function(zn_compile_rc out_var rc res)
  cmake_parse_arguments(R "" "" "INCLUDES;DEPENDS" ${ARGN})
  if(NOT ZN_WINDRES OR NOT ZN_CPP)
    message(FATAL_ERROR "windres (binutils-mingw-w64-x86-64) and cpp are needed; run tools/setup")
  endif()
  set(incs -I ${PROJECT_SOURCE_DIR}/resources -I ${PROJECT_SOURCE_DIR})
  foreach(d ${R_INCLUDES})
    list(APPEND incs -I ${d})
  endforeach()
  get_filename_component(rcdir ${rc} DIRECTORY)
  get_filename_component(resdir ${res} DIRECTORY)
  add_custom_command(OUTPUT ${res}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${resdir}
    COMMAND ${ZN_WINDRES} --preprocessor=${ZN_CPP} --preprocessor-arg=-E
            --preprocessor-arg=-xc-header --preprocessor-arg=-DRC_INVOKED
            ${incs} -I ${rcdir} -O res -i ${rc} -o ${res}
    DEPENDS ${rc} ${PROJECT_SOURCE_DIR}/resources/zres.h ${R_DEPENDS}
    WORKING_DIRECTORY ${rcdir}
    COMMENT "windres ${rc}"
    VERBATIM)
  set(${out_var} ${res} PARENT_SCOPE)
endfunction()

# zn_embed_res(OUT_VAR resfile cppfile): a source file that registers the
# .res image as the program's resources at start-up.
# A FUNC argument (ns::Name) makes it a function handing the image out instead.
function(zn_embed_res out_var res cpp)
  cmake_parse_arguments(E "" "FUNC" "" ${ARGN})
  set(func)
  if(E_FUNC)
    set(func -DFUNC=${E_FUNC})
  endif()
  add_custom_command(OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -DIN=${res} -DOUT=${cpp} ${func} -P ${PROJECT_SOURCE_DIR}/cmake/ZnEmbedRes.cmake
    DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/ZnEmbedRes.cmake
    COMMENT "embedding ${res}"
    VERBATIM)
  set(${out_var} ${cpp} PARENT_SCOPE)
endfunction()
