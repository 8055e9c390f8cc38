// "Zarnip Pack Shapefile Tool" (frmPackShapefile): writes a copy of a
// shapefile without the rows flagged deleted, in place or to another
// destination, through the host's roles only, and puts the map layer that
// showed the destination back where it was.
//
// The user's data is never left only in a temporary file: the copy is
// written to "<D>____________TEMP", read back and compared, and only then
// moved over D's files in one set of renames that keeps D's own files aside
// as "<D>____________BACKUP" until the new layer is open; any failure puts
// D's files and the map layer back as they were. Backups that an earlier
// run left (it may have ended with the only copy there) are never deleted
// here: the pack refuses to run until the user has looked at them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

constexpr const char kPackCaption[] = "Zarnip Pack Shapefile Tool";
constexpr const char kPackTempSuffix[] = "____________TEMP";
constexpr const char kPackBackupSuffix[] = "____________BACKUP";
constexpr const char kPackFilter[] = "QOVA Shapefiles (*.shp)|*.shp";
// The file dialog flags of the two browse buttons, as the dialog gives them:
// save (hide read-only, path must exist) and open (also create prompt).
constexpr unsigned kPackSaveFlags = 2052;
constexpr unsigned kPackOpenFlags = 10244;
// The host's file dialog flags for the platform's: must exist, confirm
// overwrite and create prompt carry over; the rest has no meaning there.
unsigned MapFileDialogFlags(unsigned platformFlags);

class PackShapefileDialog : public host::IHostDialog {
public:
    static constexpr int kSource = 0;
    static constexpr int kDestination = 1;

    // Keeps the application and its current document.
    void Initialize(host::IHostApplication& app);
    // Fills the boxes from the selected layer (a shapefile layer only), then
    // shows the dialog through the host and returns when it closes.
    void OverloadedShow();
    void Prefill();

    // The user's actions.
    void Browse(int index);
    // Text typed into a box, then the box loses the focus.
    void Edit(int index, const std::string& text);
    // OK: runs the pack; the dialog closes whatever the outcome.
    void Ok();
    void Cancel();

    std::string Label3() const {
        return "Discard features that have been flagged for deletion but were not physically "
               "removed from the shapefile.";
    }
    const std::string& Path(int index) const { return m_path[index == kSource ? 0 : 1]; }
    bool OkEnabled() const { return m_okEnabled; }
    const std::string& DoneText() const { return m_done; }
    bool ProgressVisible() const { return m_progressVisible; }
    int ProgressMaximum() const { return m_progressMax; }
    int ProgressValue() const { return m_progressValue; }
    // The highest value the bar was given during the last pack.
    int ProgressPeak() const { return m_progressPeak; }
    // Called whenever the state above changes while a pack runs (the view
    // repaints from it).
    void OnChange(std::function<void()> f) { m_onChange = std::move(f); }

    std::string Caption() const override { return kPackCaption; }
    std::string Describe() const override;
    void Activate() override {}
    bool Act(const std::string& action, const std::string& argument) override;
    bool Finished() const override { return m_finished; }
    void ShowQt() override;

private:
    void UpdateOk();
    void Changed() {
        if (m_onChange) m_onChange();
    }
    // The pack; false with the reason (and TEMP files that stayed) in *why.
    bool RunPack(std::string* why);

    host::IHostApplication* m_app = nullptr;
    std::shared_ptr<host::IHostMapDocument> m_doc;
    std::string m_path[2];
    bool m_okEnabled = false;
    std::string m_done = "Done!";
    bool m_progressVisible = true;
    int m_progressMax = 0;
    int m_progressValue = 0;
    int m_progressPeak = 0;
    bool m_finished = false;
    std::function<void()> m_onChange;
};

// What the command's click does: a new dialog over the application.
void ShowPackShapefile(host::IHostApplication& app);

}  // namespace zntools8
