// A layer extension module (kind 1, feature layers; kind 2, image layers):
// the layer entry points its layers call, and what it reports about the
// datasets it accepts.
#pragma once

#include "map/services/main_window.h"
#include "shell/extensions/extension.h"

class CLayerExtension : public CExtension {
public:
    CLayerExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind);

    // Whether the module opens the dataset.
    bool IsValidPath(WStringView path);
    // Layer type 1 or 2, the small icon and this extension; lives as long as
    // the extension.
    const LayerExtensionInfo* GetLayerInfo() const { return &m_info; }
    void SetIcon(HICON icon) { m_info.icon = icon; }

    // Entry points; the required ones are never null once bound.
    LayerIsValidPathFn LayerIsValidPath = nullptr;
    LayerOpenFn LayerOpen = nullptr;
    LayerCloseFn LayerClose = nullptr;
    LayerGetPropertyFn LayerGetProperty = nullptr;
    LayerSetPropertyFn LayerSetProperty = nullptr;
    LayerLoadPropertyFn LayerLoadProperty = nullptr;
    LayerSavePropertyFn LayerSaveProperty = nullptr;
    LayerDrawFn LayerDraw = nullptr;
    LayerDrawFeatureFn LayerDrawFeature = nullptr;
    LayerDrawSymbolFn LayerDrawSymbol = nullptr;
    LayerDialogPropertiesFn LayerDialogProperties = nullptr;
    LayerDialogIdentifyFn LayerDialogIdentify = nullptr;
    LayerDialogHyperlinkFn LayerDialogHyperlink = nullptr;
    LayerDialogSymbolFn LayerDialogSymbol = nullptr;
    LayerDialogFindFn LayerDialogFind = nullptr;
    LayerDialogFeatureFn LayerDialogFeature = nullptr;
    LayerHyperlinkFn LayerHyperlink = nullptr;
    LayerQueryFn LayerQuery = nullptr;

protected:
    bool BindKind(const EntryLookup& lookup) override;

private:
    LayerExtensionInfo m_info;
};
