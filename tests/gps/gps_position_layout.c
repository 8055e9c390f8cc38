/* The record's layout seen by a C compiler: the offsets are asserted in the
 * header itself, so compiling this file is the test. */
#include "include/zarnip/znex.h"

int ZnGpsPositionSizeFromC(void) { return (int)sizeof(GpsPosition); }
