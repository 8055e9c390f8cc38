// Special folders as device paths.
//
// The program folder is the executable's folder (it holds System, Locales,
// Extensions and Applets). The documents folder is $ZARNIP_DOCUMENTS, else
// the desktop's documents folder (XDG user dirs), else $HOME, as a device
// path; "\My Documents" when that folder lies outside the device root.
#pragma once

#include <string>

#include "platform/text/text.h"

namespace fs {

// The program's own file name (the executable) as a device path.
WString GetProgramFileName();
// The program folder, without a trailing separator.
WString GetProgramFolder();
WString GetDocumentsFolder();
// The desktop's settings folder on the host: $XDG_CONFIG_HOME when it is an
// absolute path, else $HOME/.config; empty without either.
std::string HostConfigFolder();

namespace test {
// Replaces the program's file name (tests run from the build tree, outside
// their device root); empty goes back to the executable.
void SetProgramFileName(WStringView devicePath);
}  // namespace test

}  // namespace fs
