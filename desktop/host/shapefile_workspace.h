// Shapefile workspaces: a folder whose feature classes are shapefiles,
// read and written by the handheld's own engines (.shp/.shx/.dbf, the
// .sbn/.sbx index, the .prj writer), so that the handheld reads exactly
// what is written here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"
#include "platform/text/text.h"

namespace host {

// The extensions a shapefile dataset may have, in the order they are copied.
extern const char* const kShapefileExtensions[7];

std::shared_ptr<IHostWorkspace> OpenShapefileWorkspace(const std::string& folder);
std::shared_ptr<IHostFeatureClass> OpenShapefileClass(const std::string& folder,
                                                      const std::string& name);
// Closes the files of a shapefile class this host made, checking that the
// last header reached them (HostError when not), and drops the reference.
// Cursors still holding the files keep them open.
void CloseShapefileClass(std::shared_ptr<IHostFeatureClass>& cls);
// The device path of folder/name.ext (host path in, ext with its dot);
// HostError when it lies outside the device.
WString ShapefileDevicePath(const std::string& folder, const std::string& name,
                            const char* ext);
// Whether any of the shapefile's own files (.shp .shx .dbf) exists.
bool ShapefileExists(const std::string& folder, const std::string& name);
// Copies the dataset's files that exist to temporary names beside the
// target and moves them into place together; HostError (nothing left) on
// failure, and when the target exists.
void CopyShapefileDataset(const std::string& fromFolder, const std::string& fromName,
                          const std::string& toFolder, const std::string& toName);

}  // namespace host
