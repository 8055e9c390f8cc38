// An image layer whose dataset an extension module opens (layer kind 7,
// extension kind 2). The module opens and closes it and reports its extent;
// the interface has no way to hand over pixels, so the layer shows none.
#pragma once

#include "map/layers/raster_layer.h"
#include "shell/extensions/layer_extension.h"

class CExtImageLayer : public CRasterLayer {
public:
    explicit CExtImageLayer(const LayerExtensionInfo* info);
    ~CExtImageLayer() override;

    const LayerExtensionInfo* GetExtensionInfo() const { return m_info; }
    CLayerExtension* GetExtension() const { return m_extension; }
    // Layer.Escape: the module's escape with the layer handle.
    HRESULT Escape(VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result);

    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    // Handled on the first chance: there is nothing to load.
    bool LoadViewImage(bool firstChance) override {
        (void)firstChance;
        return true;
    }

private:
    const LayerExtensionInfo* m_info;
    CLayerExtension* m_extension;
};
