#pragma once
#include "crs/b.h"
