#include "formats/reader.h"
