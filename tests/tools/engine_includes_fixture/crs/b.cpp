#include "crs/a.h"
