// "Feature Information": what lies at a tapped point or inside a dragged
// rectangle. One modeless window per program, kept as an object after its
// window closes, with a result tree: the point's coordinates in every form
// the program knows, then layer by layer the features found with all their
// attribute values (map server sub-layers through the server's feature
// request). From a result the user goes to a feature, opens its properties,
// edits or selects it, zooms or pans to it, or follows a link. While the
// window is visible the map draws the identify point or rectangle and the
// selected feature over itself.
//
// Feature items hold the layer's record number (from 1); the selection of
// the layer list counts from 0, and every hand-over converts explicitly.
#pragma once

#include <functional>

#include "core/dialog_ext.h"
#include "map/view/map_view.h"
#include "platform/win/commctrl.h"

class CFeatureLayer;
class CInternetLayer;

class CIdentifyDlg : public CDialogExt, public IIdentifyWindow {
public:
    // The refresh the entry points post to the window; form sheets use the
    // same number for another purpose, so only this class answers it.
    static constexpr UINT kRefreshMessage = 0x8001;
    // An item's text is formatted into this many units, terminator included.
    static constexpr size_t kItemTextUnits = 300;
    // The longest address a link item may open.
    static constexpr size_t kMaxLinkUnits = 2048;

    // Tree images (bitmap 333).
    enum Image {
        kImageCoordinates = 1,
        kImageValue = 2,
        kImagePointLayer = 3,
        kImageLineLayer = 4,
        kImagePolygonLayer = 5,
        kImageOtherLayer = 6,
        kImageCharacter = 8,
        kImageNumeric = 9,
        kImageDate = 10,
        kImageLogical = 11,
    };

    CIdentifyDlg();
    ~CIdentifyDlg() override;

    // ---- entry points (the window is made and shown as needed, then the
    // refresh is posted) ----
    void IdentifyArea(double x, double y, double tolerance, const CDoubleRect* rect) override;
    void IdentifyLayerAtPoint(CLayer* layer, double x, double y, double tolerance) override;
    void IdentifyFeature(CLayer* layer, int record);

    void ClearIdentifyPoint();
    bool HasIdentifyPoint() const { return m_x != 0 || m_y != 0; }
    CDoubleRect GetIdentifyPointExtent() const { return CDoubleRect(m_x, m_y, m_x, m_y); }
    bool IsIdentifyWindowVisible() const;
    // The extent of the feature selected in the tree; false when none is.
    bool GetSelectedFeatureExtent(CDoubleRect& extent) const;
    // The point or rectangle and the selected feature, over the map.
    void DrawIdentifyOverlay(CMapView& view, HDC dc);

    bool GetCloseAfterAction() const { return m_closeAfterAction; }
    HWND GetTree() const;

    // Rebuilds the tree now (what the posted refresh does).
    void Refresh();

    // The text of an item, cut to fit the item buffer (never inside a
    // surrogate pair).
    static WString FitItemText(WString text);
    // Whether a link's address may be handed to the opener: one line, no
    // control characters, at most kMaxLinkUnits.
    static bool IsOpenableAddress(WStringView address);

    bool OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

    // What the selected item stands for.
    struct Selection {
        enum Kind { None, Coordinates, Feature, Attribute } kind = None;
        CFeatureLayer* layer = nullptr;
        int record = 0;  // from 1
        int field = -1;
    };
    Selection GetSelection() const;

    // The item double tapped (or "Hyperlink" on it); true when something
    // was opened.
    bool OpenItemLink(HTREEITEM item);
    // The commands of the buttons and the action menu (ids of menu 378 and
    // 1701, 1705, 1707).
    bool RunAction(UINT command);

private:
    void EnsureWindow();
    void PostRefresh();
    void UpdateButtons();
    void OnSelectionChanged();
    void OnActionMenu();
    void CloseAfterAction(bool succeeded);

    HTREEITEM Insert(HTREEITEM parent, const WString& text, int image, LPARAM data);
    void AddCoordinates(HTREEITEM root);
    void AddFeatureLayer(CFeatureLayer* layer);
    void AddServerLayer(CInternetLayer* layer);
    void AddSingleFeature();
    void AddFields(HTREEITEM parent, CFeatureLayer* layer, int record);

    bool m_closeAfterAction = true;
    double m_x = 0, m_y = 0;
    CDoubleRect m_rect;
    CDoubleRect m_featureExtent;
    double m_tolerance = 0;
    CInternetLayer* m_serverLayer = nullptr;
    CFeatureLayer* m_singleLayer = nullptr;
    int m_singleRecord = 0;
    HIMAGELIST m_images = nullptr;
    bool m_pointMode = true;
    HTREEITEM m_root = nullptr;
    HTREEITEM m_firstResult = nullptr;
};

// The one window of the program (made on first use; only the interface
// thread uses it).
CIdentifyDlg& GetIdentifyDlg();
// Destroys the window and the object: when the program ends, and between
// tests.
void ReleaseIdentifyDlg();
// What the program installs as the view's identify window (SetIdentifyWindow):
// it hands each call to the one window, made when first needed, over the
// map view of that moment.
IIdentifyWindow* GetIdentifyWindowSeam();

// The map's questions, answered by the one window (false and nothing when it
// was never made).
void ClearIdentifyPoint();
bool HasIdentifyPoint();
CDoubleRect GetIdentifyPointExtent();
bool IsIdentifyWindowVisible();
bool GetIdentifySelectionExtent(CDoubleRect& extent);
void DrawIdentifyOverlay(CMapView& view, HDC dc);
