// The vertex dialogs: a vertex typed, or taken from the GPS receiver and
// optionally averaged over several fixes (the Vertex dialog), and a vertex
// given by azimuth, length and slope from the previous one (the Relative
// Vertex dialog); and the list of a shape's vertices on the feature
// properties' pages.
#pragma once

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "formats/shape/shape_record.h"
#include "map/view/sketch.h"
#include "platform/win/controls.h"
#include "platform/win/framework.h"

class CMapView;

class CVertexDlg : public CDialogExt {
public:
    CVertexDlg(CMapView* view, int shapeType, const SketchVertex& vertex, bool startAveraging,
               HWND parent = nullptr);
    ~CVertexDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    const SketchVertex& GetVertex() const { return m_vertex; }
    bool IsAveraging() const { return m_averaging; }
    // "OK", "%d" positions still needed, "+%d" positions averaged.
    static WString CountText(int target, int averaged);

protected:
    void OnDestroy() override;

private:
    void OnGpsButton();
    void StartAveraging();
    void UpdateCount();
    void OnAveragedFix();
    void EnableEdits(bool enable);
    int AveragingTarget() const;

    CMapView* m_view;
    win::BitmapButton m_gpsButton;
    bool m_hasZ = false;
    bool m_hasM = false;
    bool m_geographic = false;
    SketchVertex m_vertex;
    bool m_averaging = false;
    bool m_listenerSet = false;
    bool m_finishWhenAveraged = false;
};

// Runs the Vertex dialog; true and the vertex updated on OK. With
// `startAveraging` the GPS averaging starts at once and the dialog closes
// with OK as soon as enough positions are averaged.
bool DoVertexDialog(CMapView* view, int shapeType, SketchVertex& vertex, bool startAveraging);

class CRelativeVertexDlg : public CDialogExt {
public:
    CRelativeVertexDlg(CMapView* view, int shapeType, const SketchVertex& newVertex,
                       const SketchVertex& reference, HWND parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    const SketchVertex& GetNewVertex() const { return m_newVertex; }
    // Azimuth, length and slope of `to` seen from `from` (rounded to 2, 3
    // and 2 decimals; the slope 0 without Z).
    static void Measure(const SketchVertex& from, const SketchVertex& to, bool hasZ,
                        double& azimuth, double& length, double& slope);

    double m_length = 0;
    double m_slope = 0;
    int m_gpsRelative = 0;
    double m_azimuth = 0;

private:
    CMapView* m_view;
    bool m_hasZ = false;
    bool m_hasM = false;
    bool m_gpsOpen = false;
    SketchVertex m_newVertex;
    SketchVertex m_reference;
};

// True and the new vertex set on OK.
bool RunRelativeVertexDialog(CMapView* view, int shapeType, SketchVertex& newVertex,
                             const SketchVertex& reference);

// The vertices of one shape, one owner-drawn row each (the item data is the
// vertex index): part, index in the part, X, Y, and Z and M where the shape
// type has them.
class CVertexListCtrl : public CListCtrlEx {
public:
    // Grid lines, full-row selection and the six columns.
    bool Attach(HWND list);
    // Deletes all rows; with a shape (not owned) adds one row per vertex.
    void SetShape(const ShapeRecord* shape);
    const ShapeRecord* GetShape() const { return m_shape; }
    // The texts of a row's cells, column by column (empty where the type
    // has no such value).
    WString CellText(int row, int column) const;
    // The owner's WM_DRAWITEM: true when it was one of our rows.
    bool DrawItem(const DRAWITEMSTRUCT* item);

private:
    const ShapeRecord* m_shape = nullptr;
};
