// The GPS position record: reset, the no-data test and the satellite slots.
#pragma once

#include <cstddef>

#include "include/zarnip/znex.h"
#include "map/services/gps.h"  // IsNoData: NaN or the most negative finite double

// Fills the record with zeros, then sets every double that a receiver may
// leave unreported to no data. Magnetic variation, GPS week and receiver
// temperature stay 0.0; satellites used is 0xFFFE; the fix is three-dimensional.
void ResetGpsPosition(GpsPosition* position);

// The double that stands for "no data" in fields read from a receiver.
constexpr double kGpsNoData = -1.7976931348623157e308;

// The slot of a satellite, or null when the PRN has none (outside 1 to 32;
// other systems' satellites are counted in view but never get a slot).
GpsSatellite* GpsSatelliteSlot(GpsPosition* position, int prn);

// Clears all satellite slots.
void ClearGpsSatellites(GpsPosition* position);

// Copies a text into a fixed field, cut to fit and zero-terminated.
void CopyGpsText(char* field, size_t width, const char* text);
void CopyGpsText(char16_t* field, size_t width, const char* text);
void CopyGpsText(char16_t* field, size_t width, const char16_t* text);
