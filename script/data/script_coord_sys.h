// CoordSys: the script face of a coordinate system. Either the face of a
// system the program owns (the map's, a recordset's), attached to that
// system so every request gives the same object, or a free-standing system
// made by a script, which the object owns and may replace whole.
//
// The object of a program's system keeps a plain pointer to it; the system
// detaches the object when it dies, and the members that need the system
// then fail with E_FAIL. Geometry objects and recordsets hold a counted
// reference to this object, never the system itself.
#pragma once

#include <memory>

#include "crs/coord_sys.h"
#include "platform/com/com.h"
#include "script/script_object.h"

class CScriptCoordSys : public CScriptObject<CScriptCoordSys>, public ICoordSysScriptObject {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A free-standing object over a new unknown projection (count 0).
    static CScriptCoordSys* CreateFree();
    // The object of a program's system: the one attached to it, else a new
    // one that attaches itself. Null for a null system.
    static ComPtr<CScriptCoordSys> ForSystem(CCoordSys* system);

    // The system; null once the program's system has died.
    CCoordSys* System() const { return m_cs; }
    bool OwnsSystem() const { return m_owned != nullptr; }

    uint32_t AddRef() override { return CScriptObject::AddRef(); }
    uint32_t Release() override { return CScriptObject::Release(); }
    void DetachCoordSys() override { m_cs = nullptr; }

    // ICoordSys
    HRESULT get_String(BSTR* out);
    HRESULT put_String(BSTR value);
    HRESULT get_GeographicUnit(int32_t* out);
    HRESULT put_GeographicUnit(int32_t value);
    HRESULT get_GeographicName(BSTR* out);
    HRESULT put_GeographicName(BSTR value);
    HRESULT get_Projection(int32_t* out);
    HRESULT get_ProjectionUnit(int32_t* out);
    HRESULT put_ProjectionUnit(int32_t value);
    HRESULT get_ProjectionName(BSTR* out);
    HRESULT put_ProjectionName(BSTR value);
    HRESULT get_Datum(int32_t* out);
    HRESULT put_Datum(int32_t value);
    HRESULT get_DatumName(BSTR* out);
    HRESULT put_DatumName(BSTR value);
    HRESULT get_Method(int32_t* out);
    HRESULT put_Method(int32_t value);
    HRESULT get_Transform(int32_t* out);
    HRESULT put_Transform(int32_t value);
    HRESULT get_SemiMajorAxis(double* out);
    HRESULT put_SemiMajorAxis(double value);
    HRESULT get_Flattening(double* out);
    HRESULT put_Flattening(double value);
    HRESULT get_Parameters(VARIANT parameter, double* out);
    HRESULT put_Parameters(VARIANT parameter, double value);
    HRESULT Update();
    HRESULT Import(BSTR file, int16_t* success);
    HRESULT Export(BSTR file, int16_t* success);
    HRESULT Project(IDispatch* shape, IDispatch** out);
    HRESULT LookupCode(VARIANT codeName, VARIANT* out);
    HRESULT LookupConstant(VARIANT parameter, double* out);

private:
    friend class DispatchObject<CScriptCoordSys>;
    CScriptCoordSys() = default;
    ~CScriptCoordSys() override;
    // The double a parameter code names; null for any other code.
    double* ParameterSlot(int32_t code);
    void ReplaceOwned(std::unique_ptr<CCoordSys> system);

    std::unique_ptr<CCoordSys> m_owned;  // a free-standing object's system
    CCoordSys* m_cs = nullptr;
};

// The system behind an optional CoordSys object: S_OK with null when there is
// no object, E_FAIL when its system has died.
HRESULT ScriptSystemOf(CScriptCoordSys* object, CCoordSys** system);
// A counted CoordSys object for a script (null stays null).
HRESULT HandOutCoordSys(CScriptCoordSys* object, IDispatch** out);
