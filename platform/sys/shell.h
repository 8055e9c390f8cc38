// Opening files and addresses with the desktop, and playing sounds.
//
// Both start another program with an argument vector (posix_spawn), never
// through a command shell, so names and addresses taken from data cannot run
// commands.
#pragma once

#include <string>

namespace sys {

// Opens a host file or an address with the desktop's opener: $ZARNIP_OPENER
// when set, else xdg-open. The target is the single argument. Waits a few
// seconds for the opener's exit status; false when it cannot be started or
// reports failure. A target starting with '-' is refused: the opener would
// read it as an option.
bool ShellOpen(const std::string& target);

// Starts playing a wave file and returns at once: $ZARNIP_SOUND_PLAYER with
// the file as its argument when set, else the first of `aplay -q`, `paplay`
// and `pw-play` that is installed. A sound already
// playing goes on. false when the file is missing or not a RIFF WAVE file,
// or when no player can be started.
bool PlayWaveFile(const std::string& hostPath);

}  // namespace sys
