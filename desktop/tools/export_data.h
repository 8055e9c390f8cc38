// Writes one layer of a desktop map into an output folder the way the
// handheld reads it: a feature layer as a shapefile in the map's coordinate
// system, a raster layer as a MrSID image with its world file and .prj. One
// object serves one wizard run and keeps the user's answer to the replace
// question (0 Yes, 1 Yes to All, 2 No, 3 Cancel) from layer to layer.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// Why a layer name cannot name files in the output folder ("" when it can):
// a path separator, "..", nothing left after trimming, or a character the
// device cannot hold in a file name.
std::string UnsafeFileNameReason(const std::string& name);

class ExportData {
public:
    explicit ExportData(host::IHostApplication& app);

    // The new layer over the written shapefile, named like the source, or
    // null when the layer was skipped or failed (the user has been told).
    // Extent type: 0 all features, 1 those meeting the visible extent, 2
    // the selection.
    std::shared_ptr<host::IHostFeatureLayer> ExportToShapefile(
        host::IHostMap& map, const std::shared_ptr<host::IHostFeatureLayer>& layer,
        const std::string& outputFolder, int extentType);
    // The layer itself when its image was copied or encoded as N.sid, else null.
    std::shared_ptr<host::IHostRasterLayer> ExportToJPEG(
        host::IHostMap& map, const std::shared_ptr<host::IHostRasterLayer>& layer,
        const std::string& outputFolder);

    int ReplaceAnswer() const { return m_answer; }
    // The field checker's renames of a layer exported under this name.
    std::map<std::string, std::string> FieldRenames(const std::string& layerName) const;

private:
    bool ConfirmReplace(const std::string& folder, const std::string& name,
                        const std::vector<const char*>& extensions, const char* fileType,
                        std::string* why);
    // Refuses a name that is unsafe or already exported in this run.
    bool NameAccepted(const std::string& name);
    void CopyFormScript(const std::string& sourceFolder, const std::string& folder,
                        const std::string& name);

    host::IHostApplication& m_app;
    host::IHostUi& m_ui;
    int m_answer = 0;
    std::set<std::string> m_names;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_renames;
};

// The host path of a file in a folder: folder + "/" + name.
std::string OutputPath(const std::string& folder, const std::string& name);
// Whether a host file exists, its name matched without regard to case.
bool OutputExists(const std::string& hostPath);

}  // namespace zntools8
