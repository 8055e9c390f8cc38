#include "script/data/script_data_objects.h"

#include "script/data/script_coord_sys.h"
#include "script/data/script_point.h"
#include "script/data/script_points.h"
#include "script/data/script_polygon.h"
#include "script/data/script_polyline.h"
#include "script/data/script_recordset.h"
#include "script/data/script_rect.h"

HRESULT CreateDataScriptObject(WStringView name, CCoordSys* mapCoordSys, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IDispatch* made = nullptr;
    if (text::EqualsNoCase(name, u"point")) {
        made = CScriptPoint::Create(11, 0.0, 0.0, 0.0, -DBL_MAX,
                                    CScriptCoordSys::ForSystem(mapCoordSys).Get());
    } else if (text::EqualsNoCase(name, u"rectangle")) {
        made = CScriptRect::Create();
    } else if (text::EqualsNoCase(name, u"points")) {
        made = CScriptPoints::Create();
    } else if (text::EqualsNoCase(name, u"line")) {
        made = CScriptPolyline::Create();
    } else if (text::EqualsNoCase(name, u"polygon")) {
        made = CScriptPolygon::Create();
    } else if (text::EqualsNoCase(name, u"coordsys")) {
        made = CScriptCoordSys::CreateFree();
    } else if (text::EqualsNoCase(name, u"recordset")) {
        made = CScriptRecordset::Create();
    } else {
        return S_FALSE;
    }
    made->AddRef();
    *out = made;
    return S_OK;
}
