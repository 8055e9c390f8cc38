// The Find dialog: searches the records of one feature layer for a value of
// one field (or of any field) and lists the matches; from a match the user
// sees its properties, edits it, goes to it, or zooms, centres or selects it.
// The last feature chosen in the list stays marked on the map after the
// dialog closes, until the next search or a change of the selection.
//
// Rows and the selected record hold the layer's record numbers (from 1);
// the layer list's selection counts from 0.
#pragma once

#include "core/dialog_ext.h"
#include "core/double_rect.h"
#include "map/dialogs/feature_list_ctrl.h"
#include "platform/com/variant.h"

class CMapView;
class CMapDoc;
class CFeatureLayer;

class CFindDlg : public CDialogExt {
public:
    // A search lists at most this many records.
    static constexpr int kMatchLimit = 200;
    // The numeric range while its edits are left empty.
    static constexpr double kNoMinimum = -999999999999.0;
    static constexpr double kNoMaximum = 999999999999.0;

    explicit CFindDlg(CMapView* view);
    ~CFindDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    // "F": takes the controls, searches, lists the matches.
    void Find();
    // The row becomes the chosen match (the mark on the map, the buttons).
    void SelectRow(int row);
    // The buttons' and the action menu's commands (and 1700 to 1707).
    bool RunAction(UINT command);
    // "L": the layer and field from the field browser.
    void ChooseLayerAndField();

    CFeatureListCtrl& GetList() { return m_list; }
    CFeatureLayer* GetLayer() const { return m_layer; }
    int GetField() const { return m_field; }
    WChar GetFieldType() const { return m_fieldType; }
    int GetSelectedRecord() const { return m_selectedRecord; }

private:
    // The layer's field type as the search reads it: 'C', 'D', 'L' or 'N'.
    static WChar SearchType(CFeatureLayer* layer, int field);
    void UpdateFieldControls();
    void UpdateButtons();
    void RebuildList();
    bool Matches(int record) const;
    void OnActionMenu();
    bool IsCurrentEditLayer() const;

    win::BitmapButton m_buttons[6];
    CFeatureListCtrl m_list;
    WString m_findText;
    WString m_inText;
    int m_onlyInView = 0;
    int m_logical = 1;
    CMapView* m_view;
    CMapDoc* m_doc;
    CFeatureLayer* m_layer = nullptr;
    int m_field = -1;
    WChar m_fieldType = u'C';
    int m_selectedRecord = 0;
    int m_matchLimit = -1;
    SYSTEMTIME m_startDate{};
    SYSTEMTIME m_endDate{};
    double m_minimum = kNoMinimum;
    double m_maximum = kNoMaximum;
    CDoubleRect m_viewExtent;
    const CDoubleRect* m_searchExtent = nullptr;
    // The layout as the template gives it (pixels, dialog client).
    int m_firstRowTop = 0;
    int m_rowStep = 0;
    int m_checkTop = 0;
    int m_checkGap = 0;
    int m_listGap = 0;
};

// Clears the found-feature mark and runs the dialog modally over the view;
// the map is repainted after it closes.
void RunFindDialog(CMapView* view);

// The found-feature mark, kept after the dialog closes.
void ClearFoundFeature();
bool HasFoundFeature();
// The extent while a feature is marked; false otherwise.
bool GetFoundFeatureExtent(CDoubleRect& extent);
void DrawFoundFeature(CMapView& view, HDC dc);
