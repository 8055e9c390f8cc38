#include "desktop/tools/wizard_model.h"

#include <sys/stat.h>

#include "desktop/tools/common.h"
#include "desktop/tools/export_data.h"
#include "desktop/tools/export_map.h"
#include "desktop/tools/export_summary.h"
#include "desktop/tools/export_symbology.h"

namespace zntools8 {
namespace {

constexpr const char kCrLf[] = "\r\n";

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Plain(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return out;
}

}  // namespace

const char* const WizardModel::kIntroduction =
    "This wizard creates an Zarnip Map (.znm) using the layers in the current map. You can select "
    "the layers to export, as well as the map extent of the output Zarnip Map. All feature layers "
    "are exported as shapefiles, and all image layers are exported as MrSID files. The symbology "
    "of feature layers is exported into Zarnip Layer files (.znl) associated with the output "
    "shapefiles.";
const char* const WizardModel::kProjectionNote =
    "Note: All image layers need to be in the same coordinate system as the data frame. Image "
    "layers are not projected on export.";
const char* const WizardModel::kExtentOptions[3] = {"Full layer extent", "Current map extent",
                                                    "Selected features"};

WizardModel::WizardModel(host::IHostApplication& app, std::shared_ptr<host::IHostMap> map,
                         std::vector<std::shared_ptr<host::IHostLayer>> layers)
    : m_app(app), m_ui(app.Ui()), m_map(std::move(map)), m_layers(std::move(layers)) {}

std::string WizardModel::ButtonText(int button) const {
    static const char* kTexts[] = {"< Back", "Next >", "&Finish", "Cancel"};
    if (button == kFinish && m_finishReadsOk) return "&OK";
    return kTexts[button];
}

void WizardModel::SetChecked(size_t index, bool checked) {
    if (index >= m_entries.size()) return;
    m_entries[index].checked = checked;
    m_focus = "next";
}

void WizardModel::SetExportMap(bool on) {
    m_exportMap = on;
    if (on) m_focus = "mapname";
}

void WizardModel::Navigate(int button) {
    if (button < 0 || button > 3 || !m_enabled[button]) return;
    if (button == kCancel) {
        Close();
        return;
    }
    m_pane += (button == kNext || button == kFinish) ? 1 : -1;
    if (button == kBack) {
        m_cameForward = false;
    } else if (button == kNext) {
        m_cameForward = true;
        NextStep();
        if (m_finished) return;
    } else {
        if (m_pane == kPanes) {
            Close();
            return;
        }
        RunExport();
        if (m_finished) return;
    }
    auto set = [&](bool back, bool next, bool finish) {
        m_enabled[kBack] = back;
        m_enabled[kNext] = next;
        m_enabled[kFinish] = finish;
    };
    if (m_pane == kPanes - 1) {
        set(false, false, true);
        if (m_cameForward) m_finishReadsOk = true;
    } else if (m_pane == kPanes - 2) {
        set(true, false, true);
        if (!m_cameForward) m_finishReadsOk = false;
        m_focus = "folder";
    } else if (m_pane == 1) {
        set(false, true, false);
        m_focus = "next";
    } else if (m_pane == 0) {
        set(false, true, false);
    } else {
        set(true, true, false);
    }
    Changed();
}

void WizardModel::NextStep() {
    if (m_pane != 1) return;
    m_entries.clear();
    for (const auto& layer : m_layers) m_entries.push_back({layer->Name(), layer->Visible()});
    auto reference = m_map->SpatialReference();
    if (!reference || reference->Name() == "Unknown") {
        m_ui.MessageBox("Error",
                        std::string("A projection has not been set in Pellum.") + kCrLf +
                            "Please set a projection before running the wizard." + kCrLf +
                            "(Right-click on data frame, and select the" + kCrLf +
                            "Coordinate System tab)",
                        host::PromptIcon::Stop, host::PromptButtons::Ok);
        Close();
    }
}

void WizardModel::BrowseFolder() {
    try {
        std::string path = zntools8::BrowseForFolder(m_ui, "");
        if (!path.empty() && !IsFolder(path) && !FilterPrintable(path).empty()) {
            if (::mkdir(path.c_str(), 0777) != 0) path.clear();
        }
        m_folderText = path;
    } catch (const std::exception&) {
        m_folderText.clear();
    }
    Changed();
}

void WizardModel::Step(const char* caption) {
    if (caption) m_progressCaption = caption;
    ++m_progressValue;
    Changed();
}

void WizardModel::RunExport() {
    m_ui.SetWaitCursor(true);
    if (m_folderText.empty()) {
        --m_pane;
        m_ui.MessageBox("Output Folder", "Please specify an output folder",
                        host::PromptIcon::Information, host::PromptButtons::Ok);
        m_focus = "folder";
        m_ui.SetWaitCursor(false);
        return;
    }
    if (m_exportMap && m_mapNameText.empty()) {
        --m_pane;
        m_ui.MessageBox("Export Map", "Please specify the name of the Zarnip Map file",
                        host::PromptIcon::Information, host::PromptButtons::Ok);
        m_focus = "mapname";
        m_ui.SetWaitCursor(false);
        return;
    }
    try {
        const std::string folder = m_folderText;
        const std::string mapName = CleanName(m_mapNameText, true);
        m_progressVisible = true;
        m_progressCaption = "Processing...";
        Changed();

        std::vector<std::shared_ptr<host::IHostLayer>> checked;
        for (size_t i = 0; i < m_entries.size() && i < m_layers.size(); ++i) {
            if (!m_entries[i].checked) continue;
            const auto& layer = m_layers[i];
            if (m_extentType == 2) {
                auto feature = std::dynamic_pointer_cast<host::IHostFeatureLayer>(layer);
                if (!feature || feature->SelectionCount() < 1) continue;
            }
            checked.push_back(layer);
        }
        m_progressValue = 0;
        m_progressMax = static_cast<int>(checked.size()) + 4;

        // The layers, through one exporter that keeps the replace answers.
        m_progressCaption = "Exporting shapefiles and images";
        Changed();
        ExportData data(m_app);
        std::vector<std::shared_ptr<host::IHostFeatureLayer>> features;
        std::vector<std::shared_ptr<host::IHostRasterLayer>> images;
        // The map file lists these: a layer whose export wrote nothing
        // (refused, skipped, failed) would name a file that is not there.
        std::vector<std::shared_ptr<host::IHostLayer>> exported;
        for (const auto& layer : checked) {
            try {
                if (auto f = std::dynamic_pointer_cast<host::IHostFeatureLayer>(layer)) {
                    if (auto out = data.ExportToShapefile(*m_map, f, folder, m_extentType)) {
                        features.push_back(out);
                        exported.push_back(layer);
                    }
                } else if (auto r = std::dynamic_pointer_cast<host::IHostRasterLayer>(layer)) {
                    if (auto out = data.ExportToJPEG(*m_map, r, folder)) {
                        images.push_back(out);
                        exported.push_back(layer);
                    }
                }
            } catch (const std::exception& e) {
                // One failing layer ends the layer exports; the run goes on.
                m_ui.MessageBox("Zarnip Map Wizard", e.what(), host::PromptIcon::Stop,
                                host::PromptButtons::Ok);
                break;
            }
            Step(nullptr);
        }

        // The symbology of the feature layers exported, matched by name.
        Step("Exporting symbology");
        ExportSymbology symbology(m_ui);
        for (const auto& layer : checked) {
            auto f = std::dynamic_pointer_cast<host::IHostFeatureLayer>(layer);
            if (!f) continue;
            const std::string name = layer->Name();
            bool exported = false;
            for (const auto& e : features) exported = exported || e->Name() == name;
            if (!exported) continue;
            try {
                symbology.SetFieldRenames(data.FieldRenames(name));
                symbology.ExportLayer(*m_map, layer, folder);
            } catch (const std::exception&) {
                m_ui.MessageBox("Export Symbology",
                                "The symbology for " + name + " could not be exported.",
                                host::PromptIcon::Stop, host::PromptButtons::Ok);
            }
        }
        const std::vector<std::string> symbolFonts = symbology.GetSymbolFonts();
        const std::vector<std::string> labelFonts = symbology.GetLabelFonts();

        Step("Exporting map");
        if (m_exportMap && !exported.empty())
            zntools8::ExportMap(m_app, *m_map, exported, OutputPath(folder, mapName));

        Step("Creating summary");
        SummaryInput in;
        in.outputFolder = folder;
        in.mapName = mapName;
        in.map = m_map;
        in.featureLayers = features;
        in.imageLayers = images;
        in.labelFonts = labelFonts;
        in.symbolFonts = symbolFonts;
        m_summary = BuildSummary(in);
        std::string error;
        if (!WriteSummaryFile(folder, m_summary, m_codePage, &error))
            m_ui.MessageBox("Error",
                            std::string("Could not write the summary to a file: ") + kCrLf + error,
                            host::PromptIcon::Stop, host::PromptButtons::Ok);
        Step(nullptr);
    } catch (const std::exception& e) {
        m_ui.MessageBox("Error",
                        std::string("An error occurred in the wizard: ") + kCrLf + e.what(),
                        host::PromptIcon::Stop, host::PromptButtons::Ok);
        m_ui.SetWaitCursor(false);
        Close();
        return;
    }
    m_ui.SetWaitCursor(false);
}

std::string WizardModel::Describe() const {
    return std::string("intro: ") + kIntroduction + "\nnote: " + kProjectionNote +
           "\nbuttons: < Back|Next >|&Finish|Cancel\n";
}

bool WizardModel::Act(const std::string& action, const std::string& argument) {
    if (action == "press") {
        for (int b = 0; b < 4; ++b) {
            if (argument == ButtonText(b) || argument == Plain(ButtonText(b))) {
                if (!m_enabled[b]) return false;
                Navigate(b);
                return true;
            }
        }
        if (argument == "Export map file" && m_pane == 2) {
            SetExportMap(!m_exportMap);
            return true;
        }
        if (argument == "folder" && m_pane == 2) {
            BrowseFolder();
            return true;
        }
        return false;
    }
    if (action == "tick") {
        const std::string prefix = "lvwLayers=";
        if (m_pane != 1 || argument.compare(0, prefix.size(), prefix) != 0) return false;
        const std::string name = argument.substr(prefix.size());
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].name == name) {
                SetChecked(i, !m_entries[i].checked);
                return true;
            }
        }
        return false;
    }
    if (action == "choose") {
        if (m_pane != 1) return false;
        for (int i = 0; i < 3; ++i) {
            if (argument == kExtentOptions[i]) {
                SetExtentType(i);
                return true;
            }
        }
        return false;
    }
    if (action == "type") {
        const size_t eq = argument.find('=');
        if (m_pane != 2 || eq == std::string::npos) return false;
        const std::string box = argument.substr(0, eq), value = argument.substr(eq + 1);
        if (box == "txtFolderName") {
            SetFolderText(value);
            return true;
        }
        if (box == "txtMapName" && m_exportMap) {
            SetMapNameText(value);
            return true;
        }
        return false;
    }
    if ((action == "key" && argument == "Escape") || (action == "close" && argument.empty())) {
        Navigate(kCancel);
        return true;
    }
    return false;
}

}  // namespace zntools8
