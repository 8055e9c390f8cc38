// A MrSID image with a world file: each view decodes the visible window at
// the finest resolution level whose window fits the cache. The cache is at
// most kSidCacheScreens screens on a side; a window of the coarsest level
// larger than that is decoded reduced to fit it.
#pragma once

#include <vector>

#include "formats/sid/sid_reader.h"
#include "map/layers/raster_layer.h"

constexpr int kSidCacheScreens = 2;

class CSidLayer : public CRasterLayer {
public:
    CSidLayer();
    ~CSidLayer() override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    bool LoadViewImage(bool firstChance) override;
    void GetInfoText(WString& text) override;

    // The level a view of the visible image extent decodes: the finest
    // whose window fits the cache, else the coarsest.
    int ChooseLevel(const CDoubleRect& visible, RECT* window) const;
    int GetCurrentLevel() const { return m_currentLevel; }
    // 1, or the reduction of a view larger than the cache.
    int GetCurrentFactor() const { return m_currentFactor; }

    // What was decoded since the layer was made (tests follow decoding).
    struct DecodedView {
        int level;
        RECT window;
    };
    const std::vector<DecodedView>& GetDecodedViews() const { return m_decodedViews; }

private:
    CSidReader m_reader;
    int m_bands = 0;
    int m_levels = 0;
    int m_currentLevel = -1;
    int m_currentFactor = 1;
    std::vector<DecodedView> m_decodedViews;
};
