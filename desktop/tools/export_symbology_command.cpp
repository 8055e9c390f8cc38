#include "desktop/tools/export_symbology_command.h"

#include <algorithm>
#include <cctype>

#include "desktop/tools/entry_points.h"
#include "desktop/tools/export_symbology.h"

namespace zntools8 {
namespace {

bool ContainsNoCase(const std::string& text, const std::string& word) {
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), word.begin(), word.end(), same) != text.end();
}

}  // namespace

std::vector<std::shared_ptr<host::IHostLayer>> CollectShapefileLayers(host::IHostMap& map) {
    std::vector<std::shared_ptr<host::IHostLayer>> out;
    std::vector<std::shared_ptr<host::IHostLayer>> layers;
    try {
        layers = map.Layers(host::LayerRole::GeoFeature, true);
    } catch (const std::exception&) {
        return out;
    }
    for (const auto& layer : layers) {
        try {
            auto feature = std::dynamic_pointer_cast<host::IHostFeatureLayer>(layer);
            if (!feature) continue;
            auto dataset = feature->Dataset();
            if (dataset && ContainsNoCase(dataset->Category(), "shapefile")) out.push_back(layer);
        } catch (const std::exception&) {
        }
    }
    return out;
}

void RunExportSymbology(host::IHostApplication& app) {
    auto document = app.Document();
    auto map = document->FocusMap();
    auto layers = CollectShapefileLayers(*map);
    if (map->LayerCount() == 0) {
        app.Ui().MessageBox("Zarnip Map Wizard", "Please add layers into Pellum",
                            host::PromptIcon::Information, host::PromptButtons::Ok);
        return;
    }
    if (layers.empty()) {
        app.Ui().MessageBox("Export Symbology", "Only shapefiles can be exported",
                            host::PromptIcon::Information, host::PromptButtons::Ok);
        return;
    }
    ExportSymbologyDialog dialog(app.Ui());
    dialog.SetLayers(std::move(layers));
    dialog.SetMap(map);
    dialog.FormLoad();
    app.Ui().RunDialog(dialog);
}

void ExportSymbologyDialog::FormLoad() {
    m_progressVisible = false;
    m_entries.clear();
    for (const auto& layer : m_layers) m_entries.push_back({layer->Name(), layer->Visible()});
}

void ExportSymbologyDialog::SetChecked(size_t index, bool checked) {
    if (index < m_entries.size()) m_entries[index].checked = checked;
}

void ExportSymbologyDialog::Progress() {
    if (m_onProgress) m_onProgress();
}

void ExportSymbologyDialog::PressOk() {
    if (m_finished) return;
    std::vector<std::shared_ptr<host::IHostLayer>> selected;
    for (size_t i = 0; i < m_entries.size() && i < m_layers.size(); ++i)
        if (m_entries[i].checked) selected.push_back(m_layers[i]);
    ExportSymbology exporter(m_ui);
    m_progressMaximum = static_cast<int>(selected.size());
    m_progressValue = 0;
    m_progressVisible = true;
    Progress();
    for (size_t i = 0; i < selected.size(); ++i) {
        try {
            exporter.ExportLayer(*m_map, selected[i], "");
        } catch (const std::exception& e) {
            // The layers before keep their files; the rest are not exported.
            std::string name;
            try {
                name = selected[i]->Name();
            } catch (const std::exception&) {
            }
            m_ui.MessageBox("Export Symbology",
                            "The symbology for " + name + " could not be exported.\r\n" + e.what(),
                            host::PromptIcon::Stop, host::PromptButtons::Ok);
            break;
        }
        m_progressValue = static_cast<int>(i + 1);
        Progress();
    }
    m_progressVisible = false;
    Progress();
    m_finished = true;
}

void ExportSymbologyDialog::PressCancel() {
    m_finished = true;
}

std::string ExportSymbologyDialog::Describe() const {
    std::string out = std::string("lblExport: ") + kLabel + "\nlvwLayers:";
    for (const Entry& e : m_entries) out += std::string(" [") + (e.checked ? "x" : " ") + "] " + e.name + ";";
    out += "\nbuttons: &OK|&Cancel\n";
    return out;
}

bool ExportSymbologyDialog::Act(const std::string& action, const std::string& argument) {
    if (action == "press") {
        if (argument == "&OK" || argument == "OK") {
            PressOk();
            return true;
        }
        if (argument == "&Cancel" || argument == "Cancel") {
            PressCancel();
            return true;
        }
        return false;
    }
    if (action == "tick") {
        const std::string prefix = "lvwLayers=";
        if (argument.compare(0, prefix.size(), prefix) != 0) return false;
        const std::string name = argument.substr(prefix.size());
        for (Entry& e : m_entries) {
            if (e.name == name) {
                e.checked = !e.checked;
                return true;
            }
        }
        return false;
    }
    if (action == "key") {
        if (argument == "Escape") {
            PressCancel();
            return true;
        }
        if (argument == "Enter") {
            PressOk();
            return true;
        }
        return false;
    }
    if (action == "close" && argument.empty()) {
        PressCancel();
        return true;
    }
    return false;
}

}  // namespace zntools8
