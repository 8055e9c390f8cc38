// The user-abort poll of long loops: a tap, a press of any stylus or mouse
// button, the program's abort message or a released Escape key waiting in the
// queue asks the running loop to stop. The messages are only looked at, so a
// tap that stopped a drawing is handled afterwards as a normal tap.
#pragma once

#include "platform/types.h"

// The program's abort message, posted to the user-interface thread.
constexpr UINT WM_ZARNIP_ABORT = 0x9001;

// Sets the abort flag and posts the abort message to the current thread.
void RequestAbort();
// Clears the flag and removes one pending abort message.
void ResetAbort();
// True while the flag is set; sets it on a pending button message or abort
// message; a pending key release sets it to whether the key is Escape.
// The display's own input is turned into queued messages at most once per
// kAbortInputIntervalMs of the platform clock; between those, only the
// queue is looked at, so the poll stays cheap when a loop asks it often.
bool IsAbortRequested();

constexpr uint32_t kAbortInputIntervalMs = 25;
