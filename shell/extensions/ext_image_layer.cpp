#include "shell/extensions/ext_image_layer.h"

#include "platform/win/window.h"

CExtImageLayer::CExtImageLayer(const LayerExtensionInfo* info)
    : m_info(info), m_extension(info ? static_cast<CLayerExtension*>(info->extension) : nullptr) {
    SetKind(LayerKind::Extension);
    SetCategory(LayerCategory::Image);
    SetDisplayClass(DisplayClass::Image);
}

CExtImageLayer::~CExtImageLayer() { CloseDataset(); }

HRESULT CExtImageLayer::Escape(VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result) {
    return m_extension ? m_extension->Escape(GetExtensionHandle(), arg1, arg2, arg3, result) : E_NOTIMPL;
}

bool CExtImageLayer::OpenDataset(const WString& path) {
    if (!m_extension) return false;
    CloseDataset();
    const uint32_t handle = m_extension->LayerOpen(path.c_str(), win::GetMainWindow());
    if (!handle) return false;
    SetExtensionHandle(handle);
    ZnxRect r{0, 0, 0, 0};
    m_extension->LayerGetProperty(handle, ZNEX_LAYER_EXTENT, 0, 0, &r);
    SetExtent(CDoubleRect(r.xmin, r.ymin, r.xmax, r.ymax));
    return true;
}

void CExtImageLayer::CloseDataset() {
    if (GetExtensionHandle() && m_extension) m_extension->LayerClose(GetExtensionHandle());
    SetExtensionHandle(0);
}
