// Internet layers over loopback HTTP: opening from a workspaces file, the
// cache folder, the image fetched for the view and drawn in place, and the
// refresh rules.
#include "map/layers/internet_layer.h"

#include <cstdlib>
#include <thread>

#include "core/user_abort.h"
#include "crs/coord_sys.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/sys/thread.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"
#include "tests/support/env_guard.h"
#include "tests/support/http_test_server.h"
#include "tests/support/run_command.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

const char kServlet[] = "/servlet/com.qova.qovamap.Qovamap";

HttpReply Xml(const std::string& body) {
    HttpReply r;
    r.contentType = "text/xml; charset=UTF-8";
    r.body = body;
    return r;
}

class InternetLayer : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        Put("Data/roads.mvd",
            "<?xml version=\"1.0\"?><OMBRXL version=\"1.0.1\"><CONFIG><MAP><WORKSPACES><IMAGESERVERWORKSPACE "
            "name=\"Roads\" url=\"" +
                server_.Url("") + "\" service=\"Roads\" /></WORKSPACES></MAP></CONFIG></OMBRXL>");
        // The user's own files beside the workspaces file.
        for (const char* ext : {"prj", "jpg", "jgw", "log", "oxl"}) Put(std::string("Data/roads.") + ext, "mine");
        server_.ServeRecorded(ZN_TEST_DATA "/map/server");
    }
    // The recorded answers: service information with five sub-layers, and
    // a 240 x 320 JPEG of four bands 80 rows high for the envelope
    // (0, 0, 240, 640).
    std::string ServiceInfo() const { return server_.Recorded("service_info.xml").body; }
    std::string BandedJpeg() const { return server_.Recorded("image.jpg").body; }
    void ExpectUserFilesKept() {
        for (const char* ext : {"prj", "jpg", "jgw", "log", "oxl"})
            EXPECT_EQ(Get(std::string("Data/roads.") + ext), "mine") << ext;
    }
    // The recorded image answer, pointing at other image bytes.
    void ServeImage(const std::string& jpeg) {
        HttpReply image;
        image.contentType = "image/jpeg";
        image.body = jpeg;
        server_.SetReplyFor("/out/", image);
    }

    HttpTestServer server_;
};

TEST_F(InternetLayer, OpensFromTheWorkspacesFile) {
    CInternetImageLayer layer;
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));
    EXPECT_EQ(server_.Requests().at(0).target, std::string(kServlet) + "?ServiceName=Roads");
    EXPECT_EQ(layer.GetConnection().GetPort(), server_.Port());
    CDoubleRect extent;
    layer.GetExtent(extent);
    EXPECT_EQ(extent.xmax, 240);
    EXPECT_EQ(extent.ymax, 640);
    EXPECT_TRUE(layer.HasAttributes());
    EXPECT_TRUE(layer.IsIdentifiable());
    const auto& subs = layer.SubLayers();
    ASSERT_EQ(subs.size(), 5u);
    const int types[] = {4, 0, 1, 2, -1};
    for (size_t i = 0; i < subs.size(); ++i) EXPECT_EQ(subs[i].type, types[i]) << i;
    EXPECT_FALSE(subs[0].visible);
    EXPECT_EQ(subs[0].envelope.ymax, 4);
    EXPECT_EQ(subs[1].envelope.xmin, 5);
    EXPECT_EQ(subs[1].minScale, 100);
    EXPECT_EQ(subs[1].maxScale, 5000);
    EXPECT_EQ(subs[2].name, u"Roads");
    // Side files in the cache folder, none beside the workspaces file.
    EXPECT_EQ(Get("Data/roads.mvd.cache/roads.oxl"), ServiceInfo());
    EXPECT_NE(Get("Data/roads.mvd.cache/roads.prj").find("WGS_1984_UTM_Zone_33N"), std::string::npos);
    std::unique_ptr<CCoordSys> cs(layer.GetCoordSys());
    EXPECT_NE(cs, nullptr);
    ExpectUserFilesKept();

    // Without FEATURECOORDSYS the cached projection goes.
    std::string plain = ServiceInfo();
    plain.erase(plain.find("<FEATURECOORDSYS"), plain.find("</PROPERTIES>") - plain.find("<FEATURECOORDSYS"));
    server_.SetReplyFor(kServlet, Xml(plain));
    CInternetImageLayer again;
    ASSERT_TRUE(again.Open(u"\\Data\\roads.mvd"));
    EXPECT_FALSE(HostExists("Data/roads.mvd.cache/roads.prj"));

    // A URL with no port talks to port 80.
    Put("Data/p80.mvd", "<OMBRXL><WORKSPACES><IMAGESERVERWORKSPACE url=\"http://127.0.0.1\" service=\"x\"/>"
                        "</WORKSPACES></OMBRXL>");
    CInternetImageLayer eighty;
    eighty.GetConnection().GetSession().Settings().connectTimeoutMs = 500;
    eighty.GetConnection().GetSession().Settings().totalTimeoutMs = 1000;
    EXPECT_FALSE(eighty.Open(u"\\Data\\p80.mvd"));
    EXPECT_EQ(eighty.GetConnection().GetPort(), 80);
    EXPECT_EQ(eighty.GetConnection().GetServlet(), u"/servlet/com.qova.qovamap.Qovamap");
}

TEST_F(InternetLayer, OpeningMessagesCarryTheReason) {
    HttpReply failing = Xml("no");
    failing.status = 500;
    failing.reason = "Internal Server Error";
    const struct {
        const char* name;
        HttpReply reply;
        const WChar* message;
    } rows[] = {
        {"server error", failing, u"Error GET_SERVICE_INFO\nHTTP 500 Internal Server Error"},
        {"ERROR", Xml("<OMBRXL><RESPONSE><ERROR>Service not found</ERROR></RESPONSE></OMBRXL>"),
         u"Error GET_SERVICE_INFO\nService not found"},
        {"malformed", Xml("<OMBRXL><RESPONSE>"), u"Error GET_SERVICE_INFO\nParser Error, may be malformed response"},
        {"no PROPERTIES", Xml("<OMBRXL><RESPONSE><SERVICEINFO/></RESPONSE></OMBRXL>"), u"Error no PROPERTIES tag"},
        {"no ENVELOPE", Xml("<OMBRXL><RESPONSE><PROPERTIES/></RESPONSE></OMBRXL>"), u"Error no ENVELOPE tag"},
        {"no SERVICEINFO", Xml("<OMBRXL><RESPONSE><PROPERTIES><ENVELOPE/></PROPERTIES></RESPONSE></OMBRXL>"),
         u"Error no SERVICEINFO tag"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server_.SetReplyFor(kServlet, row.reply);
        const size_t before = MessageTexts().size();
        CInternetImageLayer layer;
        EXPECT_FALSE(layer.Open(u"\\Data\\roads.mvd"));
        ASSERT_EQ(MessageTexts().size(), before + 1);
        EXPECT_EQ(text::ToUtf8(MessageTexts().back()), text::ToUtf8(row.message));
    }
    ExpectUserFilesKept();
}

TEST_F(InternetLayer, ImageDrawnInPlaceAndRefreshRules) {
    CInternetImageLayer layer;
    layer.SetName(u"roads");
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));
    const std::string jpeg = BandedJpeg();

    HBITMAP surface = gdi::CreateSurface(240, 320);
    HDC dc = gdi::CreateSurfaceDC(surface);
    server_.ClearRequests();
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    ASSERT_NE(layer.GetImageCache().GetBitmap(), nullptr) << text::ToUtf8(layer.GetRefreshError());
    EXPECT_EQ(server_.Requests().size(), 2u);  // the image request and the download
    EXPECT_EQ(Get("Data/roads.mvd.cache/roads.jgw"), "1\r\n0\r\n0\r\n-2\r\n0\r\n640\r\n");
    EXPECT_EQ(Get("Data/roads.mvd.cache/roads.jpg"), jpeg);
    EXPECT_EQ(layer.GetImageCache().cacheExtent.ymax, 640);  // the server's envelope
    // World files give the centre of the corner pixel; the client writes the
    // envelope's corner, so GDAL sees the origin half a pixel off.
    const std::string gdal = testsupport::RunCommand(
        "gdalinfo '" + Host("Data/roads.mvd.cache/roads.jpg") + "' 2>/dev/null");
    EXPECT_NE(gdal.find("Origin = (-0.500000000000000,641.000000000000000)"), std::string::npos) << gdal;
    EXPECT_NE(gdal.find("Pixel Size = (1.000000000000000,-2.000000000000000)"), std::string::npos) << gdal;
    // The server's envelope is not the view's: the same view again (a
    // repaint) asks nothing, until an invalidation asks for a fresh image.
    server_.ClearRequests();
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    EXPECT_TRUE(server_.Requests().empty());
    layer.SetRefresh(true);  // as the layer list's InvalidateAll does
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    EXPECT_EQ(server_.Requests().size(), 2u);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    EXPECT_EQ(server_.Requests().size(), 2u);
    EXPECT_TRUE(layer.Draw(dc, nullptr, 0));
    int w, h, stride;
    auto pixel = [&](int x, int y) {
        const uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(px) + y * stride)[x] & 0xFFFFFF;
    };
    auto near = [](uint32_t c, uint32_t want) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((c >> shift) & 255) - static_cast<int>((want >> shift) & 255)) > 8)
                return false;
        return true;
    };
    // Third band (blue) on rows 0-159, fourth (yellow) on 160-319.
    for (int y : {0, 159}) EXPECT_TRUE(near(pixel(120, y), 0x0000FF)) << y << " " << std::hex << pixel(120, y);
    for (int y : {160, 319}) EXPECT_TRUE(near(pixel(120, y), 0xFFFF00)) << y << " " << std::hex << pixel(120, y);

    // Returning to exactly the image envelope asks nothing; drawn 1:1 the
    // bitmap equals djpeg's decoding of the cached file.
    server_.ClearRequests();
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 640), 240, 320));
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(layer.Draw(dc, nullptr, 0));
    ASSERT_EQ(std::system(("djpeg -pnm -outfile '" + Host("djpeg.ppm") + "' '" +
                           Host("Data/roads.mvd.cache/roads.jpg") + "'")
                              .c_str()),
              0);
    const std::string ppm = Get("djpeg.ppm");
    const std::string header = "P6\n240 320\n255\n";
    ASSERT_EQ(ppm.compare(0, header.size(), header), 0);
    int differing = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(ppm.data() + header.size() + (y * 240 + x) * 3);
            differing += pixel(x, y) != static_cast<uint32_t>((p[0] << 16) | (p[1] << 8) | p[2]);
        }
    EXPECT_EQ(differing, 0);

    // A failed refresh at a shifted extent keeps the old image, drawn clipped.
    HBITMAP old = layer.GetImageCache().GetBitmap();
    HttpReply missing;
    missing.status = 404;
    missing.reason = "Not Found";
    server_.SetReplyFor("/out/", missing);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(-100, 500, 140, 820), 240, 320));
    EXPECT_EQ(layer.GetImageCache().GetBitmap(), old);
    EXPECT_NE(text::ToUtf8(layer.GetRefreshError()).find("404"), std::string::npos);
    layer.DrawTo(dc, nullptr, 0);
    EXPECT_TRUE(near(pixel(120, 300), 0xFF0000)) << std::hex << pixel(120, 300);  // first band, clipped
    ExpectUserFilesKept();

    // A PNG or a huge declared size is refused; the old image stays.
    ServeImage("\x89PNG\r\n\x1a\n rest");
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(1, 1, 241, 321), 240, 320));
    EXPECT_EQ(layer.GetImageCache().GetBitmap(), old);
    EXPECT_EQ(layer.GetRefreshError(), u"The server sent an image that is not JPEG");
    std::string huge = jpeg;
    const size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge[sof + 5] = static_cast<char>(0xEA);  // height 60000
    huge[sof + 6] = static_cast<char>(0x60);
    huge[sof + 7] = static_cast<char>(0xEA);  // width 60000
    huge[sof + 8] = static_cast<char>(0x60);
    ServeImage(huge);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(2, 2, 242, 322), 240, 320));
    EXPECT_EQ(layer.GetImageCache().GetBitmap(), old);
    EXPECT_NE(layer.GetRefreshError().find(u"larger"), WString::npos);
    // A whole answer holding a cut image.
    ServeImage(jpeg.substr(0, jpeg.size() / 2));
    const size_t boxes = MessageTexts().size();
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(3, 3, 243, 323), 240, 320));
    EXPECT_EQ(layer.GetImageCache().GetBitmap(), old);
    EXPECT_EQ(layer.GetRefreshError(), u"The image from the server is incomplete");
    EXPECT_EQ(MessageTexts().size(), boxes);
    EXPECT_EQ(mainWindow_.paneTexts.back(), u"The image from the server is incomplete");

    DeleteDC(dc);
    DeleteObject(surface);
}

TEST_F(InternetLayer, NoImageText) {
    CInternetImageLayer layer;
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));
    layer.SetName(u"roads");  // as a map document names its layer, after opening
    HttpReply missing;
    missing.status = 404;
    missing.reason = "Not Found";
    server_.SetReplyFor(kServlet, missing);
    HBITMAP surface = gdi::CreateSurface(240, 320);
    HDC dc = gdi::CreateSurfaceDC(surface);
    RECT all = {0, 0, 240, 320};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    EXPECT_FALSE(layer.Draw(dc, nullptr, 0));
    // The text starts at (10, 10): ink right of and below it, none above.
    int w, h, stride;
    const uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(px) + y * stride)[x] & 0xFFFFFF;
    };
    int inkAbove = 0, ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 240; ++x)
            if (at(x, y) != 0xFFFFFF) (y < 10 || x < 10 ? inkAbove : ink)++;
    EXPECT_EQ(inkAbove, 0);
    EXPECT_GT(ink, 0);
    // And the ink is exactly that text, drawn at (10, 10) on a fresh surface.
    HBITMAP expected = gdi::CreateSurface(240, 320);
    HDC edc = gdi::CreateSurfaceDC(expected);
    HBRUSH paper = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(edc, &all, paper);
    DeleteObject(paper);
    const WString text = u"Ombrix Layer roads : NO IMAGE AVAILABLE!";
    TextOut(edc, 10, 10, text.c_str(), static_cast<int>(text.size()));
    int ew, eh, estride;
    const uint32_t* epx = gdi::SurfacePixels(expected, &ew, &eh, &estride);
    int differing = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            differing += at(x, y) != (reinterpret_cast<const uint32_t*>(
                                          reinterpret_cast<const uint8_t*>(epx) + y * estride)[x] &
                                      0xFFFFFF);
    EXPECT_EQ(differing, 0);
    DeleteDC(edc);
    DeleteObject(expected);
    DeleteDC(dc);
    DeleteObject(surface);
}

}  // namespace

namespace {

TEST_F(InternetLayer, RefreshFlagAndReprojection) {
    std::unique_ptr<CCoordSys> map(MakeCoordSys(kUtm33Wkt));
    ASSERT_NE(map, nullptr);
    CCoordSys* mapRef = map.get();
    CInternetImageLayer layer;
    layer.SetMapCoordSysRef(&mapRef);
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));

    // Without automatic refresh: one request per invalidation.
    layer.SetAutoRefresh(false);
    auto imageRequests = [&] {
        int n = 0;
        for (const auto& r : server_.Requests()) n += r.method == "POST";
        return n;
    };
    server_.ClearRequests();
    layer.SetRefresh(true);  // as the layer list's InvalidateAll does
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(5, 5, 245, 325), 240, 320));
    EXPECT_EQ(imageRequests(), 1);
    layer.SetRefresh(true);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(6, 6, 246, 326), 240, 320));
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(7, 7, 247, 327), 240, 320));
    EXPECT_EQ(imageRequests(), 2);

    // The layer reprojects: image and feature requests name the map's system.
    const std::string text =
        "PROJCS[&quot;WGS_1984_UTM_Zone_33N&quot;,GEOGCS[&quot;GCS_WGS_1984&quot;,DATUM[&quot;D_WGS_1984&quot;,"
        "SPHEROID[&quot;WGS_1984&quot;,6378137,298.257223563]],PRIMEM[&quot;Greenwich&quot;,0],"
        "UNIT[&quot;Degree&quot;,0.0174532925199433]],PROJECTION[&quot;Transverse_Mercator&quot;],"
        "PARAMETER[&quot;False_Easting&quot;,500000],PARAMETER[&quot;False_Northing&quot;,0],"
        "PARAMETER[&quot;Central_Meridian&quot;,15],PARAMETER[&quot;Scale_Factor&quot;,0.9996],"
        "PARAMETER[&quot;Latitude_Of_Origin&quot;,0],UNIT[&quot;Meter&quot;,1]]";
    const std::string line = "<FEATURECOORDSYS string=\"" + text + "\" />\r\n";
    const std::string filter = "<FILTERCOORDSYS string=\"" + text + "\" />\r\n";
    EXPECT_NE(server_.Requests().at(0).body.find(line), std::string::npos) << server_.Requests().at(0).body;
    server_.ClearRequests();
    CMapServerResponse response;
    EXPECT_TRUE(layer.QueryFeatures(3, CDoubleRect(1, 2, 3, 4), response));
    ASSERT_EQ(server_.Requests().size(), 1u);
    const std::string body = server_.Requests()[0].body;
    EXPECT_NE(body.find("<LAYER id=\"3\" />"), std::string::npos);
    EXPECT_NE(body.find(line + filter), std::string::npos) << body;
    EXPECT_EQ(server_.Requests()[0].target, std::string(kServlet) + "?ServiceName=Roads&CustomService=Query");
    // An image sub-layer, one not marked for identify, or no such sub-layer:
    // no request.
    layer.SubLayers()[1].identify = false;
    for (int sub : {0, 1, 5, -1}) EXPECT_FALSE(layer.QueryFeatures(sub, CDoubleRect(1, 2, 3, 4), response)) << sub;
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(InternetLayer, TapCancelsWithoutABox) {
    CInternetImageLayer layer;
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    HBITMAP old = layer.GetImageCache().GetBitmap();
    ASSERT_NE(old, nullptr);
    HttpReply slow = Xml("<OMBRXL><RESPONSE/></OMBRXL>");
    slow.fault = HttpReply::kDelay;
    slow.delayMs = 10000;
    server_.SetReplyFor(kServlet, slow);
    const size_t boxes = MessageTexts().size();
    const DWORD ui = sys::GetCurrentThreadId();
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        PostThreadMessage(ui, WM_LBUTTONDOWN, 0, 0);
    });
    EXPECT_TRUE(layer.SetDrawExtent(CDoubleRect(50, 50, 290, 370), 240, 320));
    other.join();
    EXPECT_TRUE(layer.GetConnection().WasCancelled());
    EXPECT_EQ(layer.GetImageCache().GetBitmap(), old);
    EXPECT_EQ(MessageTexts().size(), boxes);
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    ResetAbort();
}

TEST_F(InternetLayer, LogsIntoTheCacheFolder) {
    GetPreferences()->Data().ims.log = true;
    CInternetImageLayer layer;
    ASSERT_TRUE(layer.Open(u"\\Data\\roads.mvd"));
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    GetPreferences()->Data().ims.log = false;
    const std::string log = Get("Data/roads.mvd.cache/roads.log");
    EXPECT_NE(log.find("GET_SERVICE_INFO"), std::string::npos);
    EXPECT_NE(log.find("GET_IMAGE"), std::string::npos);
    EXPECT_LT(log.find("GET_SERVICE_INFO"), log.find("GET_IMAGE"));
    ExpectUserFilesKept();
}

}  // namespace

namespace {

// A workspace with an https URL talks TLS, for the request and the image.
TEST_F(InternetLayer, HttpsWorkspace) {
    zntest::HttpServerOptions options;
    options.tls = true;
    HttpTestServer tls(options);
    ASSERT_NE(tls.Port(), 0) << tls.Error();
    tls.ServeRecorded(ZN_TEST_DATA "/map/server");
    Put("Data/secure.mvd", "<OMBRXL><WORKSPACES><IMAGESERVERWORKSPACE url=\"" + tls.Url("") +
                               "\" service=\"Roads\"/></WORKSPACES></OMBRXL>");
    zntest::EnvGuard ca("ZARNIP_CA_FILE", tls.CaFile());
    CInternetImageLayer layer;
    ASSERT_TRUE(layer.Open(u"\\Data\\secure.mvd"));
    EXPECT_EQ(layer.GetConnection().GetScheme(), u"https");
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 240, 320), 240, 320));
    EXPECT_NE(layer.GetImageCache().GetBitmap(), nullptr) << text::ToUtf8(layer.GetRefreshError());
    EXPECT_EQ(Get("Data/secure.mvd.cache/secure.jpg"), BandedJpeg());
    std::vector<std::string> asked;
    for (const auto& r : tls.Requests()) asked.push_back(r.method + " " + r.target);
    EXPECT_EQ(asked, (std::vector<std::string>{"POST " + std::string(kServlet) + "?ServiceName=Roads",
                                               "POST " + std::string(kServlet) + "?ServiceName=Roads",
                                               "GET /out/1.jpg"}));
    EXPECT_TRUE(server_.Requests().empty());  // nothing went to the plain server
}

}  // namespace
