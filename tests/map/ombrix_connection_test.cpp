// The map server client over loopback HTTP: the exact request bytes, the
// response checks, image downloads with their world files, faults, status
// texts, logging and cancelling.
#include "map/server/ombrix_connection.h"

#include <thread>

#include "core/user_abort.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/sys/thread.h"
#include "platform/win/commctrl.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"
#include "tests/support/env_guard.h"
#include "tests/support/http_test_server.h"
#include "tests/support/run_command.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

const char kServlet[] = "/servlet/com.qova.qovamap.Qovamap";
const char kRecorded[] = ZN_TEST_DATA "/map/server";

HttpReply Xml(const std::string& body) {
    HttpReply r;
    r.contentType = "text/xml; charset=UTF-8";
    r.body = body;
    return r;
}

class OmbrixConnection : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        ResetAbort();
        conn_.SetServer(u"127.0.0.1", nullptr, static_cast<uint16_t>(server_.Port()));
        net::HttpSettings& s = conn_.GetSession().Settings();
        s.connectTimeoutMs = 2000;
        s.stallTimeoutMs = 2000;
        s.totalTimeoutMs = 5000;
    }
    // The recorded image answer, pointing at this server.
    std::string ImageAnswer() {
        server_.ServeRecorded(kRecorded);
        return server_.Recorded("image.xml").body;
    }

    HttpTestServer server_;
    COmbrixConnection conn_;
};

TEST_F(OmbrixConnection, RequestBytesAreExact) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<OMBRXL version=\"1.1\">\r\n<REQUEST>\r\n";
    const std::string tail = "</REQUEST>\r\n</OMBRXL>\r\n";
    const std::string envelope = "<ENVELOPE minx=\"-0.5\" miny=\"1e-07\" maxx=\"240.125\" maxy=\"6400000\" />\r\n";
    const CDoubleRect rect(-0.5, 1e-7, 240.125, 6400000);
    const WString wkt = u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\"]]";
    const WString odd = u"PROJCS['Roads & <Rails>',GEOGCS[\"x\"]]";
    const std::string imageStart = head + "<GET_IMAGE>\r\n<PROPERTIES>\r\n" + envelope +
                                   "<IMAGESIZE width=\"240\" height=\"320\" />\r\n<OUTPUT type=\"JPG\" />\r\n"
                                   "<BACKGROUND color=\"255,128,1\" />\r\n";
    const std::string imageEnd = "</PROPERTIES>\r\n</GET_IMAGE>\r\n" + tail;
    const std::string featuresStart =
        head +
        "<GET_FEATURES outputmode=\"newxml\" compact=\"true\" envelope=\"false\" geometry=\"false\" "
        "checkesc=\"true\">\r\n<LAYER id=\"3\" />\r\n<SPATIALQUERY>\r\n<SPATIALFILTER "
        "relation=\"area_intersection\">\r\n" +
        envelope + "</SPATIALFILTER>\r\n";
    const std::string featuresEnd = "</SPATIALQUERY>\r\n</GET_FEATURES>\r\n" + tail;
    const std::string wktLine =
        "<FEATURECOORDSYS string=\"GEOGCS[&quot;GCS_WGS_1984&quot;,DATUM[&quot;D_WGS_1984&quot;]]\" />\r\n";
    const std::string filterLine =
        "<FILTERCOORDSYS string=\"GEOGCS[&quot;GCS_WGS_1984&quot;,DATUM[&quot;D_WGS_1984&quot;]]\" />\r\n";
    const std::string oddLine =
        "<FILTERCOORDSYS string=\"PROJCS[&quot;Roads &amp; &lt;Rails&gt;&quot;,GEOGCS[&quot;x&quot;]]\" />\r\n";
    const COLORREF background = 255 | (128 << 8) | (1 << 16);

    server_.SetReply(Xml("<OMBRXL><RESPONSE/></OMBRXL>"));
    struct Row {
        const char* name;
        std::function<void()> send;
        std::string target;
        std::string body;
    };
    CMapServerResponse response;
    CDoubleRect env = rect;
    const std::vector<Row> rows = {
        {"catalogue", [&] { conn_.GetClientServices(response); }, "?ServiceName=catalog", "<GETCLIENTSERVICES />\r\n"},
        {"service information", [&] { conn_.GetServiceInfo(u"Roads", response); }, "?ServiceName=Roads",
         head +
             "<GET_SERVICE_INFO envelope=\"true\" renderer=\"false\" fields=\"false\" extensions=\"false\" />\r\n" +
             tail},
        {"image without systems",
         [&] { env = rect; conn_.GetImage(u"Roads", u"\\Docs\\a.jpg", nullptr, u"", env, 240, 320, background); },
         "?ServiceName=Roads", imageStart + imageEnd},
        {"image with the map's system",
         [&] { env = rect; conn_.GetImage(u"Roads", u"\\Docs\\a.jpg", wkt.c_str(), wkt.c_str(), env, 240, 320, background); },
         "?ServiceName=Roads", imageStart + wktLine + filterLine + imageEnd},
        {"image with apostrophes and an ampersand",
         [&] { env = rect; conn_.GetImage(u"Roads", u"\\Docs\\a.jpg", nullptr, odd.c_str(), env, 240, 320, background); },
         "?ServiceName=Roads", imageStart + oddLine + imageEnd},
        {"features without a system", [&] { conn_.GetFeatures(u"Roads", 3, nullptr, nullptr, rect, response); },
         "?ServiceName=Roads&CustomService=Query", featuresStart + featuresEnd},
        {"features with the map's system",
         [&] { conn_.GetFeatures(u"Roads", 3, wkt.c_str(), wkt.c_str(), rect, response); },
         "?ServiceName=Roads&CustomService=Query", featuresStart + wktLine + filterLine + featuresEnd},
        {"service name with blanks, & and é", [&] { conn_.GetServiceInfo(u"Roads & Rails \u00e9", response); },
         "?ServiceName=Roads%20%26%20Rails%20%C3%A9",
         head +
             "<GET_SERVICE_INFO envelope=\"true\" renderer=\"false\" fields=\"false\" extensions=\"false\" />\r\n" +
             tail},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server_.ClearRequests();
        row.send();
        const auto requests = server_.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const zntest::HttpRequest& req = requests[0];
        EXPECT_EQ(req.method, "POST");
        EXPECT_EQ(req.target, kServlet + row.target);
        EXPECT_EQ(std::count(req.headers.begin(), req.headers.end(), "Content-type: text/xml;"), 1);
        EXPECT_FALSE(req.HasHeader("Expect"));
        EXPECT_FALSE(req.HasHeader("User-Agent"));
        EXPECT_EQ(req.body, row.body);
    }
    // The request text goes out as UTF-8, as its declaration says.
    server_.ClearRequests();
    WString answer;
    ASSERT_TRUE(conn_.SendRequestText(u"ServiceName=x", u"<A b=\"\u00e9\U0001F600\" />", answer));
    EXPECT_EQ(server_.Requests().at(0).body, "<A b=\"\xC3\xA9\xF0\x9F\x98\x80\" />");

    // curl replays a recorded request and gets the recorded answer.
    server_.ServeRecorded(kRecorded);
    const std::string recordedRequest = std::string(kRecorded) + "/catalog_request.xml";
    const std::string cmd = "curl -s -X POST -H 'Content-type: text/xml;' --data-binary '@" + recordedRequest +
                            "' '" + server_.Url(std::string(kServlet) + "?ServiceName=catalog") + "'";
    const std::string out = testsupport::RunCommand(cmd);
    EXPECT_EQ(out, server_.Recorded("catalog.xml").body);
    EXPECT_EQ(server_.Requests().back().body, rows[0].body);
}

TEST_F(OmbrixConnection, ResponseChecks) {
    const struct {
        const char* body;
        bool ok;
        const WChar* error;
    } rows[] = {
        {"<OMBRXL><RESPONSE><SERVICES/></RESPONSE></OMBRXL>", true, u""},
        {"<OMBRXL><RESPONSE>", false, u"Parser Error, may be malformed response"},
        {"not xml at all", false, u"Parser Error, may be malformed response"},
        {"<ombrxl><RESPONSE/></ombrxl>", false, u"Root tag not OMBRXL"},
        {"<OMBRXL><REQUEST/></OMBRXL>", false, u"RESPONSE tag not found"},
        {"<OMBRXL><RESPONSE><ERROR>Service not found</ERROR></RESPONSE></OMBRXL>", false, u"Service not found"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body);
        server_.SetReply(Xml(row.body));
        CMapServerResponse response;
        EXPECT_EQ(conn_.GetServiceInfo(u"Roads", response), row.ok);
        EXPECT_EQ(response.GetErrorText(), row.error);
        EXPECT_EQ(conn_.GetErrorText(), row.error);
    }
    // Deeper nesting than the parser allows is a parse failure, not a crash.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<a>";
    server_.SetReply(Xml("<OMBRXL><RESPONSE>" + deep));
    CMapServerResponse response;
    EXPECT_FALSE(conn_.GetServiceInfo(u"Roads", response));
    EXPECT_EQ(response.GetErrorText(), u"Parser Error, may be malformed response");
}

TEST_F(OmbrixConnection, ResponsesDecodeWhole) {
    // A two-byte character across byte 1,023, a four-byte one, a malformed
    // byte and a byte-order mark.
    const std::string start = "<OMBRXL><RESPONSE><X>";
    const size_t fill = 1023 - 3 - start.size() - 1;  // the 2-byte character starts at byte 1,022
    const std::string body = "\xEF\xBB\xBF" + start + std::string(fill, 'a') +
                             "\xC3\xA9\xF0\x9F\x98\x80\xFF</X></RESPONSE></OMBRXL>";
    ASSERT_EQ(body.substr(1022, 2), "\xC3\xA9");
    server_.SetReply(Xml(body));
    WString answer;
    ASSERT_TRUE(conn_.SendRequestText(u"ServiceName=x", u"<A />", answer));
    EXPECT_EQ(answer, u"<OMBRXL><RESPONSE><X>" + WString(fill, u'a') + u"\u00e9\U0001F600\uFFFD</X></RESPONSE></OMBRXL>");
    CMapServerResponse response;
    EXPECT_TRUE(response.Parse(answer));
}

TEST_F(OmbrixConnection, ImageDownloadAndWorldFile) {
    server_.ServeRecorded(kRecorded);
    const HttpReply jpeg = server_.Recorded("image.jpg");
    ASSERT_TRUE(fs::CreateDirectory(u"\\Docs\\cache"));
    CDoubleRect env(10, 10, 250, 330);
    const WString wkt = u"PROJCS[\"UTM\"]";
    ASSERT_TRUE(conn_.GetImage(u"Roads", u"\\Docs\\cache\\roads.jpg", wkt.c_str(), nullptr, env, 240, 320, 0))
        << text::ToUtf8(conn_.GetErrorText());
    EXPECT_EQ(env.xmin, 0);
    EXPECT_EQ(env.ymin, 0);
    EXPECT_EQ(env.xmax, 240);
    EXPECT_EQ(env.ymax, 640);
    EXPECT_EQ(Get("Docs/cache/roads.jpg"), jpeg.body);
    EXPECT_EQ(Get("Docs/cache/roads.jgw"), "1\r\n0\r\n0\r\n-2\r\n0\r\n640\r\n");
    EXPECT_EQ(Get("Docs/cache/roads.prj"), "PROJCS[\"UTM\"]");
    EXPECT_EQ(server_.Requests().back().method, "GET");
    EXPECT_EQ(server_.Requests().back().target, "/out/1.jpg");
}

TEST_F(OmbrixConnection, FailuresKeepFilesAndEnvelope) {
    Put("Docs/cache/roads.jpg", "old image");
    Put("Docs/cache/roads.jgw", "old world");
    const std::string good = ImageAnswer();
    auto without = [&](const std::string& cut) {
        std::string a = good;
        a.erase(a.find(cut), cut.size());
        return a;
    };
    const std::string envelopeTag = "<ENVELOPE minx=\"0\" miny=\"0\" maxx=\"240\" maxy=\"640\" />";
    const std::string outputTag = "<OUTPUT url=\"" + server_.Url("") + "/out/1.jpg\" />";
    HttpReply notFound;
    notFound.status = 404;
    notFound.reason = "Not Found";
    HttpReply serverError = Xml("boom");
    serverError.status = 500;
    serverError.reason = "Internal Server Error";
    HttpReply jpeg;
    jpeg.contentType = "image/jpeg";
    jpeg.body = std::string(5000, 'j');
    auto with = [](HttpReply r, HttpReply::Fault f, int delayMs = 0) {
        r.fault = f;
        r.delayMs = delayMs;
        return r;
    };
    HttpReply redirect;
    redirect.status = 302;
    redirect.reason = "Found";
    redirect.fault = HttpReply::kRedirect;
    redirect.location = "file:///etc/passwd";
    std::string fileUrl = good;
    fileUrl.replace(fileUrl.find(server_.Url("")), server_.Url("").size(), "file://");

    const struct {
        const char* name;
        HttpReply request;
        HttpReply image;
        const char* error;  // part of the error text
    } rows[] = {
        {"404 on the image", Xml(good), notFound, "404"},
        {"500 on the request", serverError, jpeg, "500"},
        {"no IMAGE", Xml("<OMBRXL><RESPONSE/></OMBRXL>"), jpeg, "IMAGE"},
        {"no ENVELOPE", Xml(without(envelopeTag)), jpeg, "ENVELOPE"},
        {"no OUTPUT", Xml(without(outputTag)), jpeg, "OUTPUT"},
        {"an image cut short", Xml(good), with(jpeg, HttpReply::kCutShort), ""},
        {"a longer Content-Length", Xml(good), with(jpeg, HttpReply::kLongerLength), ""},
        {"a close without an answer", with(Xml(good), HttpReply::kCloseWithoutAnswer), jpeg, ""},
        {"an answer that never comes", with(Xml(good), HttpReply::kDelay, 10000), jpeg, ""},
        {"an endless image", Xml(good), with(jpeg, HttpReply::kEndless), ""},
        {"a trickle", Xml(good), with(jpeg, HttpReply::kTrickle, 1000), ""},
        {"a redirect to file:", Xml(good), redirect, ""},
        {"an OUTPUT url with file:", Xml(fileUrl), jpeg, "file:"},
    };
    conn_.GetSession().Settings().totalTimeoutMs = 1500;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server_.SetReplyFor(kServlet, row.request);
        server_.SetReplyFor("/out/", row.image);
        CDoubleRect env(1, 2, 3, 4);
        EXPECT_FALSE(conn_.GetImage(u"Roads", u"\\Docs\\cache\\roads.jpg", nullptr, nullptr, env, 240, 320, 0));
        EXPECT_FALSE(conn_.GetErrorText().empty());
        EXPECT_NE(text::ToUtf8(conn_.GetErrorText()).find(row.error), std::string::npos)
            << text::ToUtf8(conn_.GetErrorText());
        EXPECT_EQ(env.xmin, 1);
        EXPECT_EQ(env.ymax, 4);
        EXPECT_EQ(Get("Docs/cache/roads.jpg"), "old image");
        EXPECT_EQ(Get("Docs/cache/roads.jgw"), "old world");
        EXPECT_EQ(HostList("Docs/cache").size(), 2u);
    }
    // A port with no listener.
    COmbrixConnection dead(u"127.0.0.1", nullptr, 1);
    CMapServerResponse response;
    EXPECT_FALSE(dead.GetServiceInfo(u"Roads", response));
    EXPECT_FALSE(dead.GetErrorText().empty());
}

TEST_F(OmbrixConnection, StatusTexts) {
    server_.SetReply(Xml("<OMBRXL><RESPONSE/></OMBRXL>"));
    CMapServerResponse response;
    ASSERT_TRUE(conn_.GetServiceInfo(u"Roads", response));
    std::vector<WString> seen;
    for (const WString& t : mainWindow_.paneTexts)
        if (seen.empty() || seen.back() != t) seen.push_back(t);
    const std::vector<WString> expected = {u"Handle Created",    u"Resolving 127.0.0.1", u"Resolved 127.0.0.1",
                                           u"Connecting 127.0.0.1", u"Connected",        u"Sending Request",
                                           u"Request Sent",      u"Receiving Response",  u"Response Received",
                                           u"Closing Connection", u"Connection Closed"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(FormatInternetStatus(70, "x"), u"70-");
    EXPECT_EQ(FormatInternetStatus(42, ""), u"Ctl Response Received");
}

// The main window's status bar as a real status bar control in a frame.
// Each new text first notes what the bar shows at that moment: the thread
// waits inside the exchange and runs no message loop, so the previous text
// shows only if it was painted at once.
class PaintedStatusBar : public CRecordingMainWindow {
public:
    PaintedStatusBar() {
        frame_ = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                nullptr);
        bar_ = CreateWindowEx(0, STATUSCLASSNAME, u"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_, nullptr, nullptr,
                              nullptr);
    }
    ~PaintedStatusBar() override { DestroyWindow(frame_); }
    void SetStatusText(const WChar* text) override {
        shown.push_back(Shown());
        CRecordingMainWindow::SetStatusText(text);
        SendMessage(bar_, SB_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    HWND GetMainStatusBar() override { return bar_; }
    // The bar's pixels as they are now.
    std::vector<uint32_t> Shown() const {
        POINT at{};
        HBITMAP surface = win::GetWindowSurface(bar_, &at);
        RECT r;
        GetClientRect(bar_, &r);
        int w, h, stride;
        const uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
        std::vector<uint32_t> out;
        for (int y = at.y; y < at.y + r.bottom && y < h; ++y)
            for (int x = at.x; x < at.x + r.right && x < w; ++x)
                out.push_back(reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(px) + y * stride)[x]);
        return out;
    }
    // The bar's pixels once `text` is painted.
    std::vector<uint32_t> Painted(const WString& text) {
        SendMessage(bar_, SB_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        UpdateWindow(bar_);
        return Shown();
    }
    std::vector<std::vector<uint32_t>> shown;

private:
    HWND frame_ = nullptr, bar_ = nullptr;
};

TEST_F(OmbrixConnection, StatusTextsShowWhileTheThreadWaits) {
    server_.SetReply(Xml("<OMBRXL><RESPONSE/></OMBRXL>"));
    PaintedStatusBar main;
    SetMainWindowServices(&main);
    CMapServerResponse response;
    const bool ok = conn_.GetServiceInfo(u"Roads", response);
    main.shown.push_back(main.Shown());
    SetMainWindowServices(&mainWindow_);
    ASSERT_TRUE(ok);
    const std::vector<WString> texts = main.paneTexts;
    ASSERT_EQ(texts.size(), 11u);
    ASSERT_EQ(main.shown.size(), texts.size() + 1);
    PaintedStatusBar reference;
    EXPECT_NE(reference.Painted(u"Sending Request"), reference.Painted(u"Request Sent"));
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_TRUE(main.shown[i + 1] == reference.Painted(texts[i])) << text::ToUtf8(texts[i]);
}

TEST_F(OmbrixConnection, LoggingAppends) {
    server_.SetReply(Xml("<OMBRXL><RESPONSE/></OMBRXL>"));
    conn_.SetLogging(true);
    CMapServerResponse response;
    ASSERT_TRUE(conn_.GetServiceInfo(u"Roads", response));
    const std::string log = Get("Temp/ombrix.log");
    EXPECT_EQ(log.find("\r\nServer: 127.0.0.1\r\nServlet: /servlet/com.qova.qovamap.Qovamap\r\nParameters: "
                       "ServiceName=Roads\r\nRequest:\r\n<?xml"),
              0u)
        << log;
    EXPECT_NE(log.find("</OMBRXL>\r\n\r\nResponse:\r\n<OMBRXL><RESPONSE/></OMBRXL>\r\nEnd Request\r\n"),
              std::string::npos);

    Put("Docs/roads.log", "before");
    conn_.SetLogPath(u"\\Docs\\roads.log");
    ASSERT_TRUE(conn_.GetServiceInfo(u"Roads", response));
    ASSERT_TRUE(conn_.GetServiceInfo(u"Roads", response));
    const std::string mine = Get("Docs/roads.log");
    EXPECT_EQ(mine.find("before\r\nServer: "), 0u);
    EXPECT_NE(mine.find("End Request\r\n\r\nServer: "), std::string::npos);
}

TEST_F(OmbrixConnection, TapCancels) {
    HttpReply slow = Xml("<OMBRXL><RESPONSE/></OMBRXL>");
    slow.fault = HttpReply::kDelay;
    slow.delayMs = 10000;
    server_.SetReply(slow);
    const DWORD ui = sys::GetCurrentThreadId();
    for (UINT message : {WM_ZARNIP_ABORT, static_cast<UINT>(WM_LBUTTONDOWN)}) {
        SCOPED_TRACE(message);
        ResetAbort();
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            PostThreadMessage(ui, message, 0, 0);
        });
        CMapServerResponse response;
        EXPECT_FALSE(conn_.GetServiceInfo(u"Roads", response));
        other.join();
        EXPECT_TRUE(conn_.WasCancelled());
        EXPECT_TRUE(MessageTexts().empty());
        MSG msg;
        EXPECT_TRUE(PeekMessage(&msg, nullptr, message, message, PM_REMOVE));
    }
    ResetAbort();
}

}  // namespace

namespace {

using zntest::EnvGuard;

TEST_F(OmbrixConnection, ProxyFromTheEnvironmentButNotForLoopback) {
    server_.SetReply(Xml("<OMBRXL><RESPONSE/></OMBRXL>"));
    {
        // The proxy gets the request in absolute form; the name is never resolved here.
        EnvGuard proxy("http_proxy", server_.Url("/"));
        COmbrixConnection far(u"mapserver.test", nullptr, 80);
        CMapServerResponse response;
        ASSERT_TRUE(far.GetServiceInfo(u"Roads", response)) << text::ToUtf8(far.GetErrorText());
        EXPECT_EQ(server_.Requests().back().target,
                  "http://mapserver.test/servlet/com.qova.qovamap.Qovamap?ServiceName=Roads");
    }
    {
        // A dead proxy does not matter to a loopback server.
        EnvGuard proxy("http_proxy", "http://127.0.0.1:1/");
        server_.ClearRequests();
        CMapServerResponse response;
        ASSERT_TRUE(conn_.GetServiceInfo(u"Roads", response)) << text::ToUtf8(conn_.GetErrorText());
        EXPECT_EQ(server_.Requests().at(0).target, std::string(kServlet) + "?ServiceName=Roads");
    }
}

}  // namespace

namespace {

// https to a server whose authority exists only for this test: trusted
// through ZARNIP_CA_FILE it works; without that, or when the certificate
// names another host, the exchange fails with a certificate error.
TEST_F(OmbrixConnection, HttpsChecksTheCertificate) {
    zntest::HttpServerOptions trusted;
    trusted.tls = true;
    zntest::HttpServerOptions otherName = trusted;
    otherName.certNames = {"mapserver.test"};
    const struct {
        const char* name;
        zntest::HttpServerOptions options;
        bool trustAuthority;
        const char* error;
    } rows[] = {
        {"trusted authority", trusted, true, ""},
        {"unknown authority", trusted, false, "The server's certificate was refused: SSL certificate problem"},
        {"another host's certificate", otherName, true, "The server's certificate was refused: SSL: no alternative"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpTestServer tls(row.options);
        ASSERT_NE(tls.Port(), 0) << tls.Error();
        tls.SetReply(Xml("<OMBRXL><RESPONSE><SERVICES/></RESPONSE></OMBRXL>"));
        EnvGuard ca("ZARNIP_CA_FILE", row.trustAuthority ? tls.CaFile() : "");
        COmbrixConnection conn(u"127.0.0.1", nullptr, static_cast<uint16_t>(tls.Port()));
        conn.SetScheme(u"https");
        CMapServerResponse response;
        const bool ok = conn.GetClientServices(response);
        EXPECT_EQ(ok, !*row.error);
        EXPECT_EQ(text::ToUtf8(conn.GetErrorText()).rfind(row.error, 0), 0u) << text::ToUtf8(conn.GetErrorText());
        // The request reached the server only over a trusted connection.
        EXPECT_EQ(tls.Requests().size(), ok ? 1u : 0u);
        if (ok) {
            EXPECT_EQ(tls.Requests()[0].body, "<GETCLIENTSERVICES />\r\n");
        }
    }
}

}  // namespace
