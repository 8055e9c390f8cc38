// Reading and writing .dmap documents (version 1), the desktop host's own
// XML format; desktop/host/dmap.rng pins it.
//
// Reading is strict: an unknown element or attribute, a missing required
// attribute, a number that does not parse or is not finite, a colour out of
// range, a version above 1 or layers nested too deep give an error naming
// the line and the element or attribute, and no document. Nothing is printed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "desktop/host/dmap_model.h"

namespace host {

struct DmapError {
    int line = 0;      // 0 when the error is not at a place in the text
    std::string name;  // the element or attribute concerned, when there is one
    std::string message;
    // "line 4: <layer> kind: unknown value "x"" and the like.
    std::string Text() const;
};

// Layers may be nested this deep in group layers.
constexpr int kMaxLayerNesting = 32;

std::optional<DDocument> ReadDmap(std::string_view bytes, DmapError* error);
// Reads a regular file only (a FIFO, a device or a folder is refused without
// being opened for reading).
std::optional<DDocument> ReadDmapFile(const std::string& hostPath, DmapError* error);

// The document as UTF-8 text: the same model always gives the same bytes.
std::string WriteDmap(const DDocument& document);
// Writes through a temporary file beside the target, renamed over it; false
// (with the reason in *error) leaves the old file as it was and nothing beside it.
bool SaveDmapFile(const DDocument& document, const std::string& hostPath, std::string* error);

// Number and colour texts as .dmap holds them.
std::string DmapNumber(double value);
std::optional<double> ParseDmapNumber(std::string_view text);
std::optional<HostRgb> ParseRgbText(std::string_view text);
std::optional<HostRgb> ParseHsvText(std::string_view text);

}  // namespace host
