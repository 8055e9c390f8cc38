// The Layers dialog: one row per layer of the open map (the tracklog and
// the grid first) with cells for visibility, identify and editing, and
// buttons for the map's projection, its projection information and datum,
// a layer's properties, moving a layer up or down and removing it. Changes
// act on the layers at once and set the layer list's changed flag, which is
// the dialog's result.
#pragma once

#include <utility>
#include <vector>

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "platform/win/framework.h"

class CLayer;
class CLayerList;
class CMapDoc;

// The rows of a layer list: icon and title, then the visible, identify and
// edit cells (image 2 on, 1 off, none where the layer cannot do it). The
// item data is the layer's list position, -1 for the tracklog and -2 for
// the grid.
class CLayerListCtrl : public CListCtrlEx {
public:
    static constexpr int kColumnTitle = 0;
    static constexpr int kColumnVisible = 1;
    static constexpr int kColumnIdentify = 2;
    static constexpr int kColumnEdit = 3;
    static constexpr int kImageOff = 1;
    static constexpr int kImageOn = 2;

    // Columns, images and the header of the list control `id` of `dialog`.
    bool Setup(HWND dialog, int id, CLayerList* layers);
    // Every row anew; the selected row (by item data) stays selected.
    void FillList();
    int AddRow(CLayer* layer, int itemData);
    int FindRow(const CLayer* layer) const;
    // The three cells of a row as its layer is now.
    void UpdateCells(int row);
    CLayer* LayerAt(int row) const;
    bool IsFilling() const { return m_filling; }

    // The header toggles: each click sets every layer to the state and then
    // flips it. True when any layer changed.
    bool ToggleAllVisible();
    bool ToggleAllIdentify();

private:
    int IconOf(CLayer* layer);

    CLayerList* m_layers = nullptr;
    CHeaderCtrlEx m_header;
    bool m_showAll = true;
    bool m_identifyAll = true;
    bool m_filling = false;
    // Icons of layer extensions, each added once to the image list.
    std::vector<std::pair<const void*, int>> m_extensionIcons;
};

class CLayersDlg : public CDialogExt {
public:
    explicit CLayersDlg(CMapDoc* doc, HWND parent = nullptr);
    ~CLayersDlg() override;

    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;
    void OnCancel() override;

    CLayerListCtrl& List() { return m_list; }

    void OnChooseProjection();
    void OnProjectionInfo();
    void OnDatum();
    void OnProperties();
    void OnMoveUp();
    void OnMoveDown();
    void OnRemove();

private:
    void UpdateButtons();
    void OnCellClick(int row, int column);
    void Move(int by);
    // The selected row's layer, or null.
    CLayer* Selected(int* itemData = nullptr) const;
    bool& Changed();

    CMapDoc* m_doc;
    CLayerListCtrl m_list;
    win::BitmapButton m_buttons[7];
};

// The Layers command's dialog: runs it on the document; the changed flag.
bool RunLayersDialog(CMapDoc* doc, HWND parent);

// What the Layer Properties sheet shows on its Geography page: the layer's
// information text and, for layers other than system layers, its extent.
WString LayerGeographyText(CLayer* layer);
