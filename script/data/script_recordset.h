// Recordset: a record cursor over one shapefile or dBASE table. A script
// makes one (CreateAppObject("recordset")) and opens or creates a file with
// it, or a shapefile layer hands out one over its own open shapefile
// (Layer.Records). Field values and shape edits change the cursor's buffers
// until Update, or the next move, writes them.
#pragma once

#include <memory>

#include "core/double_rect.h"
#include "formats/shape/record_set.h"
#include "platform/com/com.h"
#include "script/data/script_recordset_files.h"
#include "script/script_object.h"

class CSpatialIndex;
class CCoordSys;
class CScriptFields;

// The layer side of a layer's recordset, asked afresh at every call: packing,
// autopack and edit mode replace the layer's index, and the layer may close.
class IRecordsetLayer {
public:
    virtual ~IRecordsetLayer() = default;
    // The layer's open shapefile; null once it has closed.
    virtual ShpHandle Handle() = 0;
    // The layer's spatial index (null: none).
    virtual CSpatialIndex* Index() = 0;
    // The map's coordinate system (null: none).
    virtual CCoordSys* MapCoordSys() = 0;
    virtual bool RebuildIndex() = 0;
    virtual bool DeleteIndex() = 0;
    virtual bool Pack() = 0;
    // A record (0-based) was deleted: the map forgets it as its selection.
    virtual void RecordDeleted(int record) = 0;
};

class CScriptRecordset : public CScriptObject<CScriptRecordset> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new recordset with nothing open (count 0).
    static CScriptRecordset* Create();
    // A new recordset over a layer's shapefile (count 0); the layer's owner
    // calls DetachLayer before the layer goes.
    static CScriptRecordset* ForLayer(IRecordsetLayer* layer);
    // The layer is gone: members that need its files fail from now on.
    void DetachLayer();

    // The search tolerance FindNearestXY uses when none is given (map
    // units); the map view installs its own. 0 without one.
    static void SetDefaultToleranceSource(double (*source)());

    // IRecordset
    HRESULT get_Fields(IDispatch** out);
    HRESULT get_RecordCount(int32_t* out);
    HRESULT get_EOF(int16_t* out);
    HRESULT get_BOF(int16_t* out);
    HRESULT get_Bookmark(int32_t* out);
    HRESULT put_Bookmark(int32_t value);
    HRESULT get_IsDeleted(int16_t* out);
    HRESULT get_CoordinateSystem(IDispatch** out);
    HRESULT get_CodePage(int32_t* out);
    HRESULT put_CodePage(int32_t value);
    HRESULT Open(BSTR fileName, int32_t mode);
    HRESULT Create(BSTR fileName, int32_t shapeType);
    HRESULT Close();
    HRESULT MoveFirst();
    HRESULT MoveLast();
    HRESULT MoveNext();
    HRESULT MovePrevious();
    HRESULT Move(int32_t numRecords, int32_t start);
    HRESULT AddNew();
    HRESULT Update();
    HRESULT CancelUpdate();
    HRESULT Supports(int32_t options, int16_t* out);
    HRESULT Delete();
    HRESULT FindNearestXY(double x, double y, double tolerance, IDispatch* envelope, int32_t* out);
    HRESULT Find(BSTR expression, IDispatch* envelope, int32_t fromBookmark, int32_t* out);
    HRESULT BuildSpatialIndex(int16_t* out);
    HRESULT DeleteSpatialIndex(int16_t* out);
    HRESULT Pack(int16_t* out);
    HRESULT Export(BSTR fileName, VARIANT format, int16_t* out);

private:
    friend class DispatchObject<CScriptRecordset>;
    CScriptRecordset();
    ~CScriptRecordset() override;

    // Brings a layer recordset's files in line with the layer; false when
    // nothing is open.
    bool Ready();
    // Writes pending edits, then drops the files and the system.
    void DropAll();
    void ResetCursor();
    int RecordCount();
    // The one move every navigation member uses. Writes pending edits first
    // (a failed write fails the move: *updateFailed), then reads record i.
    bool MoveTo(int i, bool* updateFailed = nullptr);
    HRESULT UpdateCurrent();
    bool HasPendingEdits() const;
    CSpatialIndex* Index();

    RecordsetFilesPtr m_files;
    ComPtr<CScriptFields> m_fields;
    std::unique_ptr<CSpatialIndex> m_ownIndex;
    std::unique_ptr<CCoordSys> m_ownCs;
    IRecordsetLayer* m_layer = nullptr;
    bool m_isLayerRecordset = false;
    int32_t m_current = -1;
    int32_t m_mode = 1;
    bool m_bof = true;
    bool m_eof = true;
    // The header box before the last AddNew, whose placeholder shape widened
    // it; the record's first written shape starts again from it.
    int32_t m_addedRecord = -1;
    uint8_t m_boundsBeforeAdd[64] = {};
    // The hits of the last spatial search and the box they answer.
    bool m_spatialSearch = false;
    std::unique_ptr<ERecordSet> m_hits;
    CDoubleRect m_hitsBox;
};
