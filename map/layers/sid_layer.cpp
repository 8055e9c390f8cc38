#include "map/layers/sid_layer.h"

CSidLayer::CSidLayer() { m_kind = kLayerSid; }

bool CSidLayer::OpenDataset(const WString& path) {
    (void)path;
    return false;
}
