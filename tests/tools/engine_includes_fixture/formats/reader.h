#pragma once
#include "platform/win/window.h"
