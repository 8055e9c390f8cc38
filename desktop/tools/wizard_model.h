// The map export wizard: four panes (introduction; layers and extent; map
// file and output folder; summary) with Back, Next, Finish and Cancel. The
// model holds everything the user sees and does; the Qt view only binds to
// it, and the scripted host drives it through Act.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"
#include "platform/text/text.h"

namespace zntools8 {

class WizardModel : public host::IHostDialog {
public:
    enum Button { kBack = 0, kNext = 1, kFinish = 2, kCancel = 3 };
    static constexpr int kPanes = 4;

    struct Entry {
        std::string name;
        bool checked = false;
    };

    WizardModel(host::IHostApplication& app, std::shared_ptr<host::IHostMap> map,
                std::vector<std::shared_ptr<host::IHostLayer>> layers);

    // A click on a navigation button.
    void Navigate(int button);
    // The list's entries (filled on the way to pane 1).
    std::vector<Entry>& Entries() { return m_entries; }
    void SetChecked(size_t index, bool checked);
    void SetExtentType(int type) { m_extentType = type; }
    void SetExportMap(bool on);
    void SetMapNameText(const std::string& text) { m_mapNameText = text; }
    void SetFolderText(const std::string& text) { m_folderText = text; }
    // The folder button: the picker, creating a missing folder.
    void BrowseFolder();
    // The summary file's code page (the host's 8-bit code page).
    void SetCodePage(unsigned codePage) { m_codePage = codePage; }

    int Pane() const { return m_pane; }
    bool CameForward() const { return m_cameForward; }
    bool Enabled(int button) const { return m_enabled[button]; }
    std::string ButtonText(int button) const;
    // The control with the focus: "next", "folder", "mapname", "".
    const std::string& Focus() const { return m_focus; }
    int ExtentType() const { return m_extentType; }
    bool ExportMap() const { return m_exportMap; }
    const std::string& MapNameText() const { return m_mapNameText; }
    const std::string& FolderText() const { return m_folderText; }
    bool ProgressVisible() const { return m_progressVisible; }
    int ProgressValue() const { return m_progressValue; }
    int ProgressMaximum() const { return m_progressMax; }
    const std::string& ProgressCaption() const { return m_progressCaption; }
    const std::string& Summary() const { return m_summary; }
    // Called when the model changes while it works (the view repaints).
    void SetChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    std::string Caption() const override { return "Zarnip Map Wizard"; }
    std::string Describe() const override;
    void Activate() override {}
    bool Act(const std::string& action, const std::string& argument) override;
    bool Finished() const override { return m_finished; }
    void ShowQt() override;

    static const char* const kIntroduction;
    static const char* const kProjectionNote;
    static const char* const kExtentOptions[3];

private:
    void NextStep();
    void RunExport();
    void Step(const char* caption);
    void Changed() {
        if (m_changed) m_changed();
    }
    void Close() { m_finished = true; }

    host::IHostApplication& m_app;
    host::IHostUi& m_ui;
    std::shared_ptr<host::IHostMap> m_map;
    std::vector<std::shared_ptr<host::IHostLayer>> m_layers;
    std::vector<Entry> m_entries;
    int m_pane = 0;
    bool m_cameForward = true;
    bool m_enabled[4] = {false, true, false, true};
    bool m_finishReadsOk = false;
    std::string m_focus;
    int m_extentType = 0;
    bool m_exportMap = true;
    std::string m_mapNameText = "Zarnip";
    std::string m_folderText;
    bool m_progressVisible = false;
    int m_progressValue = 0;
    int m_progressMax = 0;
    std::string m_progressCaption = "Processing...";
    std::string m_summary;
    unsigned m_codePage = text::kCpUtf8;
    bool m_finished = false;
    std::function<void()> m_changed;
};

}  // namespace zntools8
