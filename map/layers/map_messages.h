// The map message boxes live in map/map_messages.h, below every part of the
// map engine that shows them.
#pragma once

#include "map/map_messages.h"
