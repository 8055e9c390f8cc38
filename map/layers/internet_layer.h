// Internet layers: the map image of one service of an internet map server,
// named by a server workspaces file (.mvd), fetched for exactly the visible
// extent and window size on every change of the view, and drawn stretched
// into place. The side files (service information, log, projection, the
// last image and its world file) live in a cache folder beside the
// workspaces file ("roads.mvd.cache"), never beside it, so no file of the
// user's is replaced.
#pragma once

#include <vector>

#include "map/layers/image_cache.h"
#include "map/layers/layer.h"
#include "map/server/ombrix_connection.h"

struct InternetSubLayer {
    WString id;
    WString name;
    bool visible = true;
    CDoubleRect envelope;
    int32_t type = -1;  // -1 other, 0 point, 1 line, 2 polygon, 4 image
    double minScale = 0;
    double maxScale = 0;
    bool identify = true;
};

class CInternetLayer : public CLayer {
public:
    CInternetLayer();
    ~CInternetLayer() override;

    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    CCoordSys* GetCoordSys() override;

    // A feature request for a sub-layer marked for identify that is not an
    // image; false without a request otherwise.
    bool QueryFeatures(int subLayer, const CDoubleRect& envelope, CMapServerResponse& response);

    const WString& GetService() const { return m_service; }
    COmbrixConnection& GetConnection() { return m_connection; }
    std::vector<InternetSubLayer>& SubLayers() { return m_subLayers; }
    bool GetAutoRefresh() const { return m_autoRefresh; }
    void SetAutoRefresh(bool on) { m_autoRefresh = on; }

    // What a service information response gives: extent, the feature
    // coordinate system text and the sub-layers. False with the opening
    // message's text when PROPERTIES, its ENVELOPE or SERVICEINFO is missing
    // or the response holds an ERROR.
    struct ServiceInfo {
        CDoubleRect extent;
        WString featureCoordSys;
        std::vector<InternetSubLayer> subLayers;
        bool hasFeatureClass = false;
    };
    static bool ReadServiceInfo(const CMapServerResponse& response, ServiceInfo& info, WString& message);

    // The cache folder of a workspaces path ("\Data\roads.mvd.cache") and a
    // side file in it ("\Data\roads.mvd.cache\roads.jpg").
    static WString CacheFolder(WStringView workspacesPath);
    static WString CacheFile(WStringView workspacesPath, WStringView extension);

    void ReleaseImage() override { m_cache.Free(); }
    const ImageCache& GetImageCache() const { return m_cache; }

protected:
    ImageCache& Cache() { return m_cache; }
    // The cache folder exists afterwards, or false.
    bool EnsureCacheFolder() const;
    // The reprojection condition of requests: the map's system, else null.
    const CCoordSys* RequestCoordSys() const;

    WString m_service;
    COmbrixConnection m_connection;
    std::vector<InternetSubLayer> m_subLayers;
    bool m_autoRefresh = true;

private:
    ImageCache m_cache;
};

class CInternetImageLayer : public CInternetLayer {
public:
    CInternetImageLayer();
    ~CInternetImageLayer() override;

    void OnViewChanged() override { RefreshImage(); }
    bool Draw(HDC target, HDC second, double mapScale) override;
    // Fetches a new image when the draw extent changed; true when one was
    // fetched and decoded.
    bool RefreshImage();
    // The reason the last refresh failed (empty after a success).
    const WString& GetRefreshError() const { return m_refreshError; }

private:
    bool LoadImage(const WString& path, unsigned width, int height);

    WString m_refreshError;
    // The view last asked for: its extent and window size.
    bool m_asked = false;
    CDoubleRect m_askedExtent;
    int m_askedWidth = 0;
    int m_askedHeight = 0;
};
