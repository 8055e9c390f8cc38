// Layer: the script face of one map layer, with its events. The layer
// makes the object on first request and keeps one reference; when the layer
// closes it detaches the object first, and from then on every member that
// needs the layer fails (E_FAIL), while the object lives on as long as
// scripts hold it.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_recordset.h"
#include "script/script_object.h"

class CLayer;
class CShapeLayer;

class CScriptLayer : public CScriptConnectable<CScriptLayer>, private IRecordsetLayer {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new object over the layer (count 0).
    static CScriptLayer* Create(CLayer* layer);
    // The object behind an argument, or null when it does not answer ILayer.
    static ComPtr<CScriptLayer> From(IDispatch* object);

    // The layer is closing: pending edits of its recordset are written and
    // the object lets go of the layer.
    void Detach();
    // The layer; null once detached.
    CLayer* GetLayer() const { return m_layer; }

    // ILayer
    HRESULT get_FilePath(BSTR* out);
    HRESULT get_Extent(IDispatch** out);
    HRESULT get_Comments(BSTR* out);
    HRESULT put_Comments(BSTR value);
    HRESULT get_Visible(int16_t* out);
    HRESULT put_Visible(int16_t value);
    HRESULT get_Name(BSTR* out);
    HRESULT put_Name(BSTR value);
    HRESULT get_CanEdit(int16_t* out);
    HRESULT get_Editable(int16_t* out);
    HRESULT put_Editable(int16_t value);
    HRESULT get_CanIdentify(int16_t* out);
    HRESULT get_Identifiable(int16_t* out);
    HRESULT put_Identifiable(int16_t value);
    HRESULT get_Records(IDispatch** out);
    HRESULT get_Forms(IDispatch** out);
    HRESULT get_LayerType(int16_t* out);
    HRESULT get_LayerFormat(BSTR* out);
    HRESULT get_Properties(BSTR property, VARIANT* out);
    HRESULT put_Properties(BSTR property, VARIANT value);
    HRESULT Edit(int32_t bookmark, int16_t* ok);
    HRESULT Identify(int32_t bookmark, int16_t* ok);
    HRESULT Hyperlink(int32_t bookmark, int16_t* ok);
    HRESULT Escape(VARIANT* p1, VARIANT* p2, VARIANT* p3, VARIANT* result);
    HRESULT Execute(BSTR script);

private:
    friend class DispatchObject<CScriptLayer>;
    CScriptLayer() = default;
    ~CScriptLayer() override;
    CShapeLayer* ShapeLayer() const;
    // Runs one of the feature commands on a 1-based record.
    HRESULT FeatureCommand(int32_t bookmark, int16_t* ok, int which);
    // The edit permission a property name names (0 to 3); -1 for any other.
    static int PermissionIndex(BSTR property);

    // IRecordsetLayer
    ShpHandle Handle() override;
    CSpatialIndex* Index() override;
    CCoordSys* MapCoordSys() override;
    bool RebuildIndex() override;
    bool DeleteIndex() override;
    bool Pack() override;
    void RecordDeleted(int record) override;

    CLayer* m_layer = nullptr;
    ComPtr<CScriptRecordset> m_records;
};
