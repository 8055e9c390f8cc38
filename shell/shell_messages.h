// The private window messages of the program's shell: those of the main
// window (extension modules send them) and the single-instance sink's.
#pragma once

#include "platform/types.h"

// To the main window from extension modules.
constexpr UINT WM_EXT_SHOWMESSAGE = 0x8101;
constexpr UINT WM_EXT_GETSERVICE = 0x8102;
constexpr UINT WM_EXT_FIREEVENT = 0x8103;
// Posted to the instance sink when a peer's messages wait.
constexpr UINT WM_INSTANCE_FRAMES = 0x8401;
