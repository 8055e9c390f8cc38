// The data objects a script makes by name (Application.CreateAppObject):
// "point", "rectangle", "points", "line", "polygon", "coordsys" and
// "recordset".
#pragma once

#include "platform/com/com.h"

class CCoordSys;

// A new object for the name (compared without regard to case), AddRef'd for
// the caller; a point takes the map's coordinate system (may be null).
// S_FALSE and null when the name is none of these.
HRESULT CreateDataScriptObject(WStringView name, CCoordSys* mapCoordSys, IDispatch** out);
