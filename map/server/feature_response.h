// The answer to a feature request (the features of one sub-layer inside a
// rectangle), read from a parsed response: the FEATURES element's count and,
// per FEATURE child, its FIELDS as name and value pairs. The server's text
// is not trusted: a response without FEATURES or without a numeric
// FEATURECOUNT is refused, and a FIELD without a name or a value is left out.
#pragma once

#include <utility>
#include <vector>

#include "map/server/ombrix_connection.h"

struct ServerFeature {
    std::vector<std::pair<WString, WString>> fields;  // name, value in order
};

struct ServerFeatureSet {
    int count = 0;  // FEATURECOUNT's count, as the server gave it
    std::vector<ServerFeature> features;
};

// False (and `out` empty) when the response holds no usable answer.
bool ReadFeatureResponse(const CMapServerResponse& response, ServerFeatureSet& out);
