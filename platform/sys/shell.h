// Opening files and addresses with the desktop, and playing sounds.
//
// Both start another program with an argument vector (posix_spawn), never
// through a command shell, so names and addresses taken from data cannot run
// commands.
#pragma once

#include <string>
#include <vector>

namespace sys {

// Splits a parameter text into words by the handheld's command-line rules:
// blanks separate words, double quotes group them, a backslash before a
// quote makes it a literal quote. Nothing else is special ($, ;, ` stay
// text): the words are handed to the program, never to a shell.
std::vector<std::string> SplitCommandLine(const std::string& parameters);

// A program started by RunProgram.
struct RunResult {
    bool started = false;
    // The exit status when it was waited for and ended; -1 on time-out
    // (the program goes on running and is reaped in the background); 0
    // when it was not waited for.
    int exitCode = 0;
};

// Starts `program` (a host path, or a name searched on PATH) with the
// words of `parameters`. waitMs 0 returns at once, a positive value waits
// at most that long, a negative one waits for the end. A program not waited
// for to its end is reaped in the background.
RunResult RunProgram(const std::string& program, const std::string& parameters, int waitMs);

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
