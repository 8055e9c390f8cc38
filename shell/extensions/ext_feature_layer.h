// A feature layer whose dataset an extension module opens (layer kind 7,
// extension kind 1): geometry, attributes, legend, drawing and dialogs all
// come from the module through its layer entry points. The module works in
// layer coordinates; the layer converts what it hands over for a
// reprojecting map.
#pragma once

#include "map/layers/feature_layer.h"
#include "map/symbology/symbol_list_ctrl.h"
#include "shell/extensions/layer_extension.h"

// At most this many extra properties are asked for when a map is saved.
constexpr int kMaxExtraProperties = 1024;

class CExtFeatureLayer : public CFeatureLayer, public ILegendSource {
public:
    explicit CExtFeatureLayer(const LayerExtensionInfo* info);
    ~CExtFeatureLayer() override;

    // What the layer was made with: the module's icon, and the module.
    const LayerExtensionInfo* GetExtensionInfo() const { return m_info; }
    CLayerExtension* GetExtension() const { return m_extension; }
    bool HoldsAuxPort() const { return m_holdsAux; }
    int GetCurrentRecord() const { return m_currentRecord; }
    // Layer.Escape: the module's escape with the layer handle.
    HRESULT Escape(VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result);

    // ---- CLayer ----
    bool HasIdentifyDialog() override;
    int ShowIdentifyDialog(int record, const CDoubleRect* searchBox) override;
    bool HasHyperlinkDialog() override;
    int ShowHyperlinkDialog(int record, const CDoubleRect* searchBox) override;
    int ShowPropertiesDialog(HWND parent) override;
    bool HasPropertiesDialog() override;
    CCoordSys* GetCoordSys() override;
    void GetExtent(CDoubleRect& extent) override;
    void GetInfoText(WString& text) override;
    void WriteXml(CConfigXmlFile& writer) override;
    void ReadXml(const CXmlNode* layerElement) override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    void OnViewChanged() override {}
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
    bool GetFieldDate(int field, int& year, int& month, int& day, const void* record = nullptr) override;
    bool GetFeatureExtent(int record, CDoubleRect& extent) override;
    bool ReadRecord(int record, void* buffer = nullptr) override;
    bool WriteRecord(int record, const void* buffer = nullptr) override;
    bool IsNullFeature(int record) override {
        (void)record;
        return false;
    }
    int FindNext(int record, const CDoubleRect* extent) override;
    int HitTest(const DoublePoint& point, double* distance, double tolerance,
                const CDoubleRect& searchExtent) override;
    void DrawFeatureSymbol(int record, HDC dc, const RECT& rect) override;

    // ---- ILegendSource ----
    int GetLegendClassCount() override;
    WString GetString302(int record) override;
    WString GetString301(int record) override;
    bool GetRecordFlag(int record) override;
    void SetRecordFlag(int record, bool on) override;
    void DrawRecord(int record, HDC dc, const RECT& rect) override;
    bool DialogSymbol(HWND window, int record) override;

private:
    // LayerGetProperty with the layer's handle; 0 while closed.
    int32_t Property(int32_t code, int32_t index, int32_t subIndex, void* buffer);
    WString PropertyText(int32_t code, int32_t index, int32_t subIndex);
    // A rectangle of the module (layer coordinates) in map coordinates.
    bool ReadExtent(int record, CDoubleRect& mapExtent);
    // A map rectangle for the module.
    ZnxRect ToLayerRect(const CDoubleRect& mapRect) const;
    void CloseHandle();

    const LayerExtensionInfo* m_info;
    CLayerExtension* m_extension;
    bool m_holdsAux = false;
    int32_t m_currentRecord = 0;
};

// The module of an extension layer (feature or image), null for others.
CLayerExtension* ExtensionOfLayer(CLayer* layer);
