// The internet session over loopback: a real server, a real client, no mock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/net/http.h"
#include "platform/net/url.h"
#include "tests/support/env_guard.h"
#include "tests/support/http_test_server.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

TEST(NetUrl, Parsing) {
    struct Case {
        const char* text;
        bool ok;
        const char* scheme;
        const char* host;
        int port;
        const char* object;
    } cases[] = {
        {"http://maps.example.org/servlet/x?ServiceName=a", true, "http", "maps.example.org", 80, "/servlet/x?ServiceName=a"},
        {"HTTPS://10.0.0.7:8443", true, "https", "10.0.0.7", 8443, "/"},
        {"http://[::1]:8080/a", true, "http", "::1", 8080, "/a"},
        {"http://host?q=1", true, "http", "host", 80, "/?q=1"},
        {"https://host/", true, "https", "host", 443, "/"},
        {"ftp://host/x", false, "", "", 0, ""},
        {"file:///etc/passwd", false, "", "", 0, ""},
        {"http://", false, "", "", 0, ""},
        {"http://host:0/", false, "", "", 0, ""},
        {"http://host:65536/", false, "", "", 0, ""},
        {"http://host:/", false, "", "", 0, ""},
        {"http://user@host/", false, "", "", 0, ""},
        {"http://host/a b", false, "", "", 0, ""},
        {"http://host/a#frag", false, "", "", 0, ""},
        {"http://[::1/", false, "", "", 0, ""},
        {"host/x", false, "", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto u = net::ParseUrl(c.text);
        ASSERT_EQ(u.has_value(), c.ok);
        if (!u) continue;
        EXPECT_EQ(u->scheme, c.scheme);
        EXPECT_EQ(u->host, c.host);
        EXPECT_EQ(u->port, c.port);
        EXPECT_EQ(u->object, c.object);
    }
    EXPECT_EQ(net::ParseUrl("http://[::1]:8080/a")->ToString(), "http://[::1]:8080/a");
}

TEST(NetHttp, PostSendsExactlyWhatItIsGiven) {
    HttpTestServer server;
    HttpReply reply;
    reply.body = "<ARCXML version=\"1.1\"/>";
    server.SetReply(reply);
    net::HttpSession session;
    std::vector<std::pair<int, std::string>> statuses;
    session.SetStatusSink([&](int code, const std::string& detail) { statuses.emplace_back(code, detail); });
    const std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><REQUEST name='a &amp; b'/>";
    const net::HttpResult r = session.Post(*net::ParseUrl(server.Url("/servlet/x?ServiceName=roads")), body,
                                           {"Content-Type: text/xml; charset=UTF-8"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, reply.body);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/servlet/x?ServiceName=roads");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_TRUE(requests[0].HasHeader("Content-Type: text/xml; charset=UTF-8"));
    EXPECT_FALSE(requests[0].HasHeader("Expect:"));
    EXPECT_FALSE(requests[0].HasHeader("User-Agent:"));
    EXPECT_FALSE(requests[0].HasHeader("Accept-Encoding:"));
    // The phases in order.
    std::vector<int> codes;
    for (const auto& s : statuses) codes.push_back(s.first);
    EXPECT_EQ(codes, (std::vector<int>{60, 10, 11, 20, 21, 30, 31, 40, 41, 50, 51}));
    EXPECT_EQ(statuses[1].second, "127.0.0.1");
}

HttpReply Reply(int status, const char* reason, std::string body, HttpReply::Fault fault = HttpReply::kNone,
                int delayMs = 0, const char* location = "") {
    HttpReply r;
    r.status = status;
    r.reason = reason;
    r.body = std::move(body);
    r.fault = fault;
    r.delayMs = delayMs;
    r.location = location;
    return r;
}

TEST(NetHttp, FailuresSayWhatWentWrong) {
    HttpTestServer server;
    struct Case {
        const char* name;
        HttpReply reply;
        net::HttpSettings settings;
        const char* error;  // the start of the error text
    } cases[] = {
        {"status", Reply(404, "Not Found", "<html/>"), {}, "HTTP 404 Not Found"},
        {"no answer", Reply(200, "OK", "", HttpReply::kCloseWithoutAnswer), {}, ""},
        {"cut short", Reply(200, "OK", std::string(1000, 'a'), HttpReply::kCutShort), {}, ""},
        {"too large", Reply(200, "OK", "", HttpReply::kEndless), {15000, 30000, 120000, 1u << 20, 5},
         "The answer is larger than 1 MiB"},
        {"stalled", Reply(200, "OK", "abcdef", HttpReply::kTrickle, 1500), {15000, 500, 120000, 16u << 20, 5},
         "No data moved for 0 s"},
        {"slow", Reply(200, "OK", "abc", HttpReply::kDelay, 3000), {15000, 30000, 600, 16u << 20, 5},
         "The exchange took longer than 0 s"},
        {"redirect to another scheme", Reply(302, "Found", "", HttpReply::kRedirect, 0, "file:///etc/passwd"), {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetReply(c.reply);
        net::HttpSession session(c.settings);
        const net::HttpResult r = session.Post(*net::ParseUrl(server.Url("/x")), "<a/>", {});
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << r.error;
        EXPECT_TRUE(r.body.empty());
    }
}

// With keepErrorBody an error page that arrived whole is kept (still not
// ok); a page cut short is not, and without the switch none is.
TEST(NetHttp, AnErrorPageIsKeptOnlyWhenAskedAndWhole) {
    HttpTestServer server;
    struct Case {
        const char* name;
        HttpReply reply;
        bool keep;
        const char* body;
    } cases[] = {
        {"kept", Reply(404, "Not Found", "<p>gone</p>"), true, "<p>gone</p>"},
        {"not asked", Reply(404, "Not Found", "<p>gone</p>"), false, ""},
        {"server error kept", Reply(500, "Internal Server Error", "oops"), true, "oops"},
        {"cut short", Reply(404, "Not Found", std::string(1000, 'a'), HttpReply::kCutShort), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetReply(c.reply);
        net::HttpSettings settings;
        settings.keepErrorBody = c.keep;
        net::HttpSession session(settings);
        const net::HttpResult r = session.Get(*net::ParseUrl(server.Url("/x")));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.body, c.body);
    }
}

TEST(NetHttp, TheAbortPollCancels) {
    HttpTestServer server;
    HttpReply reply;
    reply.fault = HttpReply::kDelay;
    reply.delayMs = 3000;
    server.SetReply(reply);
    net::HttpSession session;
    int polls = 0;
    session.SetAbortPoll([&] { return ++polls >= 3; });
    const net::HttpResult r = session.Get(*net::ParseUrl(server.Url("/x")));
    EXPECT_TRUE(r.aborted);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Cancelled");
    EXPECT_EQ(polls, 3);  // it stopped at the first yes
}

TEST(NetHttp, GetWithItsOwnLimit) {
    HttpTestServer server;
    HttpReply reply;
    reply.contentType = "image/jpeg";
    reply.body = std::string(5000, '\xFF');
    server.SetReply(reply);
    net::HttpSession session;
    net::HttpResult r = session.Get(*net::ParseUrl(server.Url("/output/x.jpg")));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body.size(), 5000u);
    r = session.Get(*net::ParseUrl(server.Url("/output/x.jpg")), 4000);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(server.Requests().back().method, "GET");
    // An answer without a length ends with the connection.
    reply.closeDelimited = true;
    server.SetReply(reply);
    r = session.Get(*net::ParseUrl(server.Url("/output/x.jpg")));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, reply.body);
}

// A redirect keeps or raises the scheme: from https to plain http the
// exchange fails (the body is never re-sent in clear text), while http to
// https and https to https are followed.
TEST(NetHttp, HttpsStaysHttps) {
    zntest::HttpServerOptions options;
    options.tls = true;
    HttpTestServer tls(options);
    ASSERT_NE(tls.Port(), 0) << tls.Error();
    HttpTestServer plain;
    zntest::EnvGuard ca("ZARNIP_CA_FILE", tls.CaFile().c_str());
    HttpReply answer;
    answer.body = "<ok/>";
    tls.SetReplyFor("/there", answer);
    plain.SetReplyFor("/there", answer);
    struct Row {
        const char* what;
        HttpTestServer& from;
        int status;
        std::string to;
        bool followed;
    } rows[] = {
        {"https to http, 307", tls, 307, plain.Url("/there"), false},
        {"https to http, 302", tls, 302, plain.Url("/there"), false},
        {"https to https", tls, 307, tls.Url("/there"), true},
        {"http to https", plain, 307, tls.Url("/there"), true},
        {"http to http", plain, 302, plain.Url("/there"), true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        tls.ClearRequests();
        plain.ClearRequests();
        r.from.SetReplyFor("/here",
                           Reply(r.status, "Moved", "", HttpReply::kRedirect, 0, r.to.c_str()));
        net::HttpSession session;
        const net::HttpResult post =
            session.Post(*net::ParseUrl(r.from.Url("/here")), "secret=1", {});
        const net::HttpResult get = session.Get(*net::ParseUrl(r.from.Url("/here")));
        for (const net::HttpResult* result : {&post, &get}) {
            EXPECT_EQ(result->ok, r.followed) << result->error;
            if (r.followed) {
                EXPECT_EQ(result->body, "<ok/>");
            } else {
                EXPECT_EQ(result->error,
                          "The https server redirected to an address that is not https");
                EXPECT_TRUE(result->body.empty());
            }
        }
        if (!r.followed) EXPECT_TRUE(plain.Requests().empty());
    }
}

TEST(NetHttp, AnUnreadableAuthorityFileFailsHttpsOnly) {
    zntest::HttpServerOptions options;
    options.tls = true;
    HttpTestServer tls(options);
    ASSERT_NE(tls.Port(), 0) << tls.Error();
    HttpTestServer plain;
    zntest::EnvGuard ca("ZARNIP_CA_FILE", "/nonexistent/authority.pem");
    net::HttpSession session;
    const net::HttpResult secure = session.Get(*net::ParseUrl(tls.Url("/x")));
    const net::HttpResult clear = session.Get(*net::ParseUrl(plain.Url("/x")));
    EXPECT_FALSE(secure.ok);
    EXPECT_EQ(secure.error, "Cannot read the certificate file named by ZARNIP_CA_FILE");
    EXPECT_TRUE(tls.Requests().empty());
    EXPECT_TRUE(clear.ok) << clear.error;
}

}  // namespace
