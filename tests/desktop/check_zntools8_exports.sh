#!/usr/bin/env bash
# The add-in exports exactly ZnCreateObject, carries its SONAME and needs only
# the platform library, Qt (with the OpenGL libraries Qt's GUI may bring),
# libxml2 and the runtimes (never GDAL).
set -euo pipefail
lib=$1
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "ZnCreateObject" ]; then echo "exports differ: $actual"; exit 1; fi
readelf -d "$lib" | grep -q 'Library soname: \[libznTools8.so.8\]' || { echo "SONAME is not libznTools8.so.8"; exit 1; }
bad=$(readelf -d "$lib" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
      grep -Ev '^(libznplatform\.so|libQt6(Widgets|Gui|Core)\.so\.6|libGLX\.so\.0|libOpenGL\.so\.0|libxml2\.so\.2|libstdc\+\+\.so\.6|libm\.so\.6|libgcc_s\.so\.1|libc\.so\.6|ld-linux-x86-64\.so\.2|libasan\.so\.[0-9]+|libubsan\.so\.[0-9]+|libtsan\.so\.[0-9]+)$' || true)
if [ -n "$bad" ]; then echo "unexpected dependencies: $bad"; exit 1; fi
echo "exports and dependencies as expected"
