#!/bin/sh
# Stands in for the sound player: appends each file it is asked to play, one
# line each, to the file named by $ZARNIP_SOUND_LOG.
for a in "$@"; do printf '%s\n' "$a"; done >> "$ZARNIP_SOUND_LOG"
