// The Feature Properties sheet of one feature of a shapefile layer: the
// pages of the layer's custom form, then Attributes, Symbology and
// Geography. Modal, it edits copies of the shape and the attribute record
// and writes both back on OK (a feature edited, mode 2, or just captured,
// mode 3). Modeless, it is the one read-only sheet of the program that the
// map view re-targets to the feature the user identifies (mode 1). While a
// GPS position is averaged for a new point, the sheet follows the averaging
// and shows its progress in its title.
#pragma once

#include <vector>

#include "core/double_rect.h"
#include "formats/shape/shape_file.h"
#include "shell/forms/feature_pages.h"
#include "shell/forms/form_sheet.h"

class CLayer;
class CShapeLayer;

// To the modeless sheet: show a record. wParam the page index to show (-1
// the active one), lParam the 0-based record.
inline constexpr UINT WM_FEATURESHEET_SHOWRECORD = 0x8001;

// How the sheet is opened.
enum FeatureSheetMode {
    kFeatureSheetIdentify = 1,  // modeless, read-only, one instance
    kFeatureSheetEdit = 2,      // modal, writes on OK
    kFeatureSheetNew = 3,       // modal, the form's defaults applied first
};

// The shapefile and record the sheet works on; made before the form sheet,
// which binds the form to the record at its construction.
struct FeatureSheetData {
    explicit FeatureSheetData(CShapeLayer* layer);

    CShapeLayer* m_layer;
    CShapeFile m_file;  // attached to the layer's handle, not owning it
    FormRecordSource m_recordSource;
};

class CFeatureSheet : private FeatureSheetData, public CFormPropertySheet {
public:
    static constexpr const char* kRuntimeClassName = "CFeatureSheet";

    // The layer must have a shapefile (Show checks).
    CFeatureSheet(CShapeLayer* layer, int record, bool editable, UINT captionId,
                  HWND parent = nullptr, UINT selectPage = 0);
    ~CFeatureSheet() override;

    // Opens the sheet of a 0-based record. True only when a modal sheet
    // ended with OK and both the shape and the record were written. Layers
    // without a shapefile get no sheet (false).
    static bool Show(CLayer* layer, int record, int mode);

    // Reads the record's shape and attributes into the sheet's buffers;
    // false when either could not be read.
    bool SetRecord(int record);
    int GetRecord() const { return m_record; }
    CShapeLayer* GetLayer() const { return m_layer; }
    ShapeRecord* GetShape() const { return m_file.GetBuffer(); }
    int GetShapeType() const;
    uint8_t* GetRecordBuffer() const { return m_recordSource.record; }
    DbfHandle GetTable() const { return m_recordSource.table ? m_recordSource.table->Table() : nullptr; }
    bool IsAveraging() const { return m_averaging; }
    const WString& GetTitle() const { return m_title; }

    // The sheet becomes the view's averaging window and, unless it already
    // follows one, starts the receiver's averaging.
    void StartAveraging();
    // Vertex 0 of the shape, and its Z and M where the type has them.
    bool GetPointVertex(double& x, double& y, double& z, double& m) const;
    void SetPointVertex(double x, double y, double z, double m);

    CFeatureAttributesPage m_attributesPage;
    CShapeSymbologyPage m_symbologyPage;
    CFeatureGeographyPage m_geographyPage;
    CFeaturePointPage m_pointPage;

    void PreCreateSheet(DialogTemplate& tmpl) override;
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Sheets constructed since the last reset (tests).
    static int ConstructionCount();

private:
    void OnShowRecord(int page, int record);
    void OnAveragedFix();
    void StopAveraging();
    // Writes the shape and the record back; on failure tells the user the
    // engine's text, puts back what was written and answers false.
    bool WriteBack();

    WString m_title;
    int m_record = -1;
    bool m_averaging = false;
    bool m_listening = false;  // the view's averaging window is this sheet
    std::vector<uint8_t> m_originalShape;
};

// ---- the modeless sheet ----
// It exists and its window is visible.
bool IsFeatureSheetWindow();
// ... and it shows a record.
bool IsFeatureSheetOpen();
// The X/Y bounds of its shape; false when there is no modeless sheet.
bool GetFeatureSheetShape(CDoubleRect& bounds);
// Draws its shape highlighted (the preferences' highlight pen): a point as
// a circle of the highlight width around it, other shapes as the engine
// draws them. Nothing when the sheet is absent or hidden.
void DrawFeatureSheetShape(HDC dc);
// Destroys its window and the sheet.
void DestroyFeatureSheet();
// Destroys it when it shows a feature of the layer (the layer is going).
void ForgetFeatureSheetLayer(const CLayer* layer);
void CloseFeatureSheet();
CFeatureSheet* GetFeatureSheet();
// Forgets the sheet and the construction count (tests).
void ResetFeatureSheetForTests();
