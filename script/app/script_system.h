// System: the device's processor and operating system, its special folders,
// and the window functions (find, show, send and post a message).
#pragma once

#include "script/script_object.h"

// The values System reports, read once.
struct SystemFacts {
    int32_t processorArchitecture = 0;
    int32_t processorType = 0;
    int32_t processorLevel = 0;
    int32_t processorRevision = 0;
    int32_t platformId = 0;
    int32_t majorVersion = 0;
    int32_t minorVersion = 0;
    int32_t buildNumber = 0;
    WString csdVersion;
};
// The running system's facts: the machine and release of the kernel, the
// processor information file's family, model and stepping.
SystemFacts ReadSystemFacts();
// The same from the texts (tests): the machine name, the kernel's release
// and version, the processor information file's text.
SystemFacts SystemFactsFrom(const std::string& machine, const std::string& release,
                            const std::string& version, const std::string& cpuinfo);

class CScriptSystem : public CScriptObject<CScriptSystem> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptSystem* Create();

    HRESULT get_Properties(BSTR name, VARIANT* out);
    HRESULT FindWindow(BSTR className, VARIANT windowName, int32_t* out);
    HRESULT ShowWindow(int32_t hwnd, int32_t cmdShow, int16_t* out);
    HRESULT SendMessage(int32_t hwnd, int32_t msg, int32_t wParam, int32_t lParam, int32_t* out);
    HRESULT PostMessage(int32_t hwnd, int32_t msg, int32_t wParam, int32_t lParam, int32_t* out);

private:
    friend class DispatchObject<CScriptSystem>;
    CScriptSystem() = default;
    ~CScriptSystem() override = default;

    SystemFacts m_facts;
};
