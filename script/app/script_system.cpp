#include "script/app/script_system.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "core/shell_helpers.h"
#include "platform/sys/device.h"
#include "platform/win/message_pointers.h"
#include "platform/win/window.h"
#include "script/member_ids.h"

namespace {

// The leading number of a text ("6.1.0-18-amd64" -> 6), moving past it and
// one separator.
int32_t TakeNumber(const std::string& s, size_t& at) {
    int32_t v = 0;
    bool any = false;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') {
        v = v * 10 + (s[at++] - '0');
        any = true;
        if (v > 1000000) break;
    }
    if (any && at < s.size() && s[at] == '.') ++at;
    else at = s.size();
    return v;
}

// A "name : value" line of the processor information file, first processor.
int32_t CpuField(const std::string& cpuinfo, const std::string& name, int base = 10) {
    std::istringstream in(cpuinfo);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) break;  // the first processor's block ends
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        if (key != name) continue;
        std::string value = line.substr(colon + 1);
        size_t start = value.find_first_not_of(" \t");
        if (start == std::string::npos) return 0;
        try {
            return static_cast<int32_t>(std::stol(value.substr(start), nullptr, base));
        } catch (...) {
            return 0;
        }
    }
    return 0;
}

}  // namespace

SystemFacts SystemFactsFrom(const std::string& machine, const std::string& release,
                            const std::string& version, const std::string& cpuinfo) {
    SystemFacts f;
    // The platform's processor numbering.
    constexpr int32_t kArchIntel = 0, kArchArm = 5, kArchAmd64 = 9, kArchArm64 = 12;
    if (machine == "x86_64") {
        f.processorArchitecture = kArchAmd64;
        f.processorType = 8664;
    } else if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
        f.processorArchitecture = kArchIntel;
        f.processorType = 386 + (machine[1] - '3') * 100;
    } else if (machine == "aarch64" || machine == "arm64") {
        f.processorArchitecture = kArchArm64;
    } else if (machine.rfind("arm", 0) == 0) {
        f.processorArchitecture = kArchArm;
    } else {
        f.processorArchitecture = 0xFFFF;  // unknown
    }
    if (f.processorArchitecture == kArchAmd64 || f.processorArchitecture == kArchIntel) {
        f.processorLevel = CpuField(cpuinfo, "cpu family");
        f.processorRevision = (CpuField(cpuinfo, "model") << 8) | CpuField(cpuinfo, "stepping");
    } else if (f.processorArchitecture == kArchArm64 || f.processorArchitecture == kArchArm) {
        f.processorLevel = CpuField(cpuinfo, "CPU architecture");
        f.processorRevision = (CpuField(cpuinfo, "CPU variant", 16) << 8) | CpuField(cpuinfo, "CPU revision");
    }
    size_t at = 0;
    f.majorVersion = TakeNumber(release, at);
    f.minorVersion = TakeNumber(release, at);
    f.buildNumber = TakeNumber(release, at);
    f.platformId = static_cast<int32_t>(sys::GetPlatformId());
    f.csdVersion = text::FromUtf8(version);
    return f;
}

SystemFacts ReadSystemFacts() {
    struct utsname u {};
    uname(&u);
    std::ifstream in("/proc/cpuinfo");
    std::stringstream cpu;
    cpu << in.rdbuf();
    return SystemFactsFrom(u.machine, u.release, u.version, cpu.str());
}

const InterfaceDesc& CScriptSystem::Desc() {
    using C = CScriptSystem;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISystem", ScriptLibGuid(kLibISystem))
            .PropGet(u"Properties", dispid::prop::Properties, &C::get_Properties, {Param(u"Property")})
            .Method(u"FindWindow", m::FindWindow, &C::FindWindow,
                    {Param(u"ClassName"), Param(u"WindowName").Optional()})
            .Method(u"ShowWindow", m::ShowWindow, &C::ShowWindow, {Param(u"hWnd"), Param(u"CmdShow")},
                    VT_BOOL)
            .Method(u"SendMessage", m::SendMessage, &C::SendMessage,
                    {Param(u"hWnd"), Param(u"Msg"), Param(u"wParam").Optional(int32_t{0}),
                     Param(u"lParam").Optional(int32_t{0})})
            .Method(u"PostMessage", m::PostMessage, &C::PostMessage,
                    {Param(u"hWnd"), Param(u"Msg"), Param(u"wParam").Optional(int32_t{0}),
                     Param(u"lParam").Optional(int32_t{0})})
            .Build();
    return d;
}

const CoclassDesc& CScriptSystem::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSystem), u"System", &Desc(), nullptr};
    return c;
}

CScriptSystem* CScriptSystem::Create() {
    auto* o = new CScriptSystem;
    o->m_facts = ReadSystemFacts();
    return o;
}

HRESULT CScriptSystem::get_Properties(BSTR name, VARIANT* out) {
    WStringView n = BstrView(name);
    const SystemFacts& f = m_facts;
    const struct {
        const char16_t* name;
        int32_t value;
    } numbers[] = {
        {u"ProcessorArchitecture", f.processorArchitecture},
        {u"ProcessorType", f.processorType},
        {u"ProcessorLevel", f.processorLevel},
        {u"ProcessorRevision", f.processorRevision},
        {u"PlatformId", f.platformId},
        {u"MajorVersion", f.majorVersion},
        {u"MinorVersion", f.minorVersion},
        {u"BuildNumber", f.buildNumber},
    };
    for (const auto& e : numbers)
        if (text::EqualsNoCase(n, e.name)) {
            VariantFromLong(out, e.value);
            return S_OK;
        }
    if (text::EqualsNoCase(n, u"CSDVersion")) {
        VariantFromString(out, f.csdVersion);
        return S_OK;
    }
    if (text::EqualsNoCase(n, u"PersonalFolder")) {
        VariantFromString(out, GetSpecialFolderPath(win::GetMainWindow(), kFolderPersonal));
        return S_OK;
    }
    if (text::EqualsNoCase(n, u"TempPath")) {
        VariantFromString(out, GetTempFolder());
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT CScriptSystem::FindWindow(BSTR className, VARIANT windowName, int32_t* out) {
    WString cls(BstrView(className));
    WString title;
    const VARIANT* v = VariantDeref(&windowName);
    if (v->vt != VT_ERROR && v->vt != VT_EMPTY && v->vt != VT_NULL) {
        ComVariant s;
        if (FAILED(VariantChangeType(&s, v, 0, VT_BSTR))) return E_INVALIDARG;
        title = BstrView(s.bstrVal);
    }
    HWND found = ::FindWindow(cls.empty() ? nullptr : cls.c_str(), title.empty() ? nullptr : title.c_str());
    *out = static_cast<int32_t>(HandleToToken(found));
    return S_OK;
}

HRESULT CScriptSystem::ShowWindow(int32_t hwnd, int32_t cmdShow, int16_t* out) {
    *out = ::ShowWindow(TokenToHandle<HWND>(static_cast<uint32_t>(hwnd)), cmdShow) ? VARIANT_TRUE
                                                                                   : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptSystem::SendMessage(int32_t hwnd, int32_t msg, int32_t wParam, int32_t lParam, int32_t* out) {
    HWND target = TokenToHandle<HWND>(static_cast<uint32_t>(hwnd));
    // A script's numbers are never addresses.
    if (win::MessageCarriesPointer(target, static_cast<UINT>(msg))) return E_INVALIDARG;
    *out = static_cast<int32_t>(::SendMessage(target, static_cast<UINT>(msg),
                                              static_cast<WPARAM>(static_cast<uint32_t>(wParam)),
                                              static_cast<LPARAM>(lParam)));
    return S_OK;
}

HRESULT CScriptSystem::PostMessage(int32_t hwnd, int32_t msg, int32_t wParam, int32_t lParam, int32_t* out) {
    HWND target = TokenToHandle<HWND>(static_cast<uint32_t>(hwnd));
    if (win::MessageCarriesPointer(target, static_cast<UINT>(msg))) return E_INVALIDARG;
    *out = ::PostMessage(target, static_cast<UINT>(msg), static_cast<WPARAM>(static_cast<uint32_t>(wParam)),
                         static_cast<LPARAM>(lParam))
               ? 1
               : 0;  // the platform's TRUE
    return S_OK;
}
