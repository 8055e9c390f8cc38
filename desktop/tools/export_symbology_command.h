// "Export Symbology": writes the layer files beside the shapefiles of the
// host's current map without the wizard. The dialog offers the map's
// top-level shapefile layers (visible ones checked); OK exports each checked
// layer back beside its data.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// The map's top-level geo-feature layers whose dataset category names a
// shapefile (without regard to case). A layer that cannot be examined is
// skipped; a failing list gives none.
std::vector<std::shared_ptr<host::IHostLayer>> CollectShapefileLayers(host::IHostMap& map);

// frmExportSymbology: the check list of candidate layers, OK and Cancel, and
// a progress bar shown while exporting.
class ExportSymbologyDialog : public host::IHostDialog {
public:
    static constexpr const char kLabel[] =
        "Select the shapefiles for which you want to export the symbology. The symbology will "
        "be exported into Zarnip Layer files (.znl) associated with the selected shapefiles.";

    struct Entry {
        std::string name;
        bool checked = false;
    };

    explicit ExportSymbologyDialog(host::IHostUi& ui) : m_ui(ui) {}

    void SetLayers(std::vector<std::shared_ptr<host::IHostLayer>> layers) {
        m_layers = std::move(layers);
    }
    void SetMap(std::shared_ptr<host::IHostMap> map) { m_map = std::move(map); }
    // Fills the list: one entry per layer, checked when the layer is visible.
    void FormLoad();

    const std::vector<Entry>& Entries() const { return m_entries; }
    void SetChecked(size_t index, bool checked);
    bool ProgressVisible() const { return m_progressVisible; }
    int ProgressMaximum() const { return m_progressMaximum; }
    int ProgressValue() const { return m_progressValue; }
    // Called whenever the progress bar changes (the view repaints).
    void OnProgress(std::function<void()> callback) { m_onProgress = std::move(callback); }

    // Exports the checked layers, then ends the dialog. A layer whose export
    // fails gets a box; the layers after it are not exported.
    void PressOk();
    void PressCancel();

    std::string Caption() const override { return "Zarnip Export Symbology"; }
    std::string Describe() const override;
    void Activate() override {}
    // press OK / Cancel, tick "lvwLayers=<layer>" (toggles the check box),
    // key Escape or Enter, close.
    bool Act(const std::string& action, const std::string& argument) override;
    bool Finished() const override { return m_finished; }
    void ShowQt() override;

private:
    void Progress();

    host::IHostUi& m_ui;
    std::shared_ptr<host::IHostMap> m_map;
    std::vector<std::shared_ptr<host::IHostLayer>> m_layers;
    std::vector<Entry> m_entries;
    bool m_progressVisible = false;
    int m_progressMaximum = 0;
    int m_progressValue = 0;
    bool m_finished = false;
    std::function<void()> m_onProgress;
};

}  // namespace zntools8
