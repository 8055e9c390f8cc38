// ToolBars: the main window's command bars, as a collection of ToolBar
// objects.
#pragma once

#include "script/script_object.h"

class CCommandBars;

class CScriptToolBars : public CScriptObject<CScriptToolBars> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptToolBars* Create() { return new CScriptToolBars; }

    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);

    // The main frame's bars, null without a main frame.
    static CCommandBars* FrameBars();

private:
    friend class DispatchObject<CScriptToolBars>;
    CScriptToolBars() = default;
    ~CScriptToolBars() override = default;
};
