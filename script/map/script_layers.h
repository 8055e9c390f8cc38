// Layers: the layers of the current document's map, by name, extension
// handle, dataset path or position, and their removal. The collection keeps
// nothing of its own: every call asks the program for the current list.
#pragma once

#include "platform/com/com.h"
#include "script/script_object.h"

class CLayer;
class CLayerList;

class CScriptLayers : public CScriptObject<CScriptLayers> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new collection (count 0).
    static CScriptLayers* Create();

    // The layer an index names in the list (a name, "$xxxxxxxx$" for an
    // extension layer's handle, a dataset path, or a 1-based position);
    // null for none. E_FAIL when a non-text index is not a number.
    static HRESULT Find(CLayerList& list, const VARIANT& index, CLayer** out);

    // ILayers
    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT get_Extent(IDispatch** out);
    HRESULT Item(VARIANT index, IDispatch** out);
    HRESULT Clear();
    HRESULT Remove(VARIANT index);

private:
    friend class DispatchObject<CScriptLayers>;
    CScriptLayers() = default;
    ~CScriptLayers() override = default;
};
