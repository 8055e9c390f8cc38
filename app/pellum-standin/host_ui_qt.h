// The host's user interface on Qt Widgets: message boxes, the folder picker,
// the file dialog, the beep, the wait cursor, and add-in dialogs through
// their own views.
#pragma once

#include "desktop/host/host_interfaces.h"

class QWidget;

namespace pellum {

class QtHostUi : public host::IHostUi {
public:
    // Dialogs are modal over the owner (the main window, once it exists).
    void SetOwner(QWidget* owner) { m_owner = owner; }

    host::PromptAnswer MessageBox(const std::string& caption, const std::string& text,
                                  host::PromptIcon icon, host::PromptButtons buttons) override;
    std::string BrowseForFolder(const std::string& prompt) override;
    std::string FileDialog(bool save, const std::string& title, const std::string& filter,
                           unsigned flags, const std::string& defaultExtension) override;
    void Beep() override;
    void PumpMessages() override;
    void SetWaitCursor(bool on) override;
    void RunDialog(host::IHostDialog& dialog) override { dialog.ShowQt(); }

private:
    QWidget* m_owner = nullptr;
};

// The filter of the Parts' form ("Shapefiles|*.shp|All files|*.*") as Qt's
// ("Shapefiles (*.shp);;All files (*.*)").
std::string QtFilter(const std::string& filter);

}  // namespace pellum
