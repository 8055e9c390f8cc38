#include "script/type_library.h"

#include <map>
#include <memory>
#include <unordered_set>

#include "script/event_table.h"

const ScriptLibraryAttributes& ScriptHostLibAttributes() {
    static const ScriptLibraryAttributes a{ScriptLibGuid(kLibScriptHostLib), 0, 0, 0x409,
                                           u"Zarnip Scripting Host"};
    return a;
}

const std::vector<ScriptTypeEntry>& ScriptHostLibIndex() {
    static const std::vector<ScriptTypeEntry> index = {
        {kLibIApplication, u"IApplication", ScriptTypeKind::Interface, nullptr},
        {kLibIApplicationEvents, u"IApplicationEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibApplication, u"Application", ScriptTypeKind::Coclass, u"Application Class"},
        {kLibIMap, u"IMap", ScriptTypeKind::Interface, nullptr},
        {kLibIMapEvents, u"IMapEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibMap, u"Map", ScriptTypeKind::Coclass, u"Map"},
        {kLibIField, u"IField", ScriptTypeKind::Interface, nullptr},
        {kLibField, u"Field", ScriptTypeKind::Coclass, nullptr},
        {kLibIFields, u"IFields", ScriptTypeKind::Interface, nullptr},
        {kLibFields, u"Fields", ScriptTypeKind::Coclass, nullptr},
        {kLibIRecordset, u"IRecordset", ScriptTypeKind::Interface, nullptr},
        {kLibRecordset, u"Recordset", ScriptTypeKind::Coclass, nullptr},
        {kLibILayer, u"ILayer", ScriptTypeKind::Interface, nullptr},
        {kLibILayerEvents, u"ILayerEvents", ScriptTypeKind::EventInterface, u"Layer"},
        {kLibLayer, u"Layer", ScriptTypeKind::Coclass, u"Layer Class"},
        {kLibILayers, u"ILayers", ScriptTypeKind::Interface, nullptr},
        {kLibLayers, u"Layers", ScriptTypeKind::Coclass, u"Layers"},
        {kLibINavigation, u"INavigation", ScriptTypeKind::Interface, nullptr},
        {kLibINavigationEvents, u"INavigationEvents", ScriptTypeKind::EventInterface, u"Navigation"},
        {kLibNavigation, u"Navigation", ScriptTypeKind::Coclass, u"Navigation Class"},
        {kLibIToolBars, u"IToolBars", ScriptTypeKind::Interface, nullptr},
        {kLibToolBars, u"ToolBars", ScriptTypeKind::Coclass, u"ToolBars"},
        {kLibIToolBar, u"IToolBar", ScriptTypeKind::Interface, nullptr},
        {kLibToolBar, u"ToolBar", ScriptTypeKind::Coclass, u"ToolBar"},
        {kLibIToolItem, u"IToolItem", ScriptTypeKind::Interface, nullptr},
        {kLibIToolItemEvents, u"IToolItemEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibToolItem, u"ToolItem", ScriptTypeKind::Coclass, u"ToolItem Class"},
        {kLibIStatusBar, u"IStatusBar", ScriptTypeKind::Interface, nullptr},
        {kLibIStatusBarEvents, u"IStatusBarEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibStatusBar, u"StatusBar", ScriptTypeKind::Coclass, u"StatusBar Class"},
        {kLibIApplets, u"IApplets", ScriptTypeKind::Interface, nullptr},
        {kLibApplets, u"Applets", ScriptTypeKind::Coclass, u"Applets"},
        {kLibIApplet, u"IApplet", ScriptTypeKind::Interface, nullptr},
        {kLibIAppletEvents, u"IAppletEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibApplet, u"Applet", ScriptTypeKind::Coclass, u"Applet"},
        {kLibIExtension, u"IExtension", ScriptTypeKind::Interface, nullptr},
        {kLibExtension, u"Extension", ScriptTypeKind::Coclass, u"Extension"},
        {kLibIExtensions, u"IExtensions", ScriptTypeKind::Interface, nullptr},
        {kLibExtensions, u"Extensions", ScriptTypeKind::Coclass, u"Extensions"},
        {kLibIForms, u"IForms", ScriptTypeKind::Interface, nullptr},
        {kLibForms, u"Forms", ScriptTypeKind::Coclass, u"Forms"},
        {kLibIForm, u"IForm", ScriptTypeKind::Interface, nullptr},
        {kLibIFormEvents, u"IFormEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibForm, u"Form", ScriptTypeKind::Coclass, u"Form Class"},
        {kLibIPages, u"IPages", ScriptTypeKind::Interface, nullptr},
        {kLibPages, u"Pages", ScriptTypeKind::Coclass, u"Pages"},
        {kLibIPage, u"IPage", ScriptTypeKind::Interface, nullptr},
        {kLibIPageEvents, u"IPageEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibPage, u"Page", ScriptTypeKind::Coclass, u"Page Class"},
        {kLibIControls, u"IControls", ScriptTypeKind::Interface, nullptr},
        {kLibControls, u"Controls", ScriptTypeKind::Coclass, u"Controls"},
        {kLibIControl, u"IControl", ScriptTypeKind::Interface, nullptr},
        {kLibIControlEvents, u"IControlEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibControl, u"Control", ScriptTypeKind::Coclass, u"Control Class"},
        {kLibIGPS, u"IGPS", ScriptTypeKind::Interface, nullptr},
        {kLibIGPSEvents, u"IGPSEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibGPS, u"GPS", ScriptTypeKind::Coclass, u"GPS Class"},
        {kLibIAUX, u"IAUX", ScriptTypeKind::Interface, nullptr},
        {kLibIAUXEvents, u"IAUXEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibAUX, u"AUX", ScriptTypeKind::Coclass, u"AUX Class"},
        {kLibIINet, u"IINet", ScriptTypeKind::Interface, nullptr},
        {kLibIINetEvents, u"IINetEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibINet, u"INet", ScriptTypeKind::Coclass, u"Internet Class"},
        {kLibIOmbrix, u"IOmbrix", ScriptTypeKind::Interface, nullptr},
        {kLibOmbrix, u"Ombrix", ScriptTypeKind::Coclass, u"Ombrix Class"},
        {kLibIFile, u"IFile", ScriptTypeKind::Interface, nullptr},
        {kLibFile, u"File", ScriptTypeKind::Coclass, u"File"},
        {kLibITimer, u"ITimer", ScriptTypeKind::Interface, nullptr},
        {kLibITimerEvents, u"ITimerEvents", ScriptTypeKind::EventInterface, nullptr},
        {kLibTimer, u"Timer", ScriptTypeKind::Coclass, u"Timer Class"},
        {kLibISystem, u"ISystem", ScriptTypeKind::Interface, nullptr},
        {kLibSystem, u"System", ScriptTypeKind::Coclass, u"System"},
        {kLibISPoint, u"ISPoint", ScriptTypeKind::Interface, nullptr},
        {kLibSPoint, u"SPoint", ScriptTypeKind::Coclass, u"Point"},
        {kLibISRect, u"ISRect", ScriptTypeKind::Interface, nullptr},
        {kLibSRect, u"SRect", ScriptTypeKind::Coclass, u"Rect"},
        {kLibISPoints, u"ISPoints", ScriptTypeKind::Interface, nullptr},
        {kLibSPoints, u"SPoints", ScriptTypeKind::Coclass, u"Points"},
        {kLibISParts, u"ISParts", ScriptTypeKind::Interface, nullptr},
        {kLibSParts, u"SParts", ScriptTypeKind::Coclass, u"Parts"},
        {kLibISPolyline, u"ISPolyline", ScriptTypeKind::Interface, nullptr},
        {kLibSPolyline, u"SPolyline", ScriptTypeKind::Coclass, u"Polyline"},
        {kLibISPolygon, u"ISPolygon", ScriptTypeKind::Interface, nullptr},
        {kLibSPolygon, u"SPolygon", ScriptTypeKind::Coclass, u"Polygon"},
        {kLibICoordSys, u"ICoordSys", ScriptTypeKind::Interface, nullptr},
        {kLibCoordSys, u"CoordSys", ScriptTypeKind::Coclass, u"Coordinate System"},
        {kLibICommonDialog, u"ICommonDialog", ScriptTypeKind::Interface, nullptr},
        {kLibCommonDialog, u"CommonDialog", ScriptTypeKind::Coclass, u"Common Dialogs"},
        {kLibIEvent, u"IEvent", ScriptTypeKind::Interface, nullptr},
        {kLibEvent, u"Event", ScriptTypeKind::Coclass, u"Event"},
        {kLibShapeTypeEnum, u"ShapeTypeEnum", ScriptTypeKind::Enumeration, nullptr},
    };
    return index;
}

const std::vector<ShapeTypeConstant>& ShapeTypeConstants() {
    static const std::vector<ShapeTypeConstant> c = {
        {u"shapeNull", shapeNull},
        {u"shapePoint", shapePoint},
        {u"shapePolyline", shapePolyline},
        {u"shapePolygon", shapePolygon},
        {u"shapeMultiPoint", shapeMultiPoint},
        {u"shapePointZ", shapePointZ},
        {u"shapePolylineZ", shapePolylineZ},
        {u"shapePolygonZ", shapePolygonZ},
        {u"shapeMultiPointZ", shapeMultiPointZ},
        {u"shapePointM", shapePointM},
        {u"shapePolylineM", shapePolylineM},
        {u"shapePolygonM", shapePolygonM},
        {u"shapeMultiPointM", shapeMultiPointM},
        {u"shapeMultipatch", shapeMultipatch},
    };
    return c;
}

// ---- event interfaces ----

namespace {

struct EventInterfaceDecl {
    uint32_t first;
    const char16_t* name;
    std::vector<int> events;  // event ids, in id order
};

// Which interface declares which events.
const std::vector<EventInterfaceDecl>& EventInterfaceDecls() {
    static const std::vector<EventInterfaceDecl> d = {
        {kLibIApplicationEvents, u"IApplicationEvents", {1, 2, 30, 39}},
        {kLibIMapEvents, u"IMapEvents", {26, 29, 31, 32, 33}},
        {kLibILayerEvents, u"ILayerEvents", {24, 25, 31, 32, 33}},
        {kLibINavigationEvents, u"INavigationEvents", {34, 38}},
        {kLibIToolItemEvents, u"IToolItemEvents", {7, 18, 19, 20}},
        {kLibIStatusBarEvents, u"IStatusBarEvents", {}},
        {kLibIAppletEvents, u"IAppletEvents", {3}},
        {kLibIFormEvents, u"IFormEvents", {3, 4, 5, 6, 16, 17, 35}},
        {kLibIPageEvents, u"IPageEvents", {3, 4, 5, 6, 16, 17}},
        {kLibIControlEvents, u"IControlEvents", {7, 8, 9, 10, 11, 12, 13, 21, 22, 23, 28}},
        {kLibIGPSEvents, u"IGPSEvents", {14, 15, 24, 25, 36, 37, 39}},
        {kLibIAUXEvents, u"IAUXEvents", {24, 25, 27}},
        {kLibIINetEvents, u"IINetEvents", {}},
        {kLibITimerEvents, u"ITimerEvents", {30}},
    };
    return d;
}

// The library spells two events differently from the table.
const char16_t* LibraryEventName(int id) {
    if (id == 1) return u"OnStartup";
    if (id == 2) return u"OnShutdown";
    return EventNameFromId(id);
}

InterfaceDesc BuildEventInterface(const EventInterfaceDecl& decl) {
    InterfaceDesc d;
    d.iid = ScriptLibGuid(decl.first);
    d.name = decl.name;
    d.flags = TYPEFLAG_FDISPATCHABLE;  // dispatch only
    for (int id : decl.events) {
        MemberDesc m;
        m.name = LibraryEventName(id);
        m.dispid = id;
        m.kind = INVOKE_FUNC;
        d.members.push_back(std::move(m));
    }
    return d;
}

struct Registry {
    std::vector<const CoclassDesc*> coclasses;  // registration order
    std::map<WString, const CoclassDesc*> byGuid;
    // Descriptions already registered: every new object registers its class,
    // and records walked by a script make one object per field read.
    std::unordered_set<const CoclassDesc*> registered;
};

Registry*& TheRegistryPtr() {
    static Registry* r = nullptr;
    return r;
}

Registry& TheRegistry() {
    Registry*& r = TheRegistryPtr();
    if (!r) r = new Registry();
    return *r;
}

WString Key(const GUID& g) { return GuidToString(g); }

}  // namespace

const std::vector<const InterfaceDesc*>& ScriptEventInterfaces() {
    static const std::vector<InterfaceDesc> descs = [] {
        std::vector<InterfaceDesc> v;
        for (const EventInterfaceDecl& decl : EventInterfaceDecls())
            v.push_back(BuildEventInterface(decl));
        return v;
    }();
    static const std::vector<const InterfaceDesc*> all = [] {
        std::vector<const InterfaceDesc*> v;
        for (const InterfaceDesc& d : descs) v.push_back(&d);
        return v;
    }();
    return all;
}

const InterfaceDesc* ScriptEventInterface(uint32_t first) {
    const GUID g = ScriptLibGuid(first);
    for (const InterfaceDesc* d : ScriptEventInterfaces())
        if (d->iid == g) return d;
    return nullptr;
}

// ---- the registry ----

bool RegisterScriptCoclass(const CoclassDesc& coclass) {
    Registry& r = TheRegistry();
    if (r.registered.count(&coclass)) return true;
    const WString clsid = Key(coclass.clsid);
    auto it = r.byGuid.find(clsid);
    if (it != r.byGuid.end()) return it->second == &coclass;
    if (coclass.defaultInterface) {
        const WString iid = Key(coclass.defaultInterface->iid);
        if (r.byGuid.count(iid)) return false;
        r.byGuid[iid] = &coclass;
    }
    r.byGuid[clsid] = &coclass;
    r.coclasses.push_back(&coclass);
    r.registered.insert(&coclass);
    return true;
}

const CoclassDesc* FindScriptCoclass(const GUID& guid) {
    Registry& r = TheRegistry();
    auto it = r.byGuid.find(Key(guid));
    return it == r.byGuid.end() ? nullptr : it->second;
}

std::vector<const CoclassDesc*> RegisteredScriptCoclasses() { return TheRegistry().coclasses; }

HRESULT GetScriptTypeInfo(const WChar*, const GUID& guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (const CoclassDesc* c = FindScriptCoclass(guid)) {
        if (c->clsid == guid) {
            *out = GetTypeInfoFor(*c);
            return S_OK;
        }
        *out = GetTypeInfoFor(*c->defaultInterface);
        return S_OK;
    }
    for (const InterfaceDesc* d : ScriptEventInterfaces()) {
        if (d->iid == guid) {
            *out = GetTypeInfoFor(*d);
            return S_OK;
        }
    }
    return E_FAIL;
}

bool CheckScriptTypeRegistry() {
    bool ok = true;
    for (const CoclassDesc* c : RegisteredScriptCoclasses()) {
        ComPtr<ITypeInfo> byClass, byInterface;
        if (FAILED(GetScriptTypeInfo(nullptr, c->clsid, byClass.Receive())) ||
            byClass->GetCoclassDesc() != c)
            ok = false;
        if (!c->defaultInterface ||
            FAILED(GetScriptTypeInfo(nullptr, c->defaultInterface->iid, byInterface.Receive())) ||
            byInterface->GetInterfaceDesc() != c->defaultInterface)
            ok = false;
    }
    return ok;
}

void ResetScriptTypeRegistryForTests() {
    Registry*& r = TheRegistryPtr();
    delete r;
    r = nullptr;
}
