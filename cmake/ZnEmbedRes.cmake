# cmake -DIN=file.res -DOUT=file.cpp [-DFUNC=ns::Name] -P ZnEmbedRes.cmake
# Without FUNC the image registers itself as the program's resources; with it,
# FUNC() hands the image out (a library's own resources).
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
if(FUNC)
  string(REGEX REPLACE "::[^:]*$" "" ns "${FUNC}")
  string(REGEX REPLACE "^.*::" "" fn "${FUNC}")
  file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <cstdint>\n#include <span>\n\nnamespace {\nconst uint8_t kResources[] = {\n${bytes}0};\n}  // namespace\n\nnamespace ${ns} {\nstd::span<const uint8_t> ${fn}() { return {kResources, sizeof(kResources) - 1}; }\n}\n")
  return()
endif()
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include \"platform/res/resource.h\"\n\nnamespace {\nconst uint8_t kResources[] = {\n${bytes}0};\nstruct Registration {\n    Registration() { res::SetProgramResources(kResources, sizeof(kResources) - 1); }\n} registration;\n}  // namespace\n")
