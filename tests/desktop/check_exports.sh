#!/usr/bin/env bash
# The library exports exactly its fourteen functions, carries its SONAME and
# needs nothing but libxml2 and the C and C++ runtimes.
set -euo pipefail
lib=$1
expected="StrToUTF8 dbClose dbIsValidRecord dbOpen xmlGetAttribute xmlGetNode xmlGetNodeTag xmlGetNodeText xmlLoad xmlMerge xmlNodeAddReplace xmlRelease xmlSave xmlSetAttribute"
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "exports differ:"; echo " expected: $expected"; echo " actual:   $actual"; exit 1
fi
readelf -d "$lib" | grep -q 'Library soname: \[libznTools3.so.3\]' || { echo "SONAME is not libznTools3.so.3"; exit 1; }
bad=$(readelf -d "$lib" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
      grep -Ev '^(libxml2\.so\.2|libstdc\+\+\.so\.6|libm\.so\.6|libgcc_s\.so\.1|libc\.so\.6|ld-linux-x86-64\.so\.2|libasan\.so\.[0-9]+|libubsan\.so\.[0-9]+|libtsan\.so\.[0-9]+)$' || true)
if [ -n "$bad" ]; then echo "unexpected dependencies: $bad"; exit 1; fi
echo "exports and dependencies as expected"
