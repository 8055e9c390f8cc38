#include "desktop/tools/export_data.h"

#include "desktop/tools/common.h"
#include "desktop/tools/file_replace.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

constexpr const char kCrLf[] = "\r\n";

// Extensions of a shapefile's set and of an image's, deleted in this order.
const std::vector<const char*> kShapefileSet = {".shp", ".shx", ".dbf", ".sbn", ".sbx"};
const std::vector<const char*> kImageSet = {".sid", ".prj", ".sdw", ".aux"};

WString Device(const std::string& hostPath) {
    return fs::DevicePathFromHost(hostPath);
}

}  // namespace

std::string OutputPath(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

bool OutputExists(const std::string& hostPath) {
    const WString device = Device(hostPath);
    return !device.empty() && fs::Exists(device);
}

std::string UnsafeFileNameReason(const std::string& name) {
    std::string trimmed = name;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    size_t start = 0;
    while (start < trimmed.size() && trimmed[start] == ' ') ++start;
    if (start == trimmed.size()) return "The layer name is empty.";
    if (name == "." || name.find("..") != std::string::npos)
        return "The layer name would leave the output folder.";
    for (unsigned char c : name) {
        if (c == '/' || c == '\\') return "The layer name holds a path separator.";
        if (c < 32 || c == 127 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            return "The layer name holds a character a file name cannot hold.";
    }
    return {};
}

ExportData::ExportData(host::IHostApplication& app) : m_app(app), m_ui(app.Ui()) {}

std::map<std::string, std::string> ExportData::FieldRenames(const std::string& layerName) const {
    std::map<std::string, std::string> out;
    auto it = m_renames.find(layerName);
    if (it != m_renames.end())
        for (const auto& [from, to] : it->second) out[from] = to;
    return out;
}

bool ExportData::NameAccepted(const std::string& name) {
    std::string why = UnsafeFileNameReason(name);
    if (why.empty() && m_names.count(name)) why = "a layer of this name was already exported";
    if (why.empty()) return true;
    m_ui.MessageBox("Export Shapefile", "Could not export " + name + "." + kCrLf + why,
                    host::PromptIcon::Information, host::PromptButtons::Ok);
    return false;
}

bool ExportData::ConfirmReplace(const std::string& folder, const std::string& name,
                                const std::vector<const char*>& extensions, const char* fileType,
                                std::string* why) {
    if (!OutputExists(OutputPath(folder, name + extensions[0]))) return true;
    if (m_answer == FileReplaceDialog::kYes || m_answer == FileReplaceDialog::kNo) {
        m_answer = AskFileReplace(m_ui, name, fileType);
        m_ui.PumpMessages();
    }
    if (m_answer != FileReplaceDialog::kYes && m_answer != FileReplaceDialog::kYesToAll)
        return false;
    // Forced deletions: read-only files too; a failure is found just below.
    for (const char* ext : extensions) {
        const WString device = Device(OutputPath(folder, name + ext));
        if (device.empty() || !fs::Exists(device)) continue;
        fs::SetFileAttributes(device, fs::kAttrNormal);
        fs::DeleteFile(device);
    }
    // A file that survived would sit beside the new data (a stale index).
    for (const char* ext : extensions) {
        const std::string path = OutputPath(folder, name + ext);
        if (OutputExists(path)) {
            *why = "The file " + path + " could not be deleted.";
            return false;
        }
    }
    return true;
}

std::shared_ptr<host::IHostFeatureLayer> ExportData::ExportToShapefile(
    host::IHostMap& map, const std::shared_ptr<host::IHostFeatureLayer>& layer,
    const std::string& outputFolder, int extentType) {
    if (m_answer == FileReplaceDialog::kCancel) return nullptr;
    std::string name;
    auto exportError = [&](const std::string& description) {
        m_ui.MessageBox("Export Error", "Could not export " + name + "." + kCrLf + description,
                        host::PromptIcon::Stop, host::PromptButtons::Ok);
    };
    host::IHostObjects* factory = nullptr;
    std::shared_ptr<host::IHostName> input, output;
    std::shared_ptr<host::IHostWorkspace> sourceWorkspace;
    std::vector<host::HostField> fields;
    host::HostGeometryDef geometryDef;
    std::vector<std::pair<std::string, std::string>> renames;
    try {
        name = layer->Name();
        if (!NameAccepted(name)) return nullptr;
        factory = &m_app.Objects();
        // The input: a coverage through the coverage factory by
        // "coverage:alias", anything else by the dataset's own full name.
        auto dataset = layer->Dataset();
        sourceWorkspace = dataset->Workspace();
        if (sourceWorkspace->Kind() == host::WorkspaceKind::Coverage) {
            auto ws = factory->Name(host::IHostName::Kind::Workspace);
            ws->SetFactoryProgId(host::kTesselWorkspaceFactory);
            ws->SetPathName(sourceWorkspace->PathName());
            input = factory->Name(host::IHostName::Kind::FeatureClass);
            input->SetName(dataset->BrowseName() + ":" + dataset->Name());
            input->SetWorkspaceName(ws);
        } else {
            input = dataset->FullName();
        }
        // The output: <folder>/<layer name>.shp.
        auto ws = factory->Name(host::IHostName::Kind::Workspace);
        ws->SetPathName(outputFolder);
        ws->SetFactoryProgId(host::kShapefileWorkspaceFactory);
        output = factory->Name(host::IHostName::Kind::FeatureClass);
        output->SetName(name);
        output->SetWorkspaceName(ws);
        // The fields as a shapefile can hold them, the geometry in the map's system.
        auto checker = factory->FieldChecker();
        checker->SetInputWorkspace(sourceWorkspace);
        checker->Validate(layer->FeatureClass()->Fields(), &fields);
        renames = checker->Renames();
        bool found = false;
        for (auto& f : fields) {
            if (f.fieldType != host::kFieldGeometry) continue;
            if (!f.geometryDef) f.geometryDef = std::make_shared<host::HostGeometryDef>();
            f.geometryDef->reference = map.SpatialReference();
            geometryDef = *f.geometryDef;
            found = true;
            break;
        }
        if (!found) throw host::HostError("the layer has no geometry field");
    } catch (const std::exception& e) {
        // Nothing is asked or deleted for a layer that cannot be converted.
        exportError(e.what());
        return nullptr;
    }

    std::string why;
    if (!ConfirmReplace(outputFolder, name, kShapefileSet, "shapefile", &why)) {
        if (!why.empty())
            m_ui.MessageBox("Export Shapefile", "Could not export " + name + "." + kCrLf + why,
                            host::PromptIcon::Information, host::PromptButtons::Ok);
        return nullptr;
    }
    m_names.insert(name);

    std::shared_ptr<host::IHostSpatialFilter> filter;
    std::vector<int> selection;
    bool useSelection = false;
    try {
        if (extentType == 1) {
            filter = factory->SpatialFilter();
            filter->SetGeometry(m_app.Document()->ActiveView()->VisibleExtent());
            filter->SetIntersects(true);
            filter->SetOutputSpatialReference(map.SpatialReference());
        } else if (extentType == 2) {
            selection = layer->Selection();
            useSelection = true;
        }
    } catch (const std::exception& e) {
        exportError(e.what());
        return nullptr;
    }

    std::shared_ptr<host::IHostFeatureLayer> result;
    bool converted = false;
    try {
        auto converter = factory->FeatureDataConverter();
        const std::vector<int> missed =
            converter->Convert(input, filter.get(), useSelection ? &selection : nullptr, output,
                               geometryDef, fields, 1000);
        converted = true;
        if (!missed.empty())
            m_ui.MessageBox("Export Shapefile",
                            "Could not export " + std::to_string(missed.size()) + " features of " +
                                name + "." + kCrLf +
                                "They could not be projected into the map's coordinate system.",
                            host::PromptIcon::Information, host::PromptButtons::Ok);
    } catch (const std::exception& e) {
        m_ui.MessageBox("Export Shapefile", "Could not export " + name + "." + kCrLf + e.what(),
                        host::PromptIcon::Information, host::PromptButtons::Ok);
    }
    if (converted) {
        try {
            auto ws = factory->WorkspaceFactory(host::kShapefileWorkspaceFactory)
                          ->OpenFromFile(outputFolder);
            auto created = std::dynamic_pointer_cast<host::IHostFeatureLayer>(
                factory->FeatureLayer(ws->OpenFeatureClass(name)));
            if (!created) throw host::HostError("the new layer is not a feature layer");
            created->SetName(name);
            result = created;
            m_renames[name] = renames;
        } catch (const std::exception& e) {
            exportError(e.what());
        }
    }
    try {
        CopyFormScript(sourceWorkspace->PathName(), outputFolder, name);
    } catch (const std::exception& e) {
        exportError(e.what());
    }
    return result;
}

void ExportData::CopyFormScript(const std::string& sourceFolder, const std::string& folder,
                                const std::string& name) {
    const std::string from = OutputPath(sourceFolder, name + ".vbs");
    if (!OutputExists(from)) return;
    const std::string to = OutputPath(folder, name + ".vbs");
    if (!fs::CopyFile(Device(from), Device(to), false))
        throw host::HostError("The form script could not be copied to " + to + ": " +
                              text::ToUtf8(fs::ErrorText(fs::GetLastError())));
}

std::shared_ptr<host::IHostRasterLayer> ExportData::ExportToJPEG(
    host::IHostMap& map, const std::shared_ptr<host::IHostRasterLayer>& layer,
    const std::string& outputFolder) {
    std::string name;
    try {
        name = layer->Name();
        if (!NameAccepted(name)) return nullptr;
        std::string why;
        if (!ConfirmReplace(outputFolder, name, kImageSet, "MrSID file", &why)) {
            if (!why.empty())
                m_ui.MessageBox("Export image",
                                "Could not export " + name + " to a MrSID file." + kCrLf + why,
                                host::PromptIcon::Stop, host::PromptButtons::Ok);
            return nullptr;
        }
        m_names.insert(name);
        auto& factory = m_app.Objects();
        auto workspace =
            factory.WorkspaceFactory(host::kRasterWorkspaceFactory)->OpenFromFile(outputFolder);
        auto raster = layer->Raster();
        auto reference = map.SpatialReference();
        if (!reference) throw host::HostError("The map has no coordinate system.");
        const std::string prj = OutputPath(outputFolder, name + ".prj");
        // A MrSID image that is placed by its world file is copied as it is.
        double world[6];
        if (raster->Format() == "MrSID" && raster->GeoReference(world)) {
            raster->CopyTo(workspace, name + ".sid");
            reference->WritePrjFile(prj);
            return layer;
        }
        const double cells = static_cast<double>(raster->Width()) * raster->Height() *
                             raster->BandCount();
        if (cells > 5e7) {
            m_ui.MessageBox("Export image",
                            "Could not export " + name + " to a MrSID file." + kCrLf +
                                "The file is too large.",
                            host::PromptIcon::Stop, host::PromptButtons::Ok);
            return nullptr;
        }
        std::shared_ptr<host::IHostRasterLayer> result;
        bool encoded = false;
        try {
            auto encoder = factory.MrSidEncoder();
            encoder->SetInput({raster->FullName()});
            if (encoder->BandCount() == 3) {
                encoder->SetBandOrder({0, 1, 2});
                encoder->SetCompressionRatio(20.0f);
                encoder->Encode(workspace, name + ".sid");
                encoded = true;
            }
        } catch (const std::exception&) {
            encoded = false;
        }
        if (encoded) {
            // The source's system must be the map's: images are not projected.
            try {
                raster->SetSpatialReference(reference);
            } catch (const std::exception&) {
                m_ui.MessageBox("Export Image",
                                std::string("The image could not be projected.  The Zarnip map") +
                                    kCrLf + "may not line up the data properly.",
                                host::PromptIcon::Information, host::PromptButtons::Ok);
            }
            result = layer;
        }
        reference->WritePrjFile(prj);
        return result;
    } catch (const std::exception& e) {
        m_ui.MessageBox("Export image",
                        "Could not export " + name + " to a MrSID file." + kCrLf + e.what(),
                        host::PromptIcon::Stop, host::PromptButtons::Ok);
        return nullptr;
    }
}

}  // namespace zntools8
