# nm -D --defined-only on each test module: every entry point it defines is
# there under its plain name.
set(expect
  "testlayer.so:ZNExInitialize,ZNExTerminate,ZNExGetProperty,ZNExDialogAbout,ZNExDialogProperties,ZNExPreTranslateMessage,ZNExEscape,ZNExAUX,ZNExTool,LayerIsValidPath,LayerOpen,LayerClose,LayerGetProperty,LayerSetProperty,LayerLoadProperty,LayerSaveProperty,LayerDraw,LayerDrawSymbol,LayerDialogIdentify,LayerDialogSymbol,LayerQuery,TestModuleLog"
  "testimage.so:ZNExInitialize,ZNExTerminate,ZNExGetProperty,LayerIsValidPath,LayerOpen,LayerClose,LayerGetProperty"
  "testgps.so:ZNExInitialize,ZNExTerminate,GPSOpen,GPSClose,GPSRxHandler,GPSParse"
  "notext.so:ZNExInitialize,ZNExTerminate"
  "badlayer.so:ZNExInitialize,ZNExTerminate,LayerIsValidPath,LayerClose,LayerGetProperty,LayerDraw"
  "badtext.so:ZNExInitialize,ZNExGetProperty,LayerIsValidPath,LayerOpen,LayerClose,LayerGetProperty,LayerDraw,LayerSaveProperty")
foreach(entry ${expect})
  string(REPLACE ":" ";" parts "${entry}")
  string(REPLACE "," ";" parts "${parts}")
  list(GET parts 0 module)
  list(REMOVE_AT parts 0)
  execute_process(COMMAND ${NM} -D --defined-only ${FOLDER}/${module} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${module}")
  endif()
  foreach(name ${parts})
    if(NOT out MATCHES "[0-9a-f]+ T ${name}\n")
      message(FATAL_ERROR "${module}: ${name} is not exported under its plain name")
    endif()
  endforeach()
endforeach()
message(STATUS "every entry point exported unmangled")
