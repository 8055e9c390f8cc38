// The layer of one shapefile (.shp, .shx, .dbf): the only layer that can be
// edited. It holds the shapefile object (the engine's files), reads its
// layer file (.znl: name, locale, scripts, forms, symbology, labels,
// hyperlink, bookmarks), uses the spatial index (.sbn/.sbx) when there is
// one, answers the record interface, switches the files between read-only
// and writable for editing, appends captured shapes, packs and re-indexes
// when editing ends, and draws its features with symbols and labels
// (shape_layer_draw.cpp).
//
// Every side file is named by changing the extension and found through the
// device file system, so upper-case datasets find their companions.
#pragma once

#include <memory>

#include "formats/shape/shape_file.h"
#include "map/layers/feature_layer.h"
#include "map/symbology/renderer.h"

class CSpatialIndex;
class IPackUi;

// The forms of a layer file (edit, identify and other forms). The forms
// subsystem installs the real ones; without it a layer keeps no forms.
class ILayerForms {
public:
    virtual ~ILayerForms() = default;
    // The FORMS element read with the layer's locale (its SCRIPT children run).
    virtual bool ReadForms(const CXmlNode* forms, DWORD localeId) = 0;
    // edit: the edit form, else the identify form; each falls back to the
    // other. Null when there is none.
    virtual void* GetForm(bool edit) = 0;
};
using LayerFormsFactory = std::unique_ptr<ILayerForms> (*)(IScriptHost* host);
void SetLayerFormsFactory(LayerFormsFactory factory);
// The installed factory, null while there is none.
LayerFormsFactory GetLayerFormsFactory();

class CShapeLayer : public CFeatureLayer {
public:
    CShapeLayer();
    ~CShapeLayer() override;

    // ---- CLayer ----
    // A .prj that says geographic over data outside -180..180 / -90..90 is
    // wrong (desktop tools write such files): the layer then has no system,
    // and the user is told once.
    CCoordSys* GetCoordSys() override;
    ShpHandle GetShapeFile() override { return GetHandle(); }
    DbfHandle GetTable() override { return m_file.GetTable().Table(); }
    bool CanEdit() override;
    bool SetEditMode(bool on) override;
    bool IsOpenForEdit() override;
    void GetExtent(CDoubleRect& extent) override;
    void GetInfoText(WString& text) override;
    void WriteXml(CConfigXmlFile& writer) override;
    void ReadXml(const CXmlNode* layerElement) override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    void OnViewChanged() override;
    bool Draw(HDC target, HDC second, double mapScale) override;

    // ---- CFeatureLayer ----
    int GetFieldCount() override;
    WString GetFieldName(int field) override;
    int GetFieldDecimals(int field) override;
    int GetFieldWidth(int field) override;
    WChar GetFieldType(int field) override;
    int GetFieldText(int field, WString& text, const void* record = nullptr) override;
    double GetFieldNumber(int field, const void* record = nullptr) override;
    bool GetFieldLogical(int field, const void* record = nullptr) override;
    bool GetFieldDate(int field, int& year, int& month, int& day,
                      const void* record = nullptr) override;
    bool GetFeatureExtent(int record, CDoubleRect& extent) override;
    bool ReadRecord(int record, void* buffer = nullptr) override;
    bool WriteRecord(int record, const void* buffer = nullptr) override;
    bool IsNullFeature(int record) override;
    int FindNext(int record, const CDoubleRect* extent) override;
    int HitTest(const DoublePoint& point, double* distance, double tolerance,
                const CDoubleRect& searchExtent) override;
    void DrawFeatureSymbol(int record, HDC dc, const RECT& rect) override;

    // ---- own ----
    // The shapefile the layer reads and edits (null when closed).
    ShpHandle GetHandle() const { return m_file.GetHandle(); }
    CShapeFile& GetFile() { return m_file; }
    // False when there is no layer file or it cannot be used; a file that
    // exists but does not parse, or whose root is not Zarnip, is reported.
    bool ReadLayerFile(const WString& datasetPath);
    int AppendShape(ShapeRecord* record);
    int AddSegment(const DoublePoint& a, const DoublePoint& b);
    int AddRectangle(const CDoubleRect& rect);
    int AddEllipse(const CDoubleRect& rect, int pointsPerQuarter);
    int AddShapeFromPoints(int count, const DoublePoint* vertices, bool closed);
    void* GetForm(bool edit);
    bool OpenSpatialIndex();
    void CloseSpatialIndex();
    bool HasSpatialIndex() const;
    bool DeleteSpatialIndex();
    bool BuildSpatialIndex();
    bool Pack(bool force);
    // The renderer class of a 0-based record (class 0 when none matches).
    CSymbol* ClassForRecord(int record);

    // Packing asks the user through this; the platform's boxes by default.
    void SetPackUi(IPackUi* ui) { m_packUi = ui; }

    bool m_canEdit = false;
    CRenderer m_renderer;
    int32_t m_rendererField = -1;
    int32_t m_symbolRotationField = -1;
    int32_t m_labelRotationField = -1;
    std::unique_ptr<ILayerForms> m_forms;
    // drawing state, valid while Draw runs
    HDC m_drawTarget = nullptr;
    HDC m_drawSecond = nullptr;
    int m_featureCount = 0;
    double m_drawScale = 0;
    bool m_labelsOn = false;
    UINT m_textOptions = 0;
    bool m_drawRightToLeft = false;
    // FindNext
    int m_searchCursor = 0;
    int m_searchCount = 0;
    std::unique_ptr<CSpatialIndex> m_index;
    bool m_hadIndex = false;
    bool m_autopack = true;
    // Set while drawing when a shape could not be read.
    bool m_drawFailed = false;
    bool m_toldCoordSysMismatch = false;

private:
    CShapeFile m_file;
    void StartLayerScripts(const CXmlNode* root, const CXmlNode* layer);
    void LookUpRendererFields();
    void ReadLabels(const CXmlNode* layer);
    IPackUi* m_packUi = nullptr;
};

// The nearest segment of a part to a device point whose perpendicular foot
// lies on it: its index (-1 when none) and the foot. Zero-length segments
// have no direction and are passed over.
int NearestSegment(POINT c, const POINT* points, int count, POINT* foot);

// Where a line part's label goes on a surface of width x height: along the
// segment nearest the centre of the part's visible box, centred on the foot
// point, turned so that it reads upright (angle in tenths of a degree; the
// point is where the text starts). False when the part gets no label.
struct LineLabelPlace {
    int angle = 0;
    POINT foot{};
    POINT start{};
};
bool PlaceLineLabel(const POINT* points, int count, int width, int height, int textWidth,
                    LineLabelPlace* out);
// The start that centres a text of that width on the foot at that angle.
POINT CentreLineLabel(POINT foot, int angle, int textWidth);
