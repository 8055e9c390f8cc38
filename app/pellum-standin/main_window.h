// pellum-standin's main window: the table of contents (a tick is the layer's
// visible flag, the selection is the selected layer), a preview whose pan and
// zoom set the visible extent, the Extent and Select Records dialogs, the
// per-layer hyperlink and scale-symbols settings, Save and Save As, and one
// toolbar per registered add-in toolbar. A viewer only: no editing, no
// styling; the preview never feeds an export.
#pragma once

#include <QMainWindow>
#include <memory>
#include <vector>

#include "desktop/host/addins.h"
#include "desktop/host/host_objects.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace pellum {

class Preview;

class MainWindow : public QMainWindow {
public:
    MainWindow(std::shared_ptr<host::HostApplicationImpl> app, host::IHostUi& ui);
    ~MainWindow() override;

    // Loads the add-ins and adds their toolbars; returns what could not be loaded.
    std::vector<std::string> LoadAddIns(const std::vector<host::AddInRegistration>& list);
    // The commands of the add-ins' toolbars, in toolbar order.
    std::vector<host::ICommand*> Commands() const;

    QTreeWidget* Contents() const { return m_tree; }
    Preview* MapPreview() const { return m_preview; }
    host::HostSession& Session() { return m_app->Session(); }

    // The dialogs, callable by tests without a person.
    void SetExtent(const host::HostEnvelope& extent);
    // Selects the records of the layer whose field equals the value; the count.
    int SelectByAttribute(const std::string& layer, const std::string& field,
                          const std::string& value);
    void ShowExtentDialog();
    void ShowSelectDialog();
    void ShowLayerSettingsDialog();
    bool Save();
    bool SaveAs();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillContents();
    void AddItems(QTreeWidgetItem* parent, const std::vector<host::DLayerPtr>& layers);
    host::DLayerPtr SelectedLayer() const;
    void UpdateTitle();

    std::shared_ptr<host::HostApplicationImpl> m_app;
    host::IHostUi& m_ui;
    QTreeWidget* m_tree = nullptr;
    Preview* m_preview = nullptr;
    std::vector<std::unique_ptr<host::AddInLibrary>> m_addIns;
    bool m_filling = false;
};

}  // namespace pellum
