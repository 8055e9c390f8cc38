# cmake -DIN=file.res -DOUT=file.cpp -P ZnEmbedRes.cmake
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include \"platform/res/resource.h\"\n\nnamespace {\nconst uint8_t kResources[] = {\n${bytes}0};\nstruct Registration {\n    Registration() { res::SetProgramResources(kResources, sizeof(kResources) - 1); }\n} registration;\n}  // namespace\n")
