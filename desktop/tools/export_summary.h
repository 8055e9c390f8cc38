// The report at the end of a wizard run: the output folder, the map, the
// total size of the files written, the layer counts, the fonts the
// symbology uses and one block per exported layer. Labels are 21
// characters wide and every line ends with CR LF.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// "(k kb)" with k = bytes / 1000 rounded down, and 1 when that is 0.
std::string KilobyteText(uint64_t bytes);

struct SummaryInput {
    std::string outputFolder;  // as typed
    std::string mapName;
    std::shared_ptr<host::IHostMap> map;
    std::vector<std::shared_ptr<host::IHostFeatureLayer>> featureLayers;
    std::vector<std::shared_ptr<host::IHostRasterLayer>> imageLayers;
    std::vector<std::string> labelFonts;
    std::vector<std::string> symbolFonts;
};

// The report. Host errors while it is built (a layer's feature count)
// reach the caller; a missing file only shows as "(missing)".
std::string BuildSummary(const SummaryInput& input);

// Writes <folder>/Summary.txt whole in the code page, with one trailing CR
// LF. False with the reason in *error.
bool WriteSummaryFile(const std::string& outputFolder, const std::string& report,
                      unsigned codePage, std::string* error);

}  // namespace zntools8
