// ScriptHostLib: the program's own type library. There is no library file:
// the index below lists its types in the library's own order, each class
// declares its interface beside itself (one InterfaceBuilder table), and
// each coclass registers its description here when its first object is
// made. The script host answers the engines' type information requests from
// this registry.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com/typeinfo.h"

// The first group of each identifier; the other four groups are the
// program's own (MakeProgramGuid).
enum ScriptLibType : uint32_t {
    kLibScriptHostLib = 0x1,
    kLibIApplication = 0x2,
    kLibIApplicationEvents = 0x3,
    kLibApplication = 0x4,
    kLibIMap = 0x5,
    kLibIMapEvents = 0x6,
    kLibMap = 0x7,
    kLibILayer = 0x8,
    kLibILayerEvents = 0x9,
    kLibLayer = 0xA,
    kLibILayers = 0xB,
    kLibLayers = 0xC,
    kLibIField = 0xD,
    kLibField = 0xE,
    kLibIFields = 0xF,
    kLibFields = 0x10,
    kLibIRecordset = 0x11,
    kLibRecordset = 0x12,
    kLibINavigation = 0x13,
    kLibINavigationEvents = 0x14,
    kLibNavigation = 0x15,
    kLibIToolBars = 0x100,
    kLibToolBars = 0x101,
    kLibIToolBar = 0x102,
    kLibToolBar = 0x103,
    kLibIToolItem = 0x104,
    kLibIToolItemEvents = 0x105,
    kLibToolItem = 0x106,
    kLibIStatusBar = 0x107,
    kLibIStatusBarEvents = 0x108,
    kLibStatusBar = 0x109,
    kLibIApplets = 0x10A,
    kLibApplets = 0x10B,
    kLibIApplet = 0x10C,
    kLibIAppletEvents = 0x10D,
    kLibApplet = 0x10E,
    kLibIExtension = 0x10F,
    kLibExtension = 0x110,
    kLibIExtensions = 0x111,
    kLibExtensions = 0x112,
    kLibIForms = 0x200,
    kLibForms = 0x201,
    kLibIForm = 0x202,
    kLibIFormEvents = 0x203,
    kLibForm = 0x204,
    kLibIPages = 0x205,
    kLibPages = 0x206,
    kLibIPage = 0x207,
    kLibIPageEvents = 0x208,
    kLibPage = 0x209,
    kLibIControls = 0x20A,
    kLibControls = 0x20B,
    kLibIControl = 0x20C,
    kLibIControlEvents = 0x20D,
    kLibControl = 0x20E,
    kLibIGPS = 0x300,
    kLibIGPSEvents = 0x301,
    kLibGPS = 0x302,
    kLibIAUX = 0x303,
    kLibIAUXEvents = 0x304,
    kLibAUX = 0x305,
    kLibIINet = 0x400,
    kLibIINetEvents = 0x401,
    kLibINet = 0x402,
    kLibIOmbrix = 0x403,
    kLibOmbrix = 0x404,
    kLibIFile = 0x406,
    kLibFile = 0x407,
    kLibITimer = 0x408,
    kLibITimerEvents = 0x409,
    kLibTimer = 0x40A,
    kLibISystem = 0x40B,
    kLibSystem = 0x40C,
    kLibISPoint = 0x500,
    kLibSPoint = 0x501,
    kLibISRect = 0x502,
    kLibSRect = 0x503,
    kLibISPoints = 0x504,
    kLibSPoints = 0x505,
    kLibISParts = 0x506,
    kLibSParts = 0x507,
    kLibISPolyline = 0x508,
    kLibSPolyline = 0x509,
    kLibISPolygon = 0x50A,
    kLibSPolygon = 0x50B,
    kLibICoordSys = 0x600,
    kLibCoordSys = 0x601,
    kLibICommonDialog = 0x700,
    kLibCommonDialog = 0x701,
    kLibIEvent = 0xE00,
    kLibEvent = 0xE01,
    kLibShapeTypeEnum = 0xE0000001,
};

// The identifier of a library type.
constexpr GUID ScriptLibGuid(uint32_t first) { return MakeProgramGuid(first); }

enum class ScriptTypeKind { Interface, EventInterface, Coclass, Enumeration };

struct ScriptTypeEntry {
    uint32_t first;        // the identifier's first group
    const char16_t* name;  // as the library spells it
    ScriptTypeKind kind;
    const char16_t* help;  // the coclass's help string, else null
};

// The library itself.
struct ScriptLibraryAttributes {
    GUID guid;
    uint16_t majorVersion;
    uint16_t minorVersion;
    LCID lcid;
    const char16_t* help;
};
const ScriptLibraryAttributes& ScriptHostLibAttributes();

// The 91 type descriptions in the library's order.
const std::vector<ScriptTypeEntry>& ScriptHostLibIndex();

// The shape types of the library's enumeration.
enum ShapeTypeEnum : int32_t {
    shapeNull = 0,
    shapePoint = 1,
    shapePolyline = 3,
    shapePolygon = 5,
    shapeMultiPoint = 8,
    shapePointZ = 11,
    shapePolylineZ = 13,
    shapePolygonZ = 15,
    shapeMultiPointZ = 18,
    shapePointM = 21,
    shapePolylineM = 23,
    shapePolygonM = 25,
    shapeMultiPointM = 28,
    shapeMultipatch = 31,
};
struct ShapeTypeConstant {
    const char16_t* name;
    ShapeTypeEnum value;
};
const std::vector<ShapeTypeConstant>& ShapeTypeConstants();

// ---- the event interfaces ----

// Every event interface of the library, built from the event table (each
// method an event name in the library's spelling, its DISPID the event id).
const std::vector<const InterfaceDesc*>& ScriptEventInterfaces();
// The event interface with that first group (kLibIMapEvents, ...); null
// for any other.
const InterfaceDesc* ScriptEventInterface(uint32_t first);

// ---- the coclass registry ----

// Registers a coclass under its class id and under its default interface's
// IID (one coclass per interface). Registering the same one again changes
// nothing; false when another description holds either identifier.
bool RegisterScriptCoclass(const CoclassDesc& coclass);
// The coclass registered under a class id or an interface IID.
const CoclassDesc* FindScriptCoclass(const GUID& guid);
// Every registered coclass, in registration order.
std::vector<const CoclassDesc*> RegisteredScriptCoclasses();
// True when every registered coclass resolves, by its class id and by its
// interface (the start-up check).
bool CheckScriptTypeRegistry();

// The type information of a coclass (by class id), an interface (by IID) or
// an event interface. The path names the library file on the handheld; the
// library is compiled in, so it is not read. E_FAIL for an unknown GUID.
HRESULT GetScriptTypeInfo(const WChar* path, const GUID& guid, ITypeInfo** out);

// Forgets every registration (tests).
void ResetScriptTypeRegistryForTests();
