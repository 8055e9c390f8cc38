// Distances, areas and speeds scaled to the unit system the user chose for
// display. Each converts the value in place and returns the unit label (a
// constant string). A unit code 0, or one without a factor, leaves the value
// as it is and gives the label of code 0 ("?").
#pragma once

#include <cstdint>

#include "platform/text/text.h"

// Display unit systems (the preference value); any other value is metric.
constexpr int kUnitSystemImperial = 1;
constexpr int kUnitSystemNautical = 2;

// value in linear unit `unit` -> miles or feet (imperial), nautical miles or
// feet (nautical), kilometres or metres (metric).
const WChar* ScaleDistanceForDisplay(int unitSystem, int32_t unit, double* value);
// value in square `unit` -> acres or square feet (imperial), hectares or
// square metres (metric), square metres (nautical).
const WChar* ScaleAreaForDisplay(int unitSystem, int32_t unit, double* value);
// value in speed unit `unit` (502001 km/h, 502002 mph, 502004 knots) -> mph,
// knots or km/h.
const WChar* ScaleSpeedForDisplay(int unitSystem, int32_t unit, double* value);
