// INet and Ombrix over real HTTP against the loopback server: decoding in
// the preferences' code page, error pages, dead and stalled servers, the
// user's tap, and the map server protocol's request and response.
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app_world.h"
#include "core/user_abort.h"
#include "map/services/preferences.h"
#include "platform/net/http.h"
#include "script/app/script_inet.h"
#include "tests/support/http_test_server.h"

namespace apptest {
namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

HttpReply Reply(int status, const char* reason, std::string body, HttpReply::Fault fault = HttpReply::kNone,
                int delayMs = 0) {
    HttpReply r;
    r.status = status;
    r.reason = reason;
    r.body = std::move(body);
    r.contentType = "text/html";
    r.fault = fault;
    r.delayMs = delayMs;
    return r;
}

class NetObjects : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        Connect();
        GetPreferences()->Data().locale.lcid = 0x0409;  // code page 1252
        ASSERT_TRUE(Run("Set Net = Application.CreateAppObject(\"inet\")"));
    }
    void TearDown() override {
        CScriptINet::SetHttpSettings(CScriptINet::DefaultHttpSettings());
        AppWorld::TearDown();
    }
    std::string Open(const std::string& url) { return "x = Net.OpenURL(\"" + url + "\")"; }
};

TEST_F(NetObjects, OpenUrlDecodesPagesAndFailsOnDeadServers) {
    HttpTestServer server;
    ASSERT_GT(server.Port(), 0) << server.Error();
    server.SetReply(Reply(200, "OK", "caf\xe9 \x80 5"));
    EXPECT_EQ(Text("Net.OpenURL(\"" + server.Url("/page") + "\")"), "caf\xc3\xa9 \xe2\x82\xac 5");
    // An error page is a document too.
    server.SetReply(Reply(404, "Not Found", "<p>gone</p>"));
    EXPECT_EQ(Text("Net.OpenURL(\"" + server.Url("/none") + "\")"), "<p>gone</p>");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].method, "GET");
    EXPECT_EQ(server.Requests()[1].target, "/none");

    std::string closed;
    {
        HttpTestServer gone;
        closed = gone.Url("/x");
    }
    EXPECT_EQ(Error(Open(closed)), E_FAIL);
    EXPECT_EQ(Error(Open("ftp://127.0.0.1/x")), E_FAIL);
    EXPECT_EQ(Error(Open("not a url")), E_FAIL);

    char name[300] = {};
    gethostname(name, sizeof name - 1);
    EXPECT_EQ(Text("Net.HostName"), name);
}

TEST_F(NetObjects, AStalledServerEndsAtTheLimitOrAtATap) {
    HttpTestServer server;
    // Headers, then one byte every two seconds.
    server.SetReply(Reply(200, "OK", "abcdef", HttpReply::kTrickle, 2000));
    net::HttpSettings settings = CScriptINet::DefaultHttpSettings();
    settings.stallTimeoutMs = 300;
    CScriptINet::SetHttpSettings(settings);
    EXPECT_EQ(Error(Open(server.Url("/slow"))), E_FAIL);

    // With the program's own limits, the user's tap ends it.
    CScriptINet::SetHttpSettings(CScriptINet::DefaultHttpSettings());
    HWND window = CreateWindow(u"STATIC", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::thread tapper([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostMessage(window, WM_LBUTTONDOWN, 0, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Error(Open(server.Url("/slow"))), E_FAIL);
    tapper.join();
    // Well before the 30-second stall limit.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    // That tap ended that fetch only: once the loop has handled it, the next
    // fetch and map server request go through, also when an earlier loop
    // left its abort request behind (it used to fail them at once).
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    server.SetReply(Reply(200, "OK", "fine"));
    EXPECT_EQ(Text("Net.OpenURL(\"" + server.Url("/next") + "\")"), "fine");
    RequestAbort();
    EXPECT_EQ(Text("Net.OpenURL(\"" + server.Url("/next") + "\")"), "fine");
    ASSERT_TRUE(Run("Set O = Application.CreateAppObject(\"Ombrix\")\nO.ServerName = \"127.0.0.1\"\n"
                    "O.ServerPort = " + std::to_string(server.Port())));
    RequestAbort();
    EXPECT_EQ(Text("O.SendOXLRequest(\"S\", \"<A/>\")"), "fine");
    ResetAbort();
}

TEST_F(NetObjects, OmbrixSendsTheRequestAndKeepsTheResponse) {
    HttpTestServer server;
    ASSERT_TRUE(Run("Set O = Application.CreateAppObject(\"Ombrix\")"));
    EXPECT_EQ(Number("O.ServerPort"), 80);
    EXPECT_EQ(Text("O.ServerName"), "");
    ASSERT_TRUE(Run("O.ServerName = \"127.0.0.1\"\nO.ServerPort = " + std::to_string(server.Port())));
    server.SetReply(Reply(200, "OK", "<ARCXML><RESPONSE/></ARCXML>"));
    ASSERT_TRUE(Run("r = O.SendOXLRequest(\"Parcels & Roads\", \"<GET_SERVICE_INFO name=\"\"\xc3\xa9\"\"/>\")"));
    EXPECT_EQ(Text("r"), "<ARCXML><RESPONSE/></ARCXML>");
    ASSERT_EQ(server.Requests().size(), 1u);
    const zntest::HttpRequest request = server.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_NE(request.target.find("ServiceName=Parcels%20%26%20Roads"), std::string::npos) << request.target;
    EXPECT_EQ(request.body, "<GET_SERVICE_INFO name=\"\xc3\xa9\"/>");
    EXPECT_EQ(Text("O.ResponseOXL"), "<ARCXML><RESPONSE/></ARCXML>");

    // A failed answer leaves the response empty and keeps the request.
    server.SetReply(Reply(500, "Internal Server Error", "broken"));
    EXPECT_EQ(Error("r = O.SendOXLRequest(\"Parcels\", \"<A/>\")"), S_OK);
    EXPECT_EQ(Text("r"), "");
    EXPECT_EQ(Text("O.ResponseOXL"), "");
    EXPECT_EQ(Text("O.RequestOXL"), "<A/>");
    std::string closedPort;
    {
        HttpTestServer gone;
        closedPort = std::to_string(gone.Port());
    }
    ASSERT_TRUE(Run("O.ServerPort = " + closedPort));
    EXPECT_EQ(Error("r = O.SendOXLRequest(\"Parcels\", \"<B/>\")"), S_OK);
    EXPECT_EQ(Text("O.ResponseOXL"), "");
    EXPECT_EQ(Text("O.RequestOXL"), "<B/>");
}

}  // namespace
}  // namespace apptest
