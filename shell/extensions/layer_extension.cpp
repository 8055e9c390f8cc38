#include "shell/extensions/layer_extension.h"

CLayerExtension::CLayerExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind)
    : CExtension(std::move(library), kind) {
    m_info.layerType = GetKind() == ExtensionKind::FeatureLayer ? 1 : 2;
    m_info.extension = this;
}

bool CLayerExtension::IsValidPath(WStringView path) {
    const WString copy(path);
    return LayerIsValidPath && LayerIsValidPath(copy.c_str()) != 0;
}

bool CLayerExtension::BindKind(const EntryLookup& lookup) {
    BindOne(lookup, ZNEX_NAME_LAYER_IS_VALID_PATH, LayerIsValidPath);
    BindOne(lookup, ZNEX_NAME_LAYER_OPEN, LayerOpen);
    BindOne(lookup, ZNEX_NAME_LAYER_CLOSE, LayerClose);
    BindOne(lookup, ZNEX_NAME_LAYER_GET_PROPERTY, LayerGetProperty);
    BindOne(lookup, ZNEX_NAME_LAYER_SET_PROPERTY, LayerSetProperty);
    BindOne(lookup, ZNEX_NAME_LAYER_LOAD_PROPERTY, LayerLoadProperty);
    BindOne(lookup, ZNEX_NAME_LAYER_SAVE_PROPERTY, LayerSaveProperty);
    BindOne(lookup, ZNEX_NAME_LAYER_DRAW, LayerDraw);
    BindOne(lookup, ZNEX_NAME_LAYER_DRAW_FEATURE, LayerDrawFeature);
    BindOne(lookup, ZNEX_NAME_LAYER_DRAW_SYMBOL, LayerDrawSymbol);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_PROPERTIES, LayerDialogProperties);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_IDENTIFY, LayerDialogIdentify);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_HYPERLINK, LayerDialogHyperlink);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_SYMBOL, LayerDialogSymbol);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_FIND, LayerDialogFind);
    BindOne(lookup, ZNEX_NAME_LAYER_DIALOG_FEATURE, LayerDialogFeature);
    BindOne(lookup, ZNEX_NAME_LAYER_HYPERLINK, LayerHyperlink);
    BindOne(lookup, ZNEX_NAME_LAYER_QUERY, LayerQuery);
    const bool required = LayerIsValidPath && LayerOpen && LayerClose && LayerGetProperty;
    // Feature layers are drawn by the module; image layers draw nothing.
    return required && (GetKind() != ExtensionKind::FeatureLayer || LayerDraw);
}
