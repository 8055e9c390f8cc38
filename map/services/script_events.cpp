#include "map/services/script_events.h"

#include "core/xml_node.h"
#include "platform/com/variant.h"

namespace {

class CPlainScriptObject final : public UntypedDispatch {
public:
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t count, LCID,
                          DISPID* ids) override {
        for (uint32_t i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                   uint32_t*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch; }
};

class CScriptingOff final : public IScriptServices {
public:
    void FireScriptEvent(IDispatch*, int, bool, int) override {}
    IDispatch* CreateLayerObject(CLayer*) override { return CreatePlainScriptObject(); }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return nullptr; }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
};

IScriptServices* g_services = nullptr;

}  // namespace

IDispatch* CreatePlainScriptObject() { return new CPlainScriptObject(); }

IScriptServices* GetScriptServices() {
    static CScriptingOff off;
    return g_services ? g_services : &off;
}

void SetScriptServices(IScriptServices* services) { g_services = services; }
