// Timer: the one script timer. Its ticks reach the main window, which fires
// OnTimer on the Application object.
#pragma once

#include "platform/types.h"
#include "script/script_object.h"

class CScriptTimer : public CScriptConnectable<CScriptTimer> {
public:
    static constexpr UINT kTimerId = 10101;

    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptTimer* Create() { return new CScriptTimer; }

    HRESULT get_Interval(int32_t* out);
    HRESULT put_Interval(int32_t value);
    HRESULT get_Enabled(int16_t* out);
    HRESULT put_Enabled(int16_t value);

    // Stops a running timer (the application's scripting goes away).
    void Stop();

private:
    friend class DispatchObject<CScriptTimer>;
    CScriptTimer() = default;
    ~CScriptTimer() override { Stop(); }

    int32_t m_interval = 1000;
    bool m_enabled = false;
    HWND m_window = nullptr;  // taken at the first start
};
