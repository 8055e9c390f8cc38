#include "map/layers/layer_factory.h"

#include <map>

#include "map/layers/bitmap_layer.h"
#include "map/layers/internet_layer.h"
#include "map/layers/jpeg_layer.h"
#include "map/layers/rpf_layer.h"
#include "map/layers/shape_layer.h"
#include "map/layers/sid_layer.h"

namespace {

std::map<LayerKind, LayerConstructor>& Replacements() {
    static std::map<LayerKind, LayerConstructor> table;
    return table;
}

std::unique_ptr<CLayer> MakeBuiltIn(LayerKind kind) {
    switch (kind) {
        case LayerKind::Shape:
            return std::make_unique<CShapeLayer>();
        case LayerKind::Bitmap:
            return std::make_unique<CBitmapLayer>();
        case LayerKind::Jpeg:
            return std::make_unique<CJpegLayer>();
        case LayerKind::Rpf:
            return std::make_unique<CRpfLayer>();
        case LayerKind::Sid:
            return std::make_unique<CSidLayer>();
        case LayerKind::Internet:
            return std::make_unique<CInternetImageLayer>();
        // System layers belong to every layer list and are never made for
        // a path; extension layers come from the extension that accepts
        // the path.
        case LayerKind::System:
        case LayerKind::Extension:
        case LayerKind::None:
            break;
    }
    return nullptr;
}

}  // namespace

void SetLayerClass(LayerKind kind, LayerConstructor constructor) {
    Replacements()[kind] = std::move(constructor);
}

void UseBuiltInLayerClass(LayerKind kind) { Replacements().erase(kind); }

void ResetLayerClassesForTests() { Replacements().clear(); }

std::unique_ptr<CLayer> CLayer::CreateLayer(WString& path) {
    const LayerExtensionInfo* ext = nullptr;
    const LayerKind kind = GetLayerFileType(path, &ext);
    if (kind == LayerKind::None || kind == LayerKind::System) return nullptr;
    auto it = Replacements().find(kind);
    if (it != Replacements().end()) return it->second ? it->second(ext) : nullptr;
    return MakeBuiltIn(kind);
}
