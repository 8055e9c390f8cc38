#include "shell/extensions/extensions.h"

#include <algorithm>

#include "map/layers/layer_factory.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/win/menu.h"
#include "shell/extensions/ext_feature_layer.h"
#include "shell/extensions/ext_image_layer.h"
#include "shell/extensions/extension_bars.h"
#include "shell/extensions/gps_extension.h"

namespace {

std::function<IDispatch*(CExtensions*)>& CollectionFactory() {
    static std::function<IDispatch*(CExtensions*)> factory;
    return factory;
}

}  // namespace

void RegisterExtensionLayerClass() {
    SetLayerClass(LayerKind::Extension, [](const LayerExtensionInfo* info) -> std::unique_ptr<CLayer> {
        if (!info || !info->extension) return nullptr;
        if (info->layerType == 1) return std::make_unique<CExtFeatureLayer>(info);
        if (info->layerType == 2) return std::make_unique<CExtImageLayer>(info);
        return nullptr;
    });
}

void CExtensions::SetCollectionObjectFactory(std::function<IDispatch*(CExtensions*)> factory) {
    CollectionFactory() = std::move(factory);
}

CExtensions::CExtensions() = default;

CExtensions::~CExtensions() {
    if (m_scriptObject) m_scriptObject->Release();
    m_bars.reset();
    // Freed in reverse load order.
    while (!m_list.empty()) m_list.pop_back();
}

void CExtensions::LoadAll(HWND frame) { LoadFolder(fs::GetProgramFolder() + u"\\Extensions", frame); }

void CExtensions::LoadFolder(const WString& folder, HWND frame) {
    std::vector<WString> names;
    fs::FindData data;
    fs::FindHandle* find = fs::FindFirstFile(folder + u"\\*.so", &data);
    if (find) {
        do {
            if (!(data.attributes & fs::kAttrDirectory)) names.push_back(data.fileName);
        } while (fs::FindNextFile(find, &data));
        fs::FindClose(find);
    }
    // The same order on every machine, whatever order the folder lists.
    std::sort(names.begin(), names.end(),
              [](const WString& a, const WString& b) { return text::ToUtf8(a) < text::ToUtf8(b); });
    for (const WString& name : names)
        if (auto extension = CreateExtension(folder + u"\\" + name, frame)) Add(std::move(extension));
}

void CExtensions::Add(std::unique_ptr<CExtension> extension) {
    if (!extension) return;
    if (extension->HasPreTranslateMessage()) m_hook = true;
    m_list.push_back(std::move(extension));
}

bool CExtensions::PreTranslateMessage(MSG* msg) {
    if (!m_hook || m_terminated) return false;
    for (const auto& extension : m_list)
        if (extension->PreTranslateMessage(msg)) return true;
    return false;
}

void CExtensions::TerminateAll() {
    if (m_terminated) return;
    m_terminated = true;
    for (const auto& extension : m_list) extension->Terminate();
}

const LayerExtensionInfo* CExtensions::FindLayerExtension(WStringView path) {
    if (m_terminated) return nullptr;
    for (const auto& extension : m_list)
        if (auto* layer = dynamic_cast<CLayerExtension*>(extension.get()); layer && layer->IsValidPath(path))
            return layer->GetLayerInfo();
    return nullptr;
}

IBarExtensions* CExtensions::GetBarExtensions() {
    if (m_list.empty()) return nullptr;
    if (!m_bars) m_bars = std::make_unique<CExtensionBars>(*this);
    return m_bars.get();
}

IGpsProtocolExtension* CExtensions::FindGpsExtension(uint32_t code) {
    if (m_terminated) return nullptr;
    for (const auto& extension : m_list)
        if (extension->GetCode() == code)
            if (auto* gps = dynamic_cast<CGpsExtension*>(extension.get())) return gps;
    return nullptr;
}

CExtension* CExtensions::GetAt(int index) const {
    return index >= 0 && index < static_cast<int>(m_list.size()) ? m_list[index].get() : nullptr;
}

ExtensionInfo CExtensions::GetExtensionInfo(int index) {
    ExtensionInfo info;
    if (const CExtension* e = GetAt(index)) {
        info.name = e->GetName();
        info.code = e->GetCodeText();
        info.kind = e->GetKindValue() & 0xFFFF;
        info.smallIcon = e->GetSmallIcon();
        info.modulePath = e->GetDevicePath();
        info.hasProperties = e->HasDialogProperties();
    }
    return info;
}

bool CExtensions::ShowExtensionProperties(int index, HWND parent) {
    CExtension* e = GetAt(index);
    return e && e->HasDialogProperties() && e->DialogProperties(parent);
}

CExtension* CExtensions::FindByCode(uint32_t code) const {
    for (const auto& extension : m_list)
        if (extension->GetCode() == code) return extension.get();
    return nullptr;
}

void CExtensions::FillNameMenu(HMENU menu, UINT firstId) const {
    UINT id = firstId;
    for (const auto& extension : m_list) AppendMenu(menu, MF_STRING, id++, extension->GetName().c_str());
}

int CExtensions::CountToolsOfClass(int toolClass) const {
    int count = 0;
    for (const auto& extension : m_list) {
        const int tools = extension->GetToolCount();
        for (int i = 0; i < tools; ++i)
            if (static_cast<int>((extension->GetToolType(i) >> 16) & 0xFF) == toolClass) ++count;
    }
    return count;
}

IDispatch* CExtensions::GetScriptObject(bool add) {
    if (!m_scriptObject && CollectionFactory()) m_scriptObject = CollectionFactory()(this);
    if (m_scriptObject && add) m_scriptObject->AddRef();
    return m_scriptObject;
}
