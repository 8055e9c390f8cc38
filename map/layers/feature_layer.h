// The base of layers whose content is features with attribute records
// (shapefile, internet feature and extension feature layers): the record
// interface through which identify, the feature list, find, the property
// sheets and scripts read fields and records without knowing the source,
// the label field, hyperlinks and the feature property sheet.
//
// Records are numbered from 1 here (0: no record); the engines count from 0.
#pragma once

#include "map/layers/layer.h"
#include "map/symbology/label_renderer.h"
#include "map/symbology/symbol.h"

// A record number of the feature layers (from 1, 0 none) from the engines'
// record index (from 0, -1 none), and back.
constexpr int RecordNumberFromIndex(int index) {
    return index < 0 ? 0 : index + 1;
}
constexpr int IndexFromRecordNumber(int record) {
    return record <= 0 ? -1 : record - 1;
}

class CFeatureLayer : public CLayer {
public:
    CFeatureLayer();
    ~CFeatureLayer() override;

    virtual int GetFieldCount() = 0;
    virtual WString GetFieldName(int field) = 0;
    virtual int GetFieldDecimals(int field) = 0;
    virtual int GetFieldWidth(int field) = 0;
    virtual WChar GetFieldType(int field) = 0;
    // Null record buffer: the layer's current record.
    virtual int GetFieldText(int field, WString& text, const void* record = nullptr) = 0;
    virtual double GetFieldNumber(int field, const void* record = nullptr) = 0;
    virtual bool GetFieldLogical(int field, const void* record = nullptr) = 0;
    // Year, month, day as the dBASE date gives them (0s when empty).
    virtual bool GetFieldDate(int field, int& year, int& month, int& day,
                              const void* record = nullptr) = 0;
    virtual bool GetFeatureExtent(int record, CDoubleRect& extent) = 0;
    virtual bool ReadRecord(int record, void* buffer = nullptr) = 0;
    virtual bool WriteRecord(int record, const void* buffer = nullptr) = 0;
    virtual bool IsNullFeature(int record) = 0;
    // The next record after `record` (0 = start), within the extent when
    // one is given; 0 at the end.
    virtual int FindNext(int record, const CDoubleRect* extent) = 0;
    virtual int HitTest(const DoublePoint& point, double* distance, double tolerance,
                        const CDoubleRect& searchExtent) = 0;
    virtual void DrawFeatureSymbol(int record, HDC dc, const RECT& rect) = 0;

    // The preferences' default symbol of the layer's display class (point,
    // line, polygon); other classes keep theirs.
    void SetDefaultSymbol();
    int FindLabelField();
    int HitTestWithWaitCursor(const DoublePoint& point, double* distance, double tolerance,
                              const CDoubleRect& searchExtent);
    bool OpenHyperlink(HWND parent, int record);
    bool ShowFeatureProperties(HWND parent, int record);
    bool EditFeatureProperties(HWND parent, int record);

    CSymbol m_defaultSymbol;
    CLabelRenderer m_labelRenderer;
    int32_t m_labelField = 0;
};
