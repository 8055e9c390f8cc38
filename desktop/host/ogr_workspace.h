// OGR workspaces: sources the handheld's engines do not know (GeoPackage,
// GeoJSON, ...), read through OGR and never written. The workspace is the
// folder, a class is a file in it (its first layer). Fields come mapped as
// the field checker maps types; the coordinate system comes through OSR in
// the .prj dialect and is read by our reader where it can be.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace host {

std::shared_ptr<IHostWorkspace> OpenOgrWorkspace(const std::string& folder);
std::shared_ptr<IHostFeatureClass> OpenOgrClass(const std::string& folder, const std::string& name);
// Registers GDAL's drivers once.
void EnsureGdal();
// The text of an OSR system in the .prj dialect; empty when it has none.
std::string PrjTextOfOsr(void* osrHandle);

}  // namespace host
