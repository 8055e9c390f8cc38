// The add-in's pictures from its own resources.
#pragma once

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

constexpr int kBitmapMapWizard = 1000;
constexpr int kBitmapExportSymbology = 2000;
constexpr int kBitmapPackShapefile = 4012;
constexpr int kBitmapFileReplace = 4100;

// The bitmap resource as 32-bit pixels; an empty image when it is missing
// or damaged.
host::HostImage LoadBitmapImage(int id);

}  // namespace zntools8
