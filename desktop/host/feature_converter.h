// The feature converter: copies a feature class into a new shapefile,
// projected into the target system, keeping the features that meet a
// rectangle or exactly those selected.
//
// Vertices are projected with the handheld's own systems (CCoordSys::
// ConvertTo) wherever our reader parses and computes both systems, so the
// handheld would place them the same way; only a system it cannot use is
// projected through OSR/PROJ. A datum shift our table cannot carry out
// fails the conversion rather than leaving a layer misplaced. The output is
// written under temporary names and moved into place in one step only when
// complete; on any failure nothing of it remains.
#pragma once

#include "desktop/host/host_interfaces.h"

namespace host {

class FeatureDataConverter : public IHostFeatureDataConverter {
public:
    std::vector<int> Convert(std::shared_ptr<IHostName> input, const IHostSpatialFilter* filter,
                             const std::vector<int>* selection, std::shared_ptr<IHostName> output,
                             const HostGeometryDef& geometryDef,
                             const std::vector<HostField>& fields, int flushInterval) override;
};

// Opens the feature class a name names (shapefile or OGR workspaces).
std::shared_ptr<IHostFeatureClass> OpenNamedFeatureClass(const IHostName& name);

}  // namespace host
