#include "shell/extensions/extension.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/double_rect.h"
#include "gps/gps.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/win/window.h"
#include "shell/extensions/gps_extension.h"
#include "shell/extensions/layer_extension.h"

static_assert(sizeof(ZnxMsg) == sizeof(MSG) && offsetof(ZnxMsg, message) == offsetof(MSG, message) &&
              offsetof(ZnxMsg, wParam) == offsetof(MSG, wParam) &&
              offsetof(ZnxMsg, lParam) == offsetof(MSG, lParam) &&
              offsetof(ZnxMsg, time) == offsetof(MSG, time) && offsetof(ZnxMsg, ptX) == offsetof(MSG, pt));
static_assert(sizeof(ZnxVariant) == sizeof(VARIANT) && offsetof(ZnxVariant, value) == offsetof(VARIANT, lVal));

namespace {

ExtensionObjectFactory& ObjectFactory() {
    static ExtensionObjectFactory factory;
    return factory;
}

std::string Narrow(const WString& s) { return text::ToUtf8(s); }

// The file name before the first ".".
WString StemOf(const WString& fileName) { return fileName.substr(0, fileName.find(u'.')); }

// The first icon group of the .res file beside the module, at 16 pixels.
HICON LoadSmallIcon(const WString& devicePath) {
    if (devicePath.empty()) return nullptr;
    WString resPath = devicePath;
    const size_t dot = resPath.rfind(u'.');
    const size_t slash = resPath.rfind(u'\\');
    if (dot != WString::npos && (slash == WString::npos || dot > slash)) resPath.resize(dot);
    resPath += u".res";
    std::shared_ptr<res::ResourceModule> module = res::ResourceModule::FromFile(fs::HostPath(resPath));
    if (!module) return nullptr;
    const res::Resource* group = nullptr;
    for (const res::Resource& r : module->Resources())
        if (r.type.IsOrdinal() && r.type.id == res::RT_GROUP_ICON) {
            group = &r;
            break;
        }
    if (!group) return nullptr;
    const res::ResName name = group->name;
    HINSTANCE instance = res::RegisterModule(module);
    HICON icon = name.IsOrdinal()
                     ? LoadIcon(instance, reinterpret_cast<const WChar*>(static_cast<uintptr_t>(name.id)), 16)
                     : LoadIcon(instance, name.name.c_str(), 16);
    res::UnregisterModule(instance);
    return icon;
}

}  // namespace

WString ReadExtensionText(const std::function<int32_t(char16_t* buffer)>& call) {
    const int32_t length = call(nullptr);
    if (length < 1 || length > kMaxExtensionText) return {};
    std::vector<char16_t> buffer(static_cast<size_t>(length) + 1, u'\0');
    call(buffer.data());
    buffer[static_cast<size_t>(length)] = u'\0';
    return WString(buffer.data());
}

WString CodeToString(uint32_t code) {
    WString text;
    for (int i = 0; i < 4; ++i) {
        const char16_t c = static_cast<char16_t>((code >> (8 * i)) & 0xFF);
        if (c == 0) break;
        text += c;
    }
    return text;
}

uint32_t CodeFromText(WStringView text) { return GpsProtocolFromText(WString(text.substr(0, 4)).c_str()); }

void SetExtensionObjectFactory(ExtensionObjectFactory factory) { ObjectFactory() = std::move(factory); }

CExtension::CExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind)
    : m_library(std::move(library)), m_kind(kind) {}

CExtension::~CExtension() {
    if (m_scriptObject) m_scriptObject->Release();
    if (m_smallIcon) DestroyIcon(m_smallIcon);
}

bool CExtension::Bind(const EntryLookup& lookup) {
    BindOne(lookup, ZNEX_NAME_TERMINATE, m_terminate);
    BindOne(lookup, ZNEX_NAME_GET_PROPERTY, m_getProperty);
    BindOne(lookup, ZNEX_NAME_SET_PROPERTY, m_setProperty);
    BindOne(lookup, ZNEX_NAME_DIALOG_ABOUT, m_dialogAbout);
    BindOne(lookup, ZNEX_NAME_DIALOG_PROPERTIES, m_dialogProperties);
    BindOne(lookup, ZNEX_NAME_PRE_TRANSLATE_MESSAGE, m_preTranslateMessage);
    BindOne(lookup, ZNEX_NAME_ESCAPE, m_escape);
    BindOne(lookup, ZNEX_NAME_AUX, m_aux);
    BindOne(lookup, ZNEX_NAME_TOOL, m_tool);
    return BindKind(lookup);
}

void CExtension::ReadIdentity(const WString& fileName, const WString& devicePath) {
    m_devicePath = devicePath;
    m_smallIcon = LoadSmallIcon(devicePath);
    m_name = ReadExtensionText([this](char16_t* buffer) { return GetProperty(ZNEX_PROP_NAME, 0, buffer); });
    if (m_name.empty()) m_name = fileName;
    uint8_t code[4] = {0, 0, 0, 0};
    if (GetProperty(ZNEX_PROP_CODE, 0, code) > 0) {
        m_code = static_cast<uint32_t>(code[0]) | static_cast<uint32_t>(code[1]) << 8 |
                 static_cast<uint32_t>(code[2]) << 16 | static_cast<uint32_t>(code[3]) << 24;
    } else {
        m_code = CodeFromText(StemOf(fileName));
    }
}

IDispatch* CExtension::GetDispatch(bool add) {
    if (!m_scriptObject && ObjectFactory()) m_scriptObject = ObjectFactory()(this);
    if (m_scriptObject && add) m_scriptObject->AddRef();
    return m_scriptObject;
}

int32_t CExtension::GetProperty(int32_t id, int32_t index, void* buffer) {
    return m_getProperty && !m_terminated ? m_getProperty(id, index, buffer) : 0;
}

bool CExtension::PreTranslateMessage(MSG* msg) {
    return m_preTranslateMessage && !m_terminated &&
           m_preTranslateMessage(reinterpret_cast<ZnxMsg*>(msg)) != 0;
}

void CExtension::Terminate() {
    if (m_terminated) return;
    m_terminated = true;
    if (m_terminate) m_terminate();
}

bool CExtension::DialogAbout(HWND parent) {
    if (!m_dialogAbout || m_terminated) return false;
    m_dialogAbout(parent, nullptr);
    return true;
}

bool CExtension::DialogProperties(HWND parent) {
    return m_dialogProperties && !m_terminated && m_dialogProperties(parent, nullptr) > 0;
}

HRESULT CExtension::Escape(uint32_t handle, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result) {
    if (!m_escape || m_terminated) return E_NOTIMPL;
    return m_escape(handle, reinterpret_cast<ZnxVariant*>(arg1), reinterpret_cast<ZnxVariant*>(arg2),
                    reinterpret_cast<ZnxVariant*>(arg3), reinterpret_cast<ZnxVariant*>(result));
}

void CExtension::Aux(int device, int code, void* handle, const char* text, int length) {
    if (m_aux && !m_terminated) m_aux(device, code, HandleToToken(handle), text, length);
}

int CExtension::RunTool(int tool, HWND mainWindow, uint32_t layerHandle, const CDoubleRect* extent) {
    if (!m_tool || m_terminated) return 0;
    // The module gets a copy: what it writes there changes nothing.
    ZnxRect copy{0, 0, 0, 0};
    if (extent) copy = {extent->xmin, extent->ymin, extent->xmax, extent->ymax};
    return m_tool(tool, mainWindow, layerHandle, 0, &copy);
}

int CExtension::GetToolCount() {
    if (!m_tool) return 0;
    const int32_t count = GetProperty(ZNEX_PROP_TOOL_COUNT, 0, nullptr);
    return count > 0 ? count : 0;
}

DWORD CExtension::GetToolType(int tool) {
    return static_cast<DWORD>(GetProperty(ZNEX_PROP_TOOL_TYPE, tool, nullptr));
}

WString CExtension::GetToolName(int tool) {
    WString name =
        ReadExtensionText([this, tool](char16_t* buffer) { return GetProperty(ZNEX_PROP_TOOL_NAME, tool, buffer); });
    return name.empty() ? text::Format(u"Tool %d", tool) : name;
}

int CExtension::GetToolIcon(int tool) {
    const int32_t icon = GetProperty(ZNEX_PROP_TOOL_ICON, tool, nullptr);
    return icon < 0 ? -1 : icon;
}

std::unique_ptr<CExtension> CreateExtension(const WString& fileName, const WString& devicePath,
                                            const EntryLookup& lookup, HWND mainWindow,
                                            std::unique_ptr<sys::DynamicLibrary> library) {
    auto initialize = reinterpret_cast<ZNExInitializeFn>(lookup(ZNEX_NAME_INITIALIZE));
    if (!initialize) {
        std::fprintf(stderr, "zarnip: %s is not an extension (no %s)\n", Narrow(fileName).c_str(),
                     ZNEX_NAME_INITIALIZE);
        return nullptr;
    }
    const uint32_t kind = static_cast<uint32_t>(initialize(mainWindow));
    std::unique_ptr<CExtension> extension;
    switch (static_cast<ExtensionKind>(kind & 0xFFFF)) {
        case ExtensionKind::FeatureLayer:
        case ExtensionKind::ImageLayer:
            extension = std::make_unique<CLayerExtension>(std::move(library), kind);
            break;
        case ExtensionKind::Gps:
            extension = std::make_unique<CGpsExtension>(std::move(library), kind);
            break;
    }
    if (!extension) {
        // It was initialised all the same: let it clean up before it goes.
        if (auto terminate = reinterpret_cast<ZNExTerminateFn>(lookup(ZNEX_NAME_TERMINATE))) terminate();
        std::fprintf(stderr, "zarnip: %s answered kind 0x%08X: not an extension\n", Narrow(fileName).c_str(),
                     kind);
        return nullptr;
    }
    if (!extension->Bind(lookup)) {
        extension->Terminate();
        std::fprintf(stderr, "zarnip: %s lacks a required entry point and is not loaded\n",
                     Narrow(fileName).c_str());
        return nullptr;
    }
    extension->ReadIdentity(fileName, devicePath);
    if (auto* layer = dynamic_cast<CLayerExtension*>(extension.get())) layer->SetIcon(extension->GetSmallIcon());
    return extension;
}

std::unique_ptr<CExtension> CreateExtension(const WString& devicePath, HWND mainWindow) {
    auto library = std::make_unique<sys::DynamicLibrary>();
    if (!library->Load(fs::HostPath(devicePath))) {
        std::fprintf(stderr, "zarnip: extension not loaded: %s\n", library->ErrorText().c_str());
        return nullptr;
    }
    const size_t slash = devicePath.rfind(u'\\');
    const WString fileName = slash == WString::npos ? devicePath : devicePath.substr(slash + 1);
    sys::DynamicLibrary* raw = library.get();
    return CreateExtension(fileName, devicePath, [raw](const char* name) { return raw->Find(name); },
                           mainWindow, std::move(library));
}
