#include "map/layers/internet_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/user_abort.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "formats/raster/jpeg_reader.h"
#include "map/map_messages.h"
#include "map/server/server_workspaces.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/net/url.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"

namespace {

// A header that declares more than this many times the requested size is
// refused before decoding.
constexpr int kMaxOversize = 4;

int32_t SubLayerType(const CXmlNode* info) {
    const WString type = text::ToLower(info->GetAttribute(u"type"));
    if (type == u"image") return 4;
    if (type != u"featureclass") return -1;
    const CXmlNode* fclass = info->FindChild(u"FCLASS");
    if (!fclass) return -1;
    const WString shape = text::ToLower(fclass->GetAttribute(u"type"));
    if (shape == u"point") return 0;
    if (shape == u"line") return 1;
    if (shape == u"polygon") return 2;
    return -1;
}

CDoubleRect EnvelopeOf(const CXmlNode* envelope) {
    if (!envelope) return {};
    return CDoubleRect(envelope->GetAttributeDouble(u"minx", 0), envelope->GetAttributeDouble(u"miny", 0),
                       envelope->GetAttributeDouble(u"maxx", 0), envelope->GetAttributeDouble(u"maxy", 0));
}

void ShowOpenError(const WChar* text, const WString& reason) {
    WString message = text;
    if (!reason.empty()) message += u"\n" + reason;
    ShowMapMessageText(message, MB_OK | MB_ICONERROR, kBeepError);
}

}  // namespace

// ---- CInternetLayer ----

CInternetLayer::CInternetLayer() {
    SetKind(LayerKind::Internet);
    m_autoRefresh = GetPreferences()->Data().ims.autorefresh;
}

CInternetLayer::~CInternetLayer() = default;

WString CInternetLayer::CacheFolder(WStringView workspacesPath) { return WString(workspacesPath) + u".cache"; }

WString CInternetLayer::CacheFile(WStringView workspacesPath, WStringView extension) {
    WString name(workspacesPath);
    const size_t slash = name.find_last_of(u"\\/");
    name = slash == WString::npos ? name : name.substr(slash + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != WString::npos) name.resize(dot);
    return CacheFolder(workspacesPath) + u"\\" + name + u"." + WString(extension);
}

bool CInternetLayer::EnsureCacheFolder() const {
    const WString folder = CacheFolder(GetPath());
    const uint32_t attributes = fs::GetFileAttributes(folder);
    if (attributes != fs::kInvalidAttributes) return (attributes & fs::kAttrDirectory) != 0;
    return fs::CreateDirectory(folder);
}

const CCoordSys* CInternetLayer::RequestCoordSys() const {
    return IsReprojectable() ? GetMapCoordSys() : nullptr;
}

CCoordSys* CInternetLayer::GetCoordSys() {
    if (GetPath().empty()) return nullptr;
    const WString prj = CacheFile(GetPath(), u"prj");
    if (!DatasetFileExists(prj)) return nullptr;
    CWktCoordSys wkt;
    if (!wkt.ReadPrjFile(prj)) return nullptr;
    return wkt.CreateProjection().release();
}

bool CInternetLayer::OpenDataset(const WString& path) {
    CServerWorkspaces workspaces;
    if (!workspaces.Load(path)) return false;
    WString name, url, service;
    if (!workspaces.FindImageServerWorkspace(name, url, service)) return false;
    // A URL naming only the server talks to the default servlet.
    const std::optional<net::Url> parsed = net::ParseUrl(text::ToUtf8(CServerWorkspaces::ExtendUrl(url)));
    if (!parsed) return false;
    m_service = service;
    const WString object = text::FromUtf8(parsed->object);
    m_connection.SetServer(text::FromUtf8(parsed->host), object.c_str(), static_cast<uint16_t>(parsed->port));
    m_connection.SetScheme(text::FromUtf8(parsed->scheme));

    // The side files are named after the workspaces file; the dataset path may not be
    // set yet when the factory opens the dataset.
    const WString base = path;
    const WString folder = CacheFolder(base);
    if (fs::GetFileAttributes(folder) == fs::kInvalidAttributes) fs::CreateDirectory(folder);
    m_connection.SetLogging(GetPreferences()->Data().ims.log);
    const WString logPath = CacheFile(base, u"log");
    m_connection.SetLogPath(logPath);
    fs::DeleteFile(logPath);

    CMapServerResponse response;
    const WString oxl = CacheFile(base, u"oxl");
    if (!m_connection.GetServiceInfo(m_service, response, oxl.c_str())) {
        ShowOpenError(u"Error GET_SERVICE_INFO", m_connection.GetErrorText());
        return false;
    }
    ServiceInfo info;
    WString message;
    if (!ReadServiceInfo(response, info, message)) {
        ShowMapMessageText(message, MB_OK | MB_ICONERROR, kBeepError);
        return false;
    }
    SetExtent(info.extent);
    const WString prj = CacheFile(base, u"prj");
    fs::DeleteFile(prj);
    CWktCoordSys wkt;
    if (!info.featureCoordSys.empty() && wkt.ParseWkt(info.featureCoordSys)) {
        if (std::unique_ptr<CCoordSys> cs = wkt.CreateProjection()) WritePrjFile(prj, *cs);
    }
    SetReprojectable(true);
    SetHasAttributes(info.hasFeatureClass);
    if (info.hasFeatureClass) SetIdentifiable(true);
    m_subLayers = std::move(info.subLayers);
    return true;
}

bool CInternetLayer::ReadServiceInfo(const CMapServerResponse& response, ServiceInfo& info, WString& message) {
    CXmlNode* root = response.GetRoot();
    if (!root) {
        message = u"Error GET_SERVICE_INFO";
        return false;
    }
    if (CXmlNode* error = root->FindChild(u"ERROR", true)) {
        message = error->GetText();
        return false;
    }
    CXmlNode* properties = root->GetName() == u"PROPERTIES" ? root : root->FindChild(u"PROPERTIES", true);
    if (!properties) {
        message = u"Error no PROPERTIES tag";
        return false;
    }
    CXmlNode* envelope = properties->FindChild(u"ENVELOPE");
    if (!envelope) {
        message = u"Error no ENVELOPE tag";
        return false;
    }
    info.extent = EnvelopeOf(envelope);
    if (CXmlNode* coordSys = properties->FindChild(u"FEATURECOORDSYS"))
        info.featureCoordSys = coordSys->GetAttribute(u"string");
    CXmlNode* serviceInfo = root->GetName() == u"SERVICEINFO" ? root : root->FindChild(u"SERVICEINFO", true);
    if (!serviceInfo) {
        message = u"Error no SERVICEINFO tag";
        return false;
    }
    for (int i = 0; i < serviceInfo->GetChildCount(); ++i) {
        const CXmlNode* layerInfo = serviceInfo->GetChild(i);
        if (layerInfo->GetName() != u"LAYERINFO") continue;
        InternetSubLayer sub;
        sub.id = layerInfo->GetAttribute(u"id");
        sub.name = layerInfo->GetAttribute(u"name");
        sub.visible = layerInfo->GetAttributeBool(u"visible", true);
        sub.minScale = layerInfo->GetAttributeDouble(u"minscale", 0);
        sub.maxScale = layerInfo->GetAttributeDouble(u"maxscale", 0);
        sub.envelope = EnvelopeOf(layerInfo->FindChild(u"ENVELOPE", true));
        sub.type = SubLayerType(layerInfo);
        if (text::ToLower(layerInfo->GetAttribute(u"type")) == u"featureclass") info.hasFeatureClass = true;
        info.subLayers.push_back(sub);
    }
    return true;
}

void CInternetLayer::CloseDataset() { m_subLayers.clear(); }

bool CInternetLayer::QueryFeatures(int subLayer, const CDoubleRect& envelope, CMapServerResponse& response) {
    if (subLayer < 0 || subLayer >= static_cast<int>(m_subLayers.size())) return false;
    const InternetSubLayer& sub = m_subLayers[static_cast<size_t>(subLayer)];
    if (!sub.identify || sub.type == 4) return false;
    // Identify envelopes are in map units: say so when the layer reprojects.
    WString wkt;
    if (const CCoordSys* map = RequestCoordSys()) wkt = FormatWkt(*map, false);
    return m_connection.GetFeatures(m_service, sub.id, wkt.c_str(), wkt.c_str(), envelope, response);
}

// ---- CInternetImageLayer ----

CInternetImageLayer::CInternetImageLayer() {
    SetCategory(LayerCategory::Image);
    SetDisplayClass(DisplayClass::Image);
}

CInternetImageLayer::~CInternetImageLayer() = default;

bool CInternetImageLayer::LoadImage(const WString& path, unsigned width, int height) {
    std::string bytes;
    if (!fs::ReadWholeFile(path, &bytes) || bytes.size() < 4 || bytes.compare(0, 3, "\xFF\xD8\xFF") != 0) {
        m_refreshError = u"The server sent an image that is not JPEG";
        return false;
    }
    // The decoder would make up the rest of a cut image: refuse it instead.
    if (bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") != 0) {
        m_refreshError = u"The image from the server is incomplete";
        return false;
    }
    CJpegReader reader;
    if (!reader.Open(path)) {
        m_refreshError = u"The image cannot be read";
        return false;
    }
    if (reader.GetWidth() > kMaxOversize * static_cast<int64_t>(width) ||
        reader.GetHeight() > kMaxOversize * static_cast<int64_t>(height)) {
        m_refreshError = u"The server sent an image far larger than asked for";
        return false;
    }
    gdi::OwnedBitmap bitmap(reader.ReadBitmap());
    if (!bitmap) {
        m_refreshError = u"The image cannot be decoded";
        return false;
    }
    Cache().Adopt(std::move(bitmap));
    Cache().imageWidth = reader.GetWidth();
    Cache().imageHeight = reader.GetHeight();
    return true;
}

bool CInternetImageLayer::RefreshImage() {
    ImageCache& cache = Cache();
    const CDoubleRect& drawExtent = GetDrawExtent();
    if (!IsVisible()) return false;
    if (std::memcmp(&drawExtent, &cache.cacheExtent, sizeof drawExtent) == 0) return false;
    if (!m_autoRefresh && !NeedsRefresh()) return false;
    // A server may answer with an envelope of its own (fitted to the image's
    // shape), so the view's extent never equals the image's. Without this
    // check every repaint at an unchanged view would ask for the same image
    // again and hold the thread for the whole exchange each time; now only
    // an explicit refresh (the refresh flag) asks again.
    const bool sameAsAsked = m_asked &&
                             std::memcmp(&drawExtent, &m_askedExtent, sizeof drawExtent) == 0 &&
                             GetDeviceWidth() == m_askedWidth && GetDeviceHeight() == m_askedHeight;
    if (sameAsAsked && !NeedsRefresh()) return false;
    SetRefresh(false);
    m_asked = true;
    m_askedExtent = drawExtent;
    m_askedWidth = GetDeviceWidth();
    m_askedHeight = GetDeviceHeight();
    m_refreshError.clear();
    // Only a tap during this exchange cancels it.
    ResetAbort();

    const WString imagePath = CacheFile(GetPath(), u"jpg");
    cache.cacheExtent = drawExtent;
    const unsigned width = static_cast<unsigned>(std::max(GetDeviceWidth(), 0));
    const int height = GetDeviceHeight();
    CDoubleRect envelope = cache.cacheExtent;
    bool ok = EnsureCacheFolder();
    if (!ok) m_refreshError = u"The cache folder " + CacheFolder(GetPath()) + u" cannot be written";
    if (ok) {
        ok = m_connection.GetMapImage(m_service, imagePath, RequestCoordSys(), nullptr, envelope, width, height,
                                      GetPreferences()->Data().display.backgroundcolor);
        if (!ok) m_refreshError = m_connection.GetErrorText();
    }
    if (ok) {
        cache.cacheExtent = envelope;
        ok = LoadImage(imagePath, width, height);
    }
    if (!ok) {
        if (IMainWindow* main = GetMainWindowServices()) main->SetStatusText(m_refreshError.c_str());
        return false;
    }
    cache.leftX = envelope.xmin;
    cache.topY = envelope.ymax;
    cache.pixelWidth = (envelope.xmax - envelope.xmin) / cache.imageWidth;
    cache.pixelHeight = (envelope.ymax - envelope.ymin) / cache.imageHeight;
    return true;
}

bool CInternetImageLayer::Draw(HDC target, HDC second, double mapScale) {
    (void)second;
    (void)mapScale;
    if (!Cache().GetBitmap()) {
        const WString message = text::Format(u"Ombrix Layer %s : NO IMAGE AVAILABLE!", GetName().c_str());
        TextOut(target, 10, 10, message.c_str(), static_cast<int>(message.size()));
        return false;
    }
    // After a failed refresh the envelope and the bitmap disagree: draw only
    // what the bitmap covers.
    return Cache().Draw(target, *this, true);
}
